#include "host/AtomicFile.h"

#include "support/TempFolder.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zuta::host {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempFolder;
using test::WriteFileBytes;

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFile, SymbolicLinksAreFollowedAndStayLinks) {
    TempFolder dir;
    fs::create_directory(dir / "data");
    WriteFileBytes(dir / "data/real.ini", "old");
    ::chmod((dir / "data/real.ini").c_str(), 0600);
    fs::create_symlink("data/real.ini", dir / "link.ini");
    fs::create_symlink("link.ini", dir / "chain.ini");
    fs::create_symlink("data/new.ini", dir / "dangling.ini");
    fs::create_symlink("loop-b", dir / "loop-a");
    fs::create_symlink("loop-a", dir / "loop-b");

    std::string error;
    ASSERT_TRUE(WriteFileAtomically(dir / "chain.ini", "new", error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir / "chain.ini"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadFileBytes(dir / "data/real.ini"), "new");
    EXPECT_EQ(fs::status(dir / "data/real.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    ASSERT_TRUE(WriteFileAtomically(dir / "dangling.ini", "created", error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.ini"));
    EXPECT_EQ(ReadFileBytes(dir / "data/new.ini"), "created");
    EXPECT_EQ(Names(dir / "data"), (std::vector<std::string>{"new.ini", "real.ini"}));

    EXPECT_FALSE(WriteFileAtomically(dir / "loop-a", "x", error));
    EXPECT_NE(error.find("Too many levels of symbolic links"), std::string::npos) << error;
}

TEST(AtomicFile, DevicesAndFifosAreWrittenIntoDirectly) {
    TempFolder dir;
    fs::create_symlink("/dev/null", dir / "null");
    fs::create_symlink("/dev/full", dir / "full");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    // Opened for reading first, so the writer does not wait for a reader.
    const int reader = ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    std::string error;
    EXPECT_TRUE(WriteFileAtomically(dir / "null", "gone", error)) << error;
    EXPECT_TRUE(WriteFileAtomically(dir / "fifo", "through the pipe", error)) << error;
    EXPECT_FALSE(WriteFileAtomically(dir / "full", "no room", error));
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;

    char buffer[64] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 16);
    EXPECT_STREQ(buffer, "through the pipe");
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_TRUE(fs::is_symlink(dir / "null"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"fifo", "full", "null"}));
}

TEST(AtomicFile, ErrorsCarryTheSystemsReason) {
    TempFolder dir;
    fs::create_directory(dir / "folder");
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    struct Case {
        std::string path;
        const char* reason;
    };
    std::vector<Case> cases = {
        {dir / "folder", "Is a directory"},
        {dir / "missing/file.ini", "No such file or directory"},
    };
    if (::geteuid() != 0) // the superuser may write anywhere
        cases.push_back({dir / "locked/file.ini", "Permission denied"});
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(WriteFileAtomically(c.path, "x", error)) << c.path;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    EXPECT_TRUE(fs::is_empty(dir / "folder"));

    // A write that fails on the way keeps its own reason, not that of a later call.
    const auto writeTooMuch = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string failure;
        const bool ok = WriteFileAtomically(dir / "big", std::string(100000, 'x'), failure);
        std::fputs(failure.c_str(), stderr);
        std::exit(ok ? 1 : 0);
    };
    EXPECT_EXIT(writeTooMuch(), ::testing::ExitedWithCode(0),
                "cannot write '.*big': File too large");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"folder", "locked"}));
}

// A process killed while it writes: SIGINT and SIGTERM remove the temporary file, SIGKILL cannot,
// and the next writer of the same target removes what it left.
TEST(AtomicFile, KilledWritersLeaveNoTemporaryFiles) {
    TempFolder dir;
    const std::string target = dir / "settings.ini";
    const auto killedWhileWriting = [&](int signal) {
        std::signal(signal, SIG_DFL);
        AtomicFileWriter writer;
        std::string error;
        if (!writer.Open(target, error))
            std::exit(3);
        writer.Write("half of it");
        std::raise(signal);
        std::exit(4);
    };
    EXPECT_EXIT(killedWhileWriting(SIGINT), ::testing::KilledBySignal(SIGINT), "");
    EXPECT_EXIT(killedWhileWriting(SIGTERM), ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_TRUE(fs::is_empty(dir.path()));

    EXPECT_EXIT(killedWhileWriting(SIGKILL), ::testing::KilledBySignal(SIGKILL), "");
    ASSERT_EQ(Names(dir.path()).size(), 1u);
    // Not the files of other targets, of a writer still running or of other programs.
    const std::string ours = std::to_string(::getpid());
    const std::vector<std::string> kept = {
        "other.ini.tmp999999-abcdef", "settings.ini.tmp" + ours + "-abcdef",
        "settings.ini.tmp1-abc",      "settings.ini.tmpXXXXXX",
        "settings.ini.tmp9x-abcdef",
    };
    for (const std::string& name : kept)
        WriteFileBytes(dir / name, "keep");

    std::string error;
    ASSERT_TRUE(WriteFileAtomically(target, "whole", error)) << error;
    std::vector<std::string> expected = kept;
    expected.push_back("settings.ini");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(dir.path()), expected);
}

} // namespace
} // namespace zuta::host
