#pragma once

#include "host/ProcessLauncher.h"

namespace zuta::cli {

// Runs programs with posix_spawn, standard streams shared with this process.
class PosixProcessLauncher final : public host::IProcessLauncher {
public:
    host::ProcessResult Run(const host::ProcessRequest& request) override;
    host::ProcessResult Start(const host::ProcessRequest& request) override;
};

} // namespace zuta::cli
