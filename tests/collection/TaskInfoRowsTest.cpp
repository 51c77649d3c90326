#include "collection/TaskInfoRows.h"

#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "support/StoreServices.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace zuta {
namespace {

// A control block of 168 bytes: zeros with the bytes of each line ("16: 4C 31 ...") put at its
// offset; lines that start with '#' are comments.
wire::Bytes Block(const std::string& text) {
    wire::Bytes block(wire::kTcbBlockSize, 0);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::size_t at = 0;
        char colon = 0;
        unsigned byte = 0;
        if (line.starts_with('#') || !(in >> at >> colon))
            continue;
        while (in >> std::hex >> byte)
            block.at(at++) = static_cast<std::uint8_t>(byte);
    }
    return block;
}

// The rows of a block as the viewer gets it: the agent's message through the store.
std::vector<TaskInfoRow> RowsOf(const wire::Bytes& block) {
    struct Store : test::StoreServices {
        Store() { Connect(data, sink); }
        test::RecordingSink sink;
        CPerformanceData data;
    } store;
    const wire::Bytes message = wire::AgentMessage(wire::kMsgTcbBlock, block);
    std::uint32_t result = 0;
    store.data.OnCommandLinkMessage(message.data(), message.size(), result);
    EXPECT_EQ(result, wire::kMsgTcbBlock);
    TaskControlBlock words{};
    store.data.GetTcbBlock(words);
    return TaskInfoRows(words);
}

std::string Value(const std::vector<TaskInfoRow>& rows, std::string_view field) {
    for (const TaskInfoRow& row : rows)
        if (row.field == field)
            return row.value;
    return "(no row)";
}

TEST(TaskInfoRowsTest, EveryFieldOfARunningTasksBlock) {
    const std::string path = ZUTA_TEST_DATA_DIR "/collection/tcb_running.hex";
    std::string shown;
    for (const TaskInfoRow& row : RowsOf(Block(test::ReadFileBytes(path))))
        shown += std::string(row.field) + "=" + row.value + "\n";
    EXPECT_EQ(shown, test::ReadFileBytes(path + ".expected"));
}

TEST(TaskInfoRowsTest, NamesAndStates) {
    struct Case {
        const char* bytes; // from offset 16: name, status
        const char* name;
        const char* status;
    };
    const Case cases[] = {
        {"43 74 72 6C 00 00 00 00 00", "Ctrl", "READY"},
        // Eight characters have no terminator; the status byte that follows is not part of them.
        {"41 42 43 44 45 46 47 48 0C", "ABCDEFGH", "TERMINATED"},
        {"00 58 58 58 58 58 58 58 0B", "", "FINISHED"},
        {"53 4D 53 00 58 58 58 58 0D", "SMS", "UNKNOWN (13)"},
        {"44 4C 00 00 00 00 00 00 FF", "DL", "UNKNOWN (255)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::vector<TaskInfoRow> rows = RowsOf(Block(std::string("16: ") + c.bytes));
        EXPECT_EQ(Value(rows, "tc_name"), c.name);
        EXPECT_EQ(Value(rows, "tc_status"), c.status);
    }
}

} // namespace
} // namespace zuta
