#include "Performance/PerformanceView.h"
#include "Performance/ViewCommands.h"
#include "engine/PerformanceData.h"
#include "files/ExecutableVersion.h"
#include "host/HostWindow.h"
#include "host/MessageBox.h"
#include "host/ProcessLauncher.h"
#include "settings/PerformanceSettings.h"

namespace zuta::performance {

void CPerformanceView::OnRunVtune() {
    const PerformanceSettings* s = settings();
    if (s == nullptr)
        return;
    const std::string& program = s->dumpPath;
    const std::string dataPath =
        data()->Read([](const StoreState& state) { return state.vtuneDataPath; });

    // Only the analyser's version 7.1 reads the data file; a program without a version
    // resource (any one built for this system) is started unchecked.
    const std::string version = ReadExecutableVersionOfFile(program);
    if (!version.empty() && !version.starts_with("7.1.0")) {
        host_->MessageBox().Show(
            "Unsupported version of VTune executable, only 7.1 version is supported",
            "Unsupported version", host::MessageIcon::Error);
        return;
    }
    // The data path is the program's one argument, blanks and all; without one the program gets
    // no argument.
    host::ProcessRequest request;
    request.program = program;
    if (!dataPath.empty())
        request.arguments.push_back(dataPath);
    host::IProcessLauncher* launcher = host_->ProcessLauncher();
    if (launcher == nullptr || !launcher->Start(request).started)
        host_->MessageBox().Show("Unable create VTune process", "Error", host::MessageIcon::Error);
}

void RunVtune(CPerformanceView& view, const ViewCommand&) {
    view.OnRunVtune();
}

} // namespace zuta::performance
