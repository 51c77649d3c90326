#include "collection/TaskInfoRows.h"

#include <charconv>

namespace zuta {

namespace {

enum class Shown { Unsigned, Signed, Hex, Byte, Name, Status };

struct Field {
    std::string_view name;
    std::size_t offset;
    Shown shown;
};

constexpr Field kFields[kTaskInfoRowCount] = {
    {"tc_created", 0, Shown::Unsigned},
    {"tc_id", 12, Shown::Unsigned},
    {"tc_name", 16, Shown::Name},
    {"tc_status", 24, Shown::Status},
    {"tc_delayed_suspend", 25, Shown::Byte},
    {"tc_priority", 26, Shown::Byte},
    {"tc_preemption", 27, Shown::Byte},
    {"tc_scheduled", 28, Shown::Signed},
    {"tc_cur_time_slice", 32, Shown::Signed},
    {"tc_stack_start", 36, Shown::Hex},
    {"tc_stack_end", 40, Shown::Hex},
    {"tc_stack_pointer", 44, Shown::Hex},
    {"tc_stack_size", 48, Shown::Signed},
    {"tc_stack_minimum", 52, Shown::Signed},
    {"tc_current_protect", 56, Shown::Hex},
    {"tc_saved_stack_ptr", 60, Shown::Hex},
    {"tc_time_slice", 64, Shown::Unsigned},
    {"tc_ready_previous", 68, Shown::Hex},
    {"tc_ready_next", 72, Shown::Hex},
    {"tc_priority_group", 76, Shown::Unsigned},
    {"tc_sub_priority", 88, Shown::Byte},
    {"tc_saved_status", 89, Shown::Byte},
    {"tc_signal_active", 90, Shown::Byte},
    {"tc_entry", 92, Shown::Hex},
    {"tc_argc", 96, Shown::Unsigned},
    {"tc_argv", 100, Shown::Hex},
    {"tc_cleanup", 104, Shown::Hex},
    {"tc_timer_active", 116, Shown::Unsigned},
    {"tc_timer_control", 120, Shown::Unsigned},
    {"tc_signals", 140, Shown::Unsigned},
    {"tc_enabled_signals", 144, Shown::Unsigned},
    {"tc_signal_handler", 148, Shown::Hex},
    {"tc_system_reserved_1", 152, Shown::Unsigned},
    {"tc_system_reserved_2", 156, Shown::Unsigned},
    {"tc_system_reserved_3", 160, Shown::Unsigned},
    {"tc_app_reserved_1", 164, Shown::Unsigned},
};

constexpr std::string_view kStates[] = {
    "READY",          "PURE_SUSPEND",      "SLEEP_SUSPEND", "MAILBOX_SUSPEND",   "QUEUE_SUSPEND",
    "PIPE_SUSPEND",   "SEMAPHORE_SUSPEND", "EVENT_SUSPEND", "PARTITION_SUSPEND", "MEMORY_SUSPEND",
    "DRIVER_SUSPEND", "FINISHED",          "TERMINATED"};

constexpr std::size_t kNameSize = 8;

template <class T> std::string Number(T value, int base = 10) {
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, value, base);
    return std::string(text, result.ptr);
}

} // namespace

std::string TaskStatusText(std::uint8_t status) {
    if (status < std::size(kStates))
        return std::string(kStates[status]);
    return "UNKNOWN (" + Number(unsigned{status}) + ")";
}

std::vector<TaskInfoRow> TaskInfoRows(const TaskControlBlock& block) {
    std::array<std::uint8_t, sizeof(TaskControlBlock)> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(block[i / 4] >> (8 * (i % 4)));
    const auto word = [&](std::size_t at) { return block[at / 4]; };

    std::vector<TaskInfoRow> rows;
    rows.reserve(kTaskInfoRowCount);
    for (const Field& f : kFields) {
        std::string value;
        switch (f.shown) {
        case Shown::Unsigned:
            value = Number(word(f.offset));
            break;
        case Shown::Signed:
            value = Number(static_cast<std::int32_t>(word(f.offset)));
            break;
        case Shown::Hex:
            value = "0x" + Number(word(f.offset), 16);
            break;
        case Shown::Byte:
            value = Number(unsigned{bytes[f.offset]});
            break;
        case Shown::Name:
            for (std::size_t i = 0; i < kNameSize && bytes[f.offset + i] != 0; ++i)
                value += static_cast<char>(bytes[f.offset + i]);
            break;
        case Shown::Status:
            value = TaskStatusText(bytes[f.offset]);
            break;
        }
        rows.push_back({f.name, std::move(value)});
    }
    return rows;
}

} // namespace zuta
