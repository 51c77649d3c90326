#pragma once

#include <cstdint>

namespace zuta {

// Which commands of the module are enabled.
struct ViewFlags {
    bool canStart = false;             // Start and Settings
    bool collecting = false;           // Stop; a run is active
    bool canShowGraphs = false;        // Task Graph and CPU Graph
    bool canShowFunctionGraph = false; // Function Graph
    bool canSave = false;              // Save
    bool canLoad = true;               // Load, Import and Export to text
    bool canRunVtune = false;          // Convert to VTune

    bool operator==(const ViewFlags&) const = default;
};

// The commands of the module's menu and control bar, by their command identifiers.
enum class Command : std::uint32_t {
    Start = 32772,
    Stop = 32773,
    TaskGraph = 32774,
    Settings = 32775,
    SaveData = 32777,
    LoadData = 32778,
    ConvertToVtune = 32779,
    BarSaveData = 32780,
    BarLoadData = 32781,
    CpuGraph = 32784,
    IrqMapping = 32786,
    BarTaskGraph = 32787,
    BarCpuGraph = 32788,
    BarFunctionGraph = 32789,
    FunctionGraph = 32790,
    FunctionNamesMapping = 32792,
    ImportRawLog = 32793,
    ExportToText = 32794,
};

// What enables a command.
enum class EnableRule {
    CanStart,
    CanStop, // a collection runs, or the link to the target is being opened for one
    CanSave,
    CanLoad,
    CanShowGraphs,
    CanShowFunctionGraph,
    CanRunVtune,
    Always,
    Never,
};

// Where the view is between two collections.
enum class ViewPhase {
    Idle,       // nothing runs
    Connecting, // Start was pressed and the link to the target is being opened
    Collecting, // a collection runs
    Stopping,   // Stop was sent; the last batches may still arrive
};

// The performance view's command state: its flags and how each event of the view changes them.
// The window shows the result; nothing here knows about widgets.
class ViewState {
public:
    const ViewFlags& flags() const { return flags_; }
    ViewPhase phase() const { return phase_; }
    // The data shown came from a raw log import.
    bool fromRawLog() const { return fromRawLog_; }
    bool IsEnabled(EnableRule rule) const;
    // Rows may be sorted by their header only between collections.
    bool canSort() const { return flags_.canStart; }

    // The initial update: Start and the file commands are enabled, nothing else.
    void Initialise();
    // A session file was loaded or a raw log imported (also the start-up reopening).
    void DataOpened(bool fromRawLog);
    // Start was accepted and the link must be opened first: nothing else may start, open or save
    // until that ends. False when Start is not enabled.
    bool BeginConnecting();
    // The link could not be opened or the attempt was abandoned: back to the flags before.
    void ConnectFailed();
    // The collection runs. False when Start is not enabled (and no connect was pending).
    bool Started();
    // Stop was sent; the collection closes once the last batches had their time.
    void StopRequested();
    // The collection is closed: graphs, save and the file commands become available.
    void Stopped();
    // The converter reported its data file.
    void VtuneFileCreated();

private:
    ViewFlags flags_;
    ViewFlags beforeConnect_;
    ViewPhase phase_ = ViewPhase::Idle;
    bool fromRawLog_ = false;
};

} // namespace zuta
