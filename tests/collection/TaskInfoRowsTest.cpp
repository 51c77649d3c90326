#include "collection/TaskInfoRows.h"

#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "support/StoreServices.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace zuta {
namespace {

// A control block of 168 bytes: zeros with the given bytes ("4C 31 ...") at the given offsets.
wire::Bytes Block(const std::vector<std::pair<std::size_t, std::string>>& patches) {
    wire::Bytes block(wire::kTcbBlockSize, 0);
    for (const auto& [offset, hex] : patches) {
        std::istringstream in(hex);
        unsigned byte = 0;
        for (std::size_t at = offset; in >> std::hex >> byte; ++at)
            block.at(at) = static_cast<std::uint8_t>(byte);
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
    // Bytes 4 to 11, 80 to 87, 91, 108 to 115 and 124 to 139 are not shown: filled here so that a
    // field read from a wrong place shows.
    const wire::Bytes block = Block({
        {0, "01 00 00 00 DE AD BE EF 11 22 33 44 4B 53 41 54"},
        {16, "4C 31 5F 54 61 73 6B 00 06 00 D7 01 2A 03 00 00 FF FF FF FF"},
        {36, "00 40 10 80 FF 4F 10 80 58 4E 10 80 00 10 00 00 7D 04 00 00"},
        {60, "58 4E 10 80 14 00 00 00 50 01 20 80 A8 00 20 80 40 00 00 00"},
        {80, "99 99 99 99 99 99 99 99 17 02 01 99 00 41 A0 00 02 00 00 00"},
        {100, "10 2F 10 80 00 00 00 00 77 77 77 77 77 77 77 77 01 00 00 00 01 00 00 00"},
        {124, "AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA AA 04 00 00 00 FF FF 00 00"},
        {148, "80 51 A0 00 00 00 00 00 07 00 00 00 00 00 00 00 FF FF FF FF"},
    });
    std::string shown;
    for (const TaskInfoRow& row : RowsOf(block))
        shown += std::string(row.field) + "=" + row.value + " ";
    EXPECT_EQ(shown, "tc_created=1 tc_id=1413567307 tc_name=L1_Task tc_status=SEMAPHORE_SUSPEND "
                     "tc_delayed_suspend=0 tc_priority=215 tc_preemption=1 tc_scheduled=810 "
                     "tc_cur_time_slice=-1 tc_stack_start=0x80104000 tc_stack_end=0x80104fff "
                     "tc_stack_pointer=0x80104e58 tc_stack_size=4096 tc_stack_minimum=1149 "
                     "tc_current_protect=0x0 tc_saved_stack_ptr=0x80104e58 tc_time_slice=20 "
                     "tc_ready_previous=0x80200150 tc_ready_next=0x802000a8 tc_priority_group=64 "
                     "tc_sub_priority=23 tc_saved_status=2 tc_signal_active=1 tc_entry=0xa04100 "
                     "tc_argc=2 tc_argv=0x80102f10 tc_cleanup=0x0 tc_timer_active=1 "
                     "tc_timer_control=1 tc_signals=4 tc_enabled_signals=65535 "
                     "tc_signal_handler=0xa05180 tc_system_reserved_1=0 tc_system_reserved_2=7 "
                     "tc_system_reserved_3=0 tc_app_reserved_1=4294967295 ");
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
        const std::vector<TaskInfoRow> rows = RowsOf(Block({{16, c.bytes}}));
        EXPECT_EQ(Value(rows, "tc_name"), c.name);
        EXPECT_EQ(Value(rows, "tc_status"), c.status);
    }
    // An empty block: READY, no name, zeros everywhere else.
    for (const TaskInfoRow& row : RowsOf(Block({}))) {
        if (row.field != "tc_name" && row.field != "tc_status") {
            EXPECT_TRUE(row.value == "0" || row.value == "0x0") << row.field;
        }
    }
}

} // namespace
} // namespace zuta
