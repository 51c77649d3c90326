#include "engine/Capture.h"

#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zuta {
namespace {

TEST(Capture, DamagedFilesAreReported) {
    const test::TempFolder folder;
    const std::string path = folder / "bad.zcap";
    struct Case {
        std::string bytes;
        const char* error;
    };
    const Case cases[] = {
        {"NOTACAPT", "not a ZUTA capture"},
        {std::string("ZUTACAP1\x09", 9) + std::string(16, '\0'), "unknown capture record kind 9"},
        {std::string("ZUTACAP1\x02", 9) + std::string(12, '\0') + std::string("\0\0\0\x02", 4),
         "larger than any link delivers"},
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

// A capture whose writer was killed: it ends anywhere inside its last record, and may still have
// the name it had while it was written. It reads up to its last whole record, with warnings.
TEST(Capture, CaptureCutShortReadsUpToItsLastWholeRecord) {
    const test::TempFolder folder;
    const std::string path = folder / "run.zcap";
    CaptureWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, error)) << error;
    for (std::uint8_t i = 0; i < 3; ++i)
        writer.Write(CaptureKind::DataBlock, 1, i, std::vector<std::uint8_t>(10, i).data(), 10);
    EXPECT_FALSE(std::filesystem::exists(path)); // appears only once complete
    ASSERT_TRUE(writer.Close(error)) << error;
    const std::string whole = test::ReadFileBytes(path);
    const std::size_t recordSize = kCaptureRecordHeaderSize + 10;
    ASSERT_EQ(whole.size(), 8 + 3 * recordSize);
    EXPECT_TRUE(IsCapturePath(path));
    EXPECT_TRUE(IsCapturePath(path + ".part"));
    EXPECT_FALSE(IsCapturePath(folder / "run.zuta"));

    for (std::size_t cut = 8 + 2 * recordSize; cut <= whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        const std::string bytes = whole.substr(0, cut);
        const bool cutInside = cut > 8 + 2 * recordSize && cut < whole.size();
        const std::string part = path + ".part";
        test::WriteFileBytes(part, bytes);
        CaptureReader fromFile;
        CaptureReader fromMemory;
        ASSERT_TRUE(fromFile.Open(part, error));
        ASSERT_TRUE(fromMemory.OpenMemory(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                          bytes.size(), error));
        for (CaptureReader* reader : {&fromFile, &fromMemory}) {
            CaptureRecord r;
            std::size_t records = 0;
            while (reader->Next(r, error)) {
                EXPECT_EQ(r.micros, records);
                EXPECT_EQ(r.bytes,
                          std::vector<std::uint8_t>(10, static_cast<std::uint8_t>(records)));
                ++records;
            }
            EXPECT_TRUE(error.empty()) << error;
            EXPECT_EQ(records, cut == whole.size() ? 3u : 2u);
            const bool named = reader == &fromFile;
            ASSERT_EQ(reader->warnings().size(), (named ? 1u : 0u) + (cutInside ? 1u : 0u));
            if (named) {
                EXPECT_NE(reader->warnings().front().find("never finished"), std::string::npos);
            }
            if (cutInside) {
                const std::string where = cut < 8 + 2 * recordSize + kCaptureRecordHeaderSize
                                              ? "a record header"
                                              : "a record";
                EXPECT_NE(reader->warnings().back().find("ends inside " + where + " at offset " +
                                                         std::to_string(8 + 2 * recordSize)),
                          std::string::npos)
                    << reader->warnings().back();
            }
        }
    }
}

} // namespace
} // namespace zuta
