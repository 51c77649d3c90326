#pragma once

#include "host/ProcessLauncher.h"

namespace zuta::hostapp {

// Runs and starts programs through QProcess, their standard streams shared with the host's.
class QtProcessLauncher final : public host::IProcessLauncher {
public:
    host::ProcessResult Run(const host::ProcessRequest& request) override;
    host::ProcessResult Start(const host::ProcessRequest& request) override;
};

} // namespace zuta::hostapp
