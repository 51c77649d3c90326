// The analyser launch: the version check of the executable and the start through the host's
// launcher, real programs started by the window host's launcher.
#include "QtProcessLauncher.h"
#include "ViewHost.h"
#include "engine/PerformanceData.h"
#include "host/NotificationSink.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta::performance {
namespace {

namespace fs = std::filesystem;

// Records what it is asked to start and answers as told.
class RecordingLauncher final : public host::IProcessLauncher {
public:
    host::ProcessResult Run(const host::ProcessRequest&) override { return {}; }
    host::ProcessResult Start(const host::ProcessRequest& request) override {
        started.push_back(request);
        host::ProcessResult result;
        result.started = answer;
        return result;
    }

    bool answer = true;
    std::vector<host::ProcessRequest> started;
};

using Boxes = std::vector<std::string>; // "caption: text"
const std::string kUnsupported =
    "Unsupported version: Unsupported version of VTune executable, only 7.1 version is supported";
const std::string kCannotStart = "Error: Unable create VTune process";

// Enables the launch as a written data file does, then runs it; the boxes it showed.
Boxes Launch(test::ViewInHost& rig, const std::string& program, const std::string& dataPath) {
    rig.view->ShowWaitCursor(true);
    rig.view->PostNotification(host::kNotifyStatus, host::kCodeVtuneFileCreated);
    test::RunPostedEvents();
    EXPECT_FALSE(rig.view->waitCursorShown());
    EXPECT_TRUE(rig.view->flags().canRunVtune && rig.view->flags().canStart);
    EXPECT_EQ(rig.host.output.CountStatus("VTune data file created"), 1U);
    EXPECT_EQ(rig.host.messageBox.shown.at(0).text, "VTune data file created");
    rig.host.messageBox.shown.clear();
    rig.view->settings()->dumpPath = program;
    rig.view->data()->Write([&](StoreState& state) { state.vtuneDataPath = dataPath; });
    rig.view->RunCommand(Command::ConvertToVtune);
    Boxes boxes;
    for (const test::ShownBox& box : rig.host.messageBox.shown)
        boxes.push_back(box.caption + ": " + box.text);
    return boxes;
}

TEST(VtuneLaunchTest, TheVersionDecidesWhetherTheAnalyserStarts) {
    struct Case {
        const char* executable; // of the test data; null: this test program, built for this system
        bool starts;            // the launcher's answer
        Boxes boxes;
    };
    const Case cases[] = {
        {"version-7.1.0.123.exe", true, {}},
        {"version-7.2.0.1.exe", true, {kUnsupported}},
        {"version-17.1.0.exe", true, {kUnsupported}},
        {"no-resources.exe", true, {}},
        {nullptr, true, {}},
        {"version-7.1.0.123.exe", false, {kCannotStart}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.executable ? c.executable : "this program");
        const test::TempFolder folder;
        const std::string program = c.executable != nullptr
                                        ? test::kDataDir + "exe/" + c.executable
                                        : fs::read_symlink("/proc/self/exe").string();
        test::ViewInHost rig;
        RecordingLauncher launcher;
        launcher.answer = c.starts;
        rig.host.launcher = &launcher;
        EXPECT_EQ(Launch(rig, program, folder / "run.tb5"), c.boxes);
        // A refused version is not started; the rest are, with the data file as the argument.
        ASSERT_EQ(launcher.started.size(), c.boxes == Boxes{kUnsupported} ? 0U : 1U);
        if (!launcher.started.empty()) {
            EXPECT_EQ(launcher.started[0].program, program);
            EXPECT_EQ(launcher.started[0].arguments, std::vector<std::string>{folder / "run.tb5"});
        }
    }
}

TEST(VtuneLaunchTest, TheAnalyserRunsOnWithItsDataFile) {
    const test::TempFolder folder;
    const std::string script = folder / "analyser";
    const std::string out = folder / "arguments.txt";
    test::WriteFileBytes(script, "#!/bin/sh\necho \"$#:$1\" > '" + out + ".part'\nmv '" + out +
                                     ".part' '" + out + "'\n");
    fs::permissions(script, fs::perms::owner_all);
    struct Case {
        std::string program;
        std::string dataPath;
        bool withLauncher;
        Boxes boxes;
        std::string arguments; // what the program wrote; empty: it did not run
    };
    const Case cases[] = {
        {script, folder / "session 1.tb5", true, {}, "1:" + (folder / "session 1.tb5") + "\n"},
        {script, "", true, {}, "0:\n"},
        // The setting still naming the dump folder, nothing at all, a host that starts nothing.
        {folder.path().string(), folder / "run.tb5", true, {kCannotStart}, ""},
        {folder / "missing", folder / "run.tb5", true, {kCannotStart}, ""},
        {script, folder / "run.tb5", false, {kCannotStart}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.dataPath);
        fs::remove(out);
        test::ViewInHost rig;
        hostapp::QtProcessLauncher launcher;
        rig.host.launcher = c.withLauncher ? &launcher : nullptr;
        EXPECT_EQ(Launch(rig, c.program, c.dataPath), c.boxes);
        if (!c.arguments.empty()) {
            ASSERT_TRUE(test::PumpUntil([&] { return fs::exists(out); }));
            EXPECT_EQ(test::ReadFileBytes(out), c.arguments);
        }
    }
}

} // namespace
} // namespace zuta::performance
