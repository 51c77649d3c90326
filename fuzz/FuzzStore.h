#pragma once

// A data store wired as the fuzz targets need it: no host services except a settings record whose
// dump folder is a private temporary folder, so raw data blocks are written somewhere harmless.

#include "engine/PerformanceData.h"
#include "settings/PerformanceSettings.h"

#include <chrono>
#include <filesystem>
#include <stdlib.h>
#include <string>
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

struct FuzzStore {
    FuzzStore() {
        settings.dumpPath = DumpFolder::Path();
        CPerformanceData::Services services;
        services.settings = &settings;
        data.Initialise(services);
        // Finishing waits for late batches by default; a fuzz run has none.
        data.SetFinishDelay(std::chrono::milliseconds(0));
    }

    PerformanceSettings settings;
    CPerformanceData data;
};

} // namespace zuta::fuzz
