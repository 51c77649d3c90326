#pragma once

#include <map>
#include <string>
#include <string_view>

class QWidget;

namespace zuta::performance {

class CPerformanceView;

// Outcome of a picture of a window, as the host's exit status gives it on.
enum class RenderStatus : int {
    Ok = 0,
    BadInput = 1,    // the file to show cannot be opened
    Usage = 2,       // an unknown window or option, or a value out of range
    CannotWrite = 3, // no picture could be written
};

// "key=value" options of a picture, one a line.
class RenderOptions {
public:
    // False with `error` set when a line is not "key=value".
    bool Parse(std::string_view text, std::string& error);
    bool Has(const std::string& key) const { return values_.count(key) != 0; }
    std::string Text(const std::string& key) const;
    // The value as a whole number; false with `error` when it is none.
    bool Number(const std::string& key, std::size_t& value, std::string& error) const;
    // True when given as "1", "true" or empty ("live=").
    bool Flag(const std::string& key) const;
    // False with `error` naming the first option outside `known`.
    bool OnlyKnown(std::initializer_list<std::string_view> known, std::string& error) const;

private:
    std::map<std::string, std::string, std::less<>> values_;
};

// Opens a window of the module on the view as the options ask, ready to be pictured; null with
// `error` and `status` set when it cannot. The window belongs to the view.
using WindowRenderer = QWidget* (*)(CPerformanceView& view, const RenderOptions& options,
                                    RenderStatus& status, std::string& error);

// Opens a window of the module by name (a renderer of its own with options, else one of the
// windows the view lists without options), lets it lay itself out and writes it as a PNG file.
// The option "file" names a session file, raw log or capture to open first.
RenderStatus RenderViewWindow(CPerformanceView& view, std::string_view name,
                              std::string_view options, const std::string& pngPath,
                              std::string& error);

// The task graph (TaskGraphRender.cpp): page=N, select=K, live.
QWidget* RenderTaskGraph(CPerformanceView& view, const RenderOptions& options, RenderStatus& status,
                         std::string& error);
// The function call graph (FunctionGraphRender.cpp): zoom=N presses of "+", first=N (the first
// call shown), select=K (the call selected, counted over all calls).
QWidget* RenderFunctionGraph(CPerformanceView& view, const RenderOptions& options,
                             RenderStatus& status, std::string& error);
// The CPU usage graph (CpuGraphRender.cpp): mask=NAME refreshed as the "Mask Event" list would,
// session=N selected. A name or session not in the collection is bad input.
QWidget* RenderCpuGraph(CPerformanceView& view, const RenderOptions& options, RenderStatus& status,
                        std::string& error);
// The session pie of the CPU usage graph: session=N (required), mask=NAME as for the graph.
QWidget* RenderSessionPie(CPerformanceView& view, const RenderOptions& options,
                          RenderStatus& status, std::string& error);
// The distribution chart of a statistic of the task table: statistic=1..5 (default 2, MHz).
QWidget* RenderDistribution(CPerformanceView& view, const RenderOptions& options,
                            RenderStatus& status, std::string& error);

} // namespace zuta::performance
