#pragma once

#include "collection/TaskTable.h"
#include "engine/Records.h"
#include "graphs/CpuSessions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zuta::cli {

class Session;

// The task whose runs close the sessions.
struct MaskTask {
    std::string name;
    std::uint32_t id = 0;
};

// A loaded file cut into the CPU graph's sessions.
struct SessionModel {
    std::vector<GraphSample> samples; // as the CPU graph copies them: without function events,
                                      // unless LoadSamples was asked for them
    std::uint32_t idleId = 0;
    MaskTask mask;
    double divisor = 1.0; // ticks per microsecond
    graphs::CpuSessionSet sessions;
};

// Opens `input` into `session` and takes its graph samples (with the function events when
// asked); ends the command with `status` when the file cannot be read or holds no sample.
SessionModel LoadSamples(Session& session, const std::string& input, int status,
                         bool withFunctionEvents = false);

enum class SessionCut { Cut, NoIdleTask, NoMaskTask };

// Builds the sessions closed by the runs of the task `maskName`, or of the graph's own choice when
// it is empty. NoMaskTask with `error` set when no such task exists or no task ran.
SessionCut CutSessions(Session& session, const std::string& input, const std::string& maskName,
                       SessionModel& model, std::string& error);

// A task, HISR or IRQ of the task table with its figures as numbers.
struct TaskNumbers {
    std::string name;
    std::uint32_t id = 0;
    std::uint64_t runs = 0;
    TaskFigures figures;
};

// The rows of the task table, in its order.
std::vector<TaskNumbers> TaskTableNumbers(Session& session);

// A figure with up to two decimals and no trailing zeros: "76", "1.5", "4260.31"; one that would
// show as 0 with three significant digits: "0.00413".
std::string FigureText(double value);
// Seconds as "%.4f".
std::string SecondsText(double seconds);

} // namespace zuta::cli
