#include "Performance/ViewCommands.h"

#include "Performance/PerformanceView.h"

#include <algorithm>
#include <string>

namespace zuta::performance {

namespace {

using R = EnableRule;

// Menu entries appear in table order; so do the entries of the bar's two menus.
constexpr ViewCommand kCommands[] = {
    {Command::Start, "Start", "&Start", "Start", R::CanStart, RunStart},
    {Command::Stop, "Stop", "S&top", "Stop", R::CanStop, RunStop},
    {Command::SaveData, "Save Data", "RAW Data/Save", "", R::CanSave, RunSaveData, true},
    {Command::BarSaveData, "Save Data", "", "Data/Save Data", R::CanSave, RunSaveData},
    {Command::LoadData, "Load Data", "RAW Data/Load", "", R::CanLoad, RunLoadData},
    {Command::BarLoadData, "Load Data", "", "Data/Load Data", R::CanLoad, RunLoadData},
    // An import resets the store, which a running collection is filling: the bar's entry follows
    // the same rule as the menu's.
    {Command::ImportRawLog, "Import RAW", "RAW Data/Export", "Data/Import RAW ", R::CanLoad,
     RunImportRawLog},
    {Command::ExportToText, "Export to txt", "", "Data/Export to txt", R::CanLoad, RunExportToText},
    {Command::TaskGraph, "Task Graph", "Graph/&Task Graph", "", R::CanShowGraphs, RunTaskGraph},
    {Command::BarTaskGraph, "Task Graph", "", "Graph/Task Graph", R::CanShowGraphs, RunTaskGraph},
    {Command::CpuGraph, "CPU Graph", "Graph/&CPU Graph", "", R::CanShowGraphs, RunCpuGraph},
    {Command::BarCpuGraph, "CPU Graph", "", "Graph/CPU Graph", R::CanShowGraphs, RunCpuGraph},
    {Command::FunctionGraph, "Function Graph", "Graph/&Function Graph", "", R::CanShowFunctionGraph,
     RunFunctionGraph},
    {Command::BarFunctionGraph, "Function Graph", "", "Graph/Function Graph", R::Never,
     RunFunctionGraph},
    {Command::Settings, "Settings", "S&ettings", "Settings", R::CanStart, RunSettings, true},
    {Command::IrqMapping, "IRQ Mapping", "Names mapping/IRQ Mapping", "", R::Always, RunIrqMapping},
    {Command::FunctionNamesMapping, "Functions Names Mapping",
     "Names mapping/Functions Names Mapping", "", R::Always, RunFunctionNamesMapping},
    {Command::ConvertToVtune, "Convert to VTune", "", "Run Vtune", R::CanRunVtune, RunVtune},
};

} // namespace

std::span<const ViewCommand> ViewCommands() {
    return kCommands;
}

const ViewCommand* FindViewCommand(Command command) {
    const auto* found =
        std::find_if(std::begin(kCommands), std::end(kCommands),
                     [command](const ViewCommand& c) { return c.command == command; });
    return found == std::end(kCommands) ? nullptr : found;
}

void RunStart(CPerformanceView& view, const ViewCommand&) {
    view.OnStart();
}

void RunStop(CPerformanceView& view, const ViewCommand&) {
    view.OnStop();
}

} // namespace zuta::performance
