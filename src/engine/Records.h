#pragma once

#include <cstdint>
#include <string>

namespace zuta {

// The kind word of a sample record.
enum class RecordKind : std::uint32_t {
    TaskSwitch = 1,
    UserEvent = 2,
    IrqSwitch = 3,
    FunctionEnter = 4,
    FunctionExit = 5,
};

// Task record types.
inline constexpr std::uint32_t kTypeTask = 0;
inline constexpr std::uint32_t kTypeHisr = 1;
inline constexpr std::uint32_t kTypeIrq = 2;
inline constexpr std::uint32_t kTypeFunctionEnter = 3;
inline constexpr std::uint32_t kTypeFunctionExit = 4;
// What GetTaskType answers for an identifier without a record.
inline constexpr std::uint32_t kTypeUnknown = 5;

// One decoded record, one stored run or one event: seven 32-bit words.
struct SampleRecord {
    std::uint32_t id = 0;
    std::uint32_t value0 = 0;
    std::uint32_t value1 = 0;
    std::uint32_t value2 = 0;
    std::uint32_t value3 = 0;
    std::uint32_t ticks = 0;
    std::uint32_t kind = 0;

    bool operator==(const SampleRecord&) const = default;
};
static_assert(sizeof(SampleRecord) == 28);

inline bool IsSwitch(std::uint32_t kind) {
    return kind == static_cast<std::uint32_t>(RecordKind::TaskSwitch) ||
           kind == static_cast<std::uint32_t>(RecordKind::IrqSwitch);
}
inline bool IsFunctionEvent(std::uint32_t kind) {
    return kind == static_cast<std::uint32_t>(RecordKind::FunctionEnter) ||
           kind == static_cast<std::uint32_t>(RecordKind::FunctionExit);
}

// Everything the store knows of one task, HISR, IRQ or function.
struct TaskRecord {
    std::string name;
    std::uint32_t id = 0;
    std::uint32_t type = 0;
    std::uint64_t runs = 0;
    std::uint64_t sumValue0 = 0;
    std::uint64_t sumValue1 = 0;
    std::uint64_t sumValue2 = 0;
    std::uint64_t lastValue3 = 0;
    std::uint64_t ticks = 0;

    bool operator==(const TaskRecord&) const = default;
};

// The eight-word sample the graphs work on.
struct GraphSample {
    std::uint32_t flag = 1;
    std::uint32_t id = 0;
    std::uint32_t value0 = 0;
    std::uint32_t value1 = 0;
    std::uint32_t value2 = 0;
    std::uint32_t value3 = 0;
    std::uint32_t ticks = 0;
    std::uint32_t kind = 0;

    bool operator==(const GraphSample&) const = default;
};
static_assert(sizeof(GraphSample) == 32);

} // namespace zuta
