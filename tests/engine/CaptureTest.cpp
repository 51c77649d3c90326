#include "engine/Capture.h"

#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta {
namespace {

TEST(Capture, RoundTrip) {
    const test::TempFolder folder;
    const std::string path = folder / "capture.zcap";
    CaptureWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, error)) << error;
    ASSERT_TRUE(writer.Write(CaptureKind::SenderName, 0, 0, (const std::uint8_t*)"\1\0\2\0ME", 6));
    const std::vector<std::uint8_t> block(3000, 0x5A);
    ASSERT_TRUE(
        writer.Write(CaptureKind::DataBlock, 1, 123456789012ull, block.data(), block.size()));
    EXPECT_FALSE(std::filesystem::exists(path)); // appears only once complete
    ASSERT_TRUE(writer.Close(error)) << error;

    CaptureReader reader;
    ASSERT_TRUE(reader.Open(path, error)) << error;
    CaptureRecord r;
    ASSERT_TRUE(reader.Next(r, error));
    EXPECT_EQ(r.kind, CaptureKind::SenderName);
    EXPECT_EQ(r.bytes.size(), 6u);
    ASSERT_TRUE(reader.Next(r, error));
    EXPECT_EQ(r.kind, CaptureKind::DataBlock);
    EXPECT_EQ(r.port, 1u);
    EXPECT_EQ(r.micros, 123456789012ull);
    EXPECT_EQ(r.bytes, block);
    EXPECT_FALSE(reader.Next(r, error));
    EXPECT_TRUE(error.empty());
}

TEST(Capture, DamagedFilesAreReported) {
    const test::TempFolder folder;
    const std::string path = folder / "bad.zcap";
    struct Case {
        std::string bytes;
        const char* error;
    };
    const Case cases[] = {
        {"NOTACAPT", "not a ZUTA capture"},
        {std::string("ZUTACAP1\x02\x01\x00", 11), "inside a record header"},
        {std::string("ZUTACAP1\x09", 9) + std::string(16, '\0'), "unknown capture record kind 9"},
        {std::string("ZUTACAP1\x02", 9) + std::string(12, '\0') + std::string("\x10\0\0\0xx", 6),
         "ends inside a record"},
    };
    for (const Case& c : cases) {
        test::WriteFileBytes(path, c.bytes);
        CaptureReader reader;
        std::string error;
        CaptureRecord r;
        if (reader.Open(path, error)) {
            EXPECT_FALSE(reader.Next(r, error));
        }
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

} // namespace
} // namespace zuta
