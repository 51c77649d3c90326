#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zuta {

// The kernel's task control block as the agent copies it: 42 little-endian words.
using TaskControlBlock = std::array<std::uint32_t, 42>;

// One line of the task information viewer: a control block field and its value as text.
struct TaskInfoRow {
    std::string_view field; // "tc_name"
    std::string value;
};

inline constexpr std::size_t kTaskInfoRowCount = 36;

// The name of a task state ("READY" ... "TERMINATED"); "UNKNOWN (%u)" for a state the kernel
// does not define.
std::string TaskStatusText(std::uint8_t status);

// The shown fields of a control block, in the viewer's order.
std::vector<TaskInfoRow> TaskInfoRows(const TaskControlBlock& block);

} // namespace zuta
