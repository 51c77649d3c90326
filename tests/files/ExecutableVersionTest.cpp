#include "files/ExecutableVersion.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta {
namespace {

// Small Windows executables laid out as a linker lays them out: DOS and PE headers, one resource
// section holding a version resource (fixed information, one string table, the translation).
const std::string kExeDir = ZUTA_TEST_DATA_DIR "/files/exe/";

std::vector<std::uint8_t> Image(const std::string& name) {
    const std::string bytes = test::ReadFileBytes(kExeDir + name);
    return {bytes.begin(), bytes.end()};
}

TEST(ExecutableVersionTest, FileVersionOfTheUsEnglishUnicodeTable) {
    const std::pair<const char*, const char*> cases[] = {
        {"version-7.1.0.123.exe", "7.1.0.123"},
        {"version-17.1.0.exe", "17.1.0"},
        {"pe32plus.exe", "7.1.0.123"},
        // Other tables, no resources, an empty entry: no version.
        {"german-table.exe", ""},
        {"table-040904e4.exe", ""},
        {"no-resources.exe", ""},
        {"empty-version.exe", ""},
    };
    for (const auto& [name, version] : cases) {
        const std::vector<std::uint8_t> image = Image(name);
        ASSERT_FALSE(image.empty()) << name;
        EXPECT_EQ(ReadExecutableVersion(image), version) << name;
        EXPECT_EQ(ReadExecutableVersionOfFile(kExeDir + name), version) << name;
    }
    // This test program, a folder, nothing at all.
    EXPECT_EQ(ReadExecutableVersionOfFile("/proc/self/exe"), "");
    EXPECT_EQ(ReadExecutableVersionOfFile(kExeDir), "");
    EXPECT_EQ(ReadExecutableVersionOfFile(kExeDir + "missing.exe"), "");
}

TEST(ExecutableVersionTest, CutOrDamagedImagesGiveNoVersionOrTheirOwn) {
    const std::vector<std::uint8_t> image = Image("version-7.1.0.123.exe");
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

} // namespace
} // namespace zuta
