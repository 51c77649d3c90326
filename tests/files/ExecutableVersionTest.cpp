#include "files/ExecutableVersion.h"

#include "support/TempFolder.h"
#include "support/WindowsExecutable.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta {
namespace {

using test::ExecutableSpec;
using test::WindowsExecutable;

TEST(ExecutableVersionTest, FileVersionOfTheUsEnglishUnicodeTable) {
    struct Case {
        ExecutableSpec spec;
        const char* version;
    };
    const Case cases[] = {
        {{}, "7.1.0.123"},
        {{.fileVersion = "17.1.0"}, "17.1.0"},
        {{.pe32Plus = true}, "7.1.0.123"},
        // Other tables, no resources, an empty entry: no version.
        {{.table = "040704b0"}, ""},
        {{.table = "040904e4"}, ""},
        {{.withVersion = false}, ""},
        {{.fileVersion = ""}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec.table + " " + c.spec.fileVersion);
        EXPECT_EQ(ReadExecutableVersion(WindowsExecutable(c.spec)), c.version);
    }
}

TEST(ExecutableVersionTest, CutOrDamagedImagesGiveNoVersionOrTheirOwn) {
    const std::vector<std::uint8_t> image = WindowsExecutable();
    for (std::size_t size = 0; size < image.size(); ++size) {
        const std::string version =
            ReadExecutableVersion(std::span<const std::uint8_t>(image.data(), size));
        EXPECT_TRUE(version.empty() || version == "7.1.0.123") << size;
    }
    // Every byte in turn at its most harmful: lengths, offsets and counts at their largest.
    for (std::size_t at = 0; at < image.size(); ++at) {
        for (const std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
            std::vector<std::uint8_t> damaged = image;
            damaged[at] = value;
            ReadExecutableVersion(damaged);
        }
    }
}

TEST(ExecutableVersionTest, FilesOfAnyKind) {
    const test::TempFolder folder;
    const std::vector<std::uint8_t> image = WindowsExecutable();
    test::WriteFileBytes(folder.path() / "tool.exe", std::string(image.begin(), image.end()));
    EXPECT_EQ(ReadExecutableVersionOfFile(folder / "tool.exe"), "7.1.0.123");
    // This test program, a folder, nothing at all.
    EXPECT_EQ(ReadExecutableVersionOfFile("/proc/self/exe"), "");
    EXPECT_EQ(ReadExecutableVersionOfFile(folder.path().string()), "");
    EXPECT_EQ(ReadExecutableVersionOfFile(folder / "missing.exe"), "");
}

} // namespace
} // namespace zuta
