// The host's link to a target (--simulate, --agent) and the screenshot path through the programs.
#include "MainWindow.h"
#include "QtTestApp.h"
#include "Screenshot.h"
#include "TargetConnection.h"
#include "agent/CollectorAgent.h"
#include "support/CollectionRig.h"
#include "support/TempFolder.h"
#include "support/Wait.h"

#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace zuta::hostapp {
namespace {

namespace fs = std::filesystem;

std::size_t ThreadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

using test::WaitUntil;

class HostTargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TestApplication();
        ASSERT_FALSE(folder_.path().empty());
    }

    test::TempFolder folder_{"zuta-target"};
};

TEST_F(HostTargetTest, SimulatedTargetServesACollectionAndEveryThreadIsJoined) {
    MainWindow window(folder_ / "settings.ini");
    const std::size_t threadsBefore = ThreadCount();
    {
        TargetConnection target;
        std::string error;
        TargetOptions options;
        options.simulate = true;
        ASSERT_TRUE(target.Start(options, error)) << error;
        ASSERT_TRUE(target.connected());
        ASSERT_NE(target.simulatedAgent(), nullptr);
        EXPECT_EQ(target.description().rfind("simulated target at 127.0.0.1:", 0), 0u);

        // The module finds the links through the host window.
        window.SetTargetLinks(target.commandLink(), target.dataLink(), target.senderNameResolver());
        host::IHostWindow& host = window;
        ASSERT_NE(host.CommandLink(), nullptr);
        ASSERT_NE(host.DataLink(), nullptr);
        ASSERT_NE(host.SenderNameResolver(), nullptr);

        test::StoreRig store;
        auto controller = std::make_unique<CollectionController>(
            store.Collection(host.CommandLink(), host.DataLink(), host.SenderNameResolver()));
        ASSERT_TRUE(controller->Start());
        EXPECT_TRUE(WaitUntil([&] { return controller->endpoint().started(); }));
        EXPECT_TRUE(WaitUntil([&] { return target.simulatedAgent()->streamBytesSent() > 0; }));
        EXPECT_TRUE(WaitUntil([&] {
            std::uint64_t switches = 0;
            store.data.Read([&](const StoreState& state) { switches = state.switchCount; });
            return switches > 0;
        }));
        controller->Stop();
        controller.reset();

        window.SetTargetLinks(nullptr, nullptr, nullptr);
        target.Shutdown();
        EXPECT_FALSE(target.connected());
        EXPECT_EQ(target.commandLink(), nullptr);
        // The agent's listener, connections and stream and the link's delivery threads are gone.
        EXPECT_EQ(ThreadCount(), threadsBefore);
        target.Shutdown();
    }
    EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST_F(HostTargetTest, TargetOptionsAreChecked) {
    struct Case {
        bool simulate;
        const char* agent;
        const char* fault;
        bool accepted;
        bool connected;
    };
    for (const Case c :
         {Case{false, "", nullptr, true, false}, Case{false, "127.0.0.1:4711", nullptr, true, true},
          Case{false, "no-port-here", nullptr, false, false}, Case{true, "", "burst@2", true, true},
          Case{true, "", "smoke", false, false}}) {
        SCOPED_TRACE(std::string(c.agent) + " " + (c.fault != nullptr ? c.fault : ""));
        TargetConnection target;
        TargetOptions options;
        options.simulate = c.simulate;
        options.agentAddress = c.agent;
        if (c.fault != nullptr)
            options.faults.push_back(c.fault);
        std::string error;
        EXPECT_EQ(target.Start(options, error), c.accepted);
        EXPECT_EQ(error.empty(), c.accepted) << error;
        EXPECT_EQ(target.connected(), c.connected);
        EXPECT_EQ(target.commandLink() != nullptr, c.connected);
    }
}

// Runs a shell command line; its exit status.
int RunCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(HostTargetTest, HostWithTheSimulatedTargetStartsDrawsAndExits) {
    const fs::path png = folder_ / "simulate.png";
    const std::string command = std::string("QT_QPA_PLATFORM=offscreen '") + ZUTA_HOST_PATH +
                                "' --simulate --settings '" + (folder_ / "s.ini") +
                                "' --workspace '" + (folder_ / "w.ini") + "' --screenshot '" +
                                png.string() + "' 2>/dev/null";
    EXPECT_EQ(RunCommand(command), 0);
    EXPECT_FALSE(QImage(QString::fromStdString(png.string())).isNull());
}

TEST_F(HostTargetTest, ScreenshotCommandRendersTheMainWindowWithASession) {
    const fs::path png = folder_ / "main.png";
    const fs::path home = folder_ / "home";
    fs::create_directories(home);
    const std::string command = "HOME='" + home.string() + "' XDG_CONFIG_HOME= '" + ZUTA_TOOL_PATH +
                                "' screenshot main -o '" + png.string() + "' --host '" +
                                ZUTA_HOST_PATH + "' '" + ZUTA_TEST_DATA_DIR +
                                "/files/session_v2.zuta' 2>/dev/null";
    ASSERT_EQ(RunCommand(command), 0);
    const QImage picture(QString::fromStdString(png.string()));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(kScreenshotWidth, kScreenshotHeight));
    // A picture leaves the user's settings and workspace alone.
    EXPECT_FALSE(fs::exists(home / ".config" / "zuta"));

    EXPECT_NE(RunCommand("'" + std::string(ZUTA_TOOL_PATH) + "' screenshot main -o '" +
                         png.string() + "' --host '" + (folder_ / "missing-host") +
                         "' 2>/dev/null"),
              0);
    EXPECT_NE(RunCommand("'" + std::string(ZUTA_TOOL_PATH) + "' screenshot dialog -o '" +
                         png.string() + "' 2>/dev/null"),
              0);
}

TEST_F(HostTargetTest, AScreenshotNeverWaitsForAUser) {
    // A file the module refuses with a message box: the box is written out and answered.
    const fs::path png = folder_ / "bad.png";
    const fs::path err = folder_ / "err.txt";
    ASSERT_EQ(RunCommand("timeout 60 '" + std::string(ZUTA_TOOL_PATH) + "' screenshot main -o '" +
                         png.string() + "' --host '" + ZUTA_HOST_PATH + "' '" + ZUTA_TEST_DATA_DIR +
                         "/files/bad_version.zuta' 2>'" + err.string() + "'"),
              0);
    EXPECT_FALSE(QImage(QString::fromStdString(png.string())).isNull());
    EXPECT_NE(test::ReadFileBytes(err).find("Unsupported ZUTA file version"), std::string::npos);

    // A host that hangs is stopped at the time limit.
    const fs::path hanging = folder_ / "hanging-host";
    std::ofstream(hanging) << "#!/bin/sh\nsleep 30\n";
    fs::permissions(hanging, fs::perms::owner_all);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunCommand("'" + std::string(ZUTA_TOOL_PATH) + "' screenshot main -o '" +
                         png.string() + "' --time-limit 1 --host '" + hanging.string() +
                         "' 2>/dev/null"),
              3);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

} // namespace
} // namespace zuta::hostapp
