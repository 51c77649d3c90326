#include "SessionModel.h"

#include "Commands.h"
#include "Session.h"
#include "engine/PerformanceData.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <utility>

namespace zuta::cli {

namespace {

// The names of the task table's rows (ascending identifiers) whose tasks ran.
std::vector<std::pair<std::string, std::uint32_t>> ActiveTasks(const CPerformanceData& data) {
    TaskTable table;
    table.RebuildRows(data);
    std::vector<std::pair<std::string, std::uint32_t>> active;
    for (std::size_t i = 0; i < table.rowCount(); ++i) {
        TaskRecord record;
        const TaskRow& row = table.row(i);
        if (data.GetTaskById(row.id, record) && record.runs != 0)
            active.emplace_back(record.name, row.id);
    }
    return active;
}

// The graph's own choice, or the task named.
std::optional<MaskTask> ChooseMask(Session& session, const std::string& input,
                                   const std::string& maskName, std::string& error) {
    const CPerformanceData& data = session.data();
    if (!maskName.empty()) {
        const std::uint32_t id = data.GetTaskIdByName(maskName);
        TaskRecord record;
        if (!data.GetTaskById(id, record) || record.name != maskName) {
            error = "'" + input + "' has no task named '" + maskName + "'";
            return std::nullopt;
        }
        return MaskTask{maskName, id};
    }
    const auto active = ActiveTasks(data);
    if (active.empty()) {
        error = "'" + input + "' has no task that ran";
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const auto& task : active)
        names.push_back(task.first);
    // Nothing matched: the graph shows the first entry of its list as the mask event.
    const std::size_t chosen =
        graphs::ChooseMaskEvent(names, session.settings().maskEvent).value_or(0);
    return MaskTask{active[chosen].first, active[chosen].second};
}

} // namespace

SessionModel LoadSamples(Session& session, const std::string& input, int status,
                         bool withFunctionEvents) {
    std::string error;
    if (!session.LoadInput(input, error))
        Fail(error, status);
    SessionModel model;
    session.data().BuildGraphSamples(model.samples, withFunctionEvents);
    if (model.samples.empty())
        Fail("'" + input + "' holds no sample", status);
    model.idleId = session.data().Read([](const StoreState& s) { return s.idleTaskId; });
    model.divisor = graphs::TicksPerMicrosecond(session.settings());
    return model;
}

SessionCut CutSessions(Session& session, const std::string& input, const std::string& maskName,
                       SessionModel& model, std::string& error) {
    if (model.idleId == 0)
        return SessionCut::NoIdleTask;
    const std::optional<MaskTask> mask = ChooseMask(session, input, maskName, error);
    if (!mask)
        return SessionCut::NoMaskTask;
    model.mask = *mask;
    graphs::BuildCpuSessions(model.samples, model.mask.id, model.idleId, model.divisor,
                             model.sessions);
    return SessionCut::Cut;
}

std::vector<TaskNumbers> TaskTableNumbers(Session& session) {
    const CPerformanceData& data = session.data();
    const StatisticsOptions options{false, session.settings().externalTsMode,
                                    session.settings().armClockMhz};
    TaskTable table;
    table.RebuildRows(data);
    std::vector<TaskNumbers> rows;
    for (std::size_t i = 0; i < table.rowCount(); ++i) {
        TaskRecord record;
        if (data.GetTaskById(table.row(i).id, record))
            rows.push_back(
                {record.name, record.id, record.runs, TaskTable::Figures(data, record, options)});
    }
    return rows;
}

std::string FigureText(double value) {
    char text[400];
    // A small figure that two decimals would show as 0 keeps three significant digits.
    const bool small = value != 0.0 && std::fabs(value) < 0.005;
    const auto [end, ec] =
        small ? std::to_chars(text, text + sizeof text, value, std::chars_format::general, 3)
              : std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    std::string s(text, ec == std::errc{} ? end : text);
    if (!small && s.find('.') != std::string::npos) {
        s.erase(s.find_last_not_of('0') + 1);
        if (s.back() == '.')
            s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

std::string SecondsText(double seconds) {
    char text[400];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 4);
    return std::string(text, ec == std::errc{} ? end : text);
}

} // namespace zuta::cli
