#pragma once

// The collection session of a fuzz target, wired as a view's but with quiet services: a settings
// store in memory, a message box that answers OK, and a settings record whose dump folder is a
// private temporary folder, so raw data blocks are written somewhere
// harmless. One store serves every input: making one per input (its scratch folder and file, its
// tables) costs far more than most inputs, so it is brought back to the state of a new one instead.

#include "collection/CollectionSession.h"
#include "engine/PerformanceData.h"
#include "engine/WireFormat.h"
#include "host/MemorySettingsStore.h"
#include "host/MessageBox.h"
#include "settings/PerformanceSettings.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <stdlib.h>
#include <string>
#include <string_view>
#include <system_error>

namespace zuta::fuzz {

// The process-wide dump folder: created on first use, removed when the process ends.
class DumpFolder {
public:
    static const std::string& Path() {
        static const DumpFolder folder;
        return folder.path_;
    }

private:
    DumpFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zuta-fuzz-dump-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
            owned_ = true;
        } else {
            path_ = std::filesystem::temp_directory_path().string();
        }
    }
    ~DumpFolder() {
        std::error_code ec;
        if (owned_)
            std::filesystem::remove_all(path_, ec);
    }

    std::string path_;
    bool owned_ = false;
};

class SilentMessageBox : public host::IMessageBox {
public:
    host::MessageResult Show(std::string_view, std::string_view, host::MessageIcon,
                             host::MessageButtons) override {
        return host::MessageResult::Ok;
    }
};

class FuzzStore {
public:
    // The store of this process for one input: in the state of a new store with a collection
    // just started, and reset again when the lease ends, so that what an input allocates is also
    // freed within it (libFuzzer takes anything else for a leak).
    class Lease {
    public:
        Lease() : store_(Instance()) {}
        ~Lease() { store_.Reset(); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        FuzzStore* operator->() const { return &store_; }

    private:
        FuzzStore& store_;
    };

    host::MemorySettingsStore settingsStore;
    SilentMessageBox box;
    CollectionSession session{Services(settingsStore, box)};
    PerformanceSettings& settings = session.settings();
    CPerformanceData& data = session.data();

private:
    static SessionServices Services(host::MemorySettingsStore& store, SilentMessageBox& box) {
        SessionServices services;
        services.settingsStore = &store;
        services.messageBox = &box;
        return services;
    }

    FuzzStore() {
        // Finishing waits for late batches by default; a fuzz run has none.
        data.SetFinishDelay(std::chrono::milliseconds(0));
        Reset();
    }

    static FuzzStore& Instance() {
        static FuzzStore store;
        return store;
    }

    void Reset() {
        // The stream decoder keeps the unfinished tail of a batch for the next one, whatever
        // the collection. Bytes that start no frame and no marker push it out; what it then
        // keeps of them, the next input's first batch skips.
        static constexpr std::uint8_t kInert[wire::kFrameSize] = {0xEE, 0xEE, 0xEE,
                                                                  0xEE, 0xEE, 0xEE};
        std::uint32_t result = 0;
        data.OnDataLinkData(kInert, sizeof kInert, result, true);

        settings = PerformanceSettings();
        settings.dumpPath = DumpFolder::Path();
        settingsStore.Clear();
        session.memoryStats().Clear();
        data.functionNames() = FunctionNameMap(&settingsStore);
        data.SetSimpleMode(false);
        data.SetExternalTsMode(false);
        data.SetClock(nullptr);
        data.Write([](StoreState& s) {
            s.cpuType = 1;
            s.idleTaskName = "CommPM_L";
            s.vtuneDataPath.clear();
        });
        data.StartCollection();
    }
};

} // namespace zuta::fuzz
