#include "Performance/ViewWindows.h"

#include "Performance/CpuUsageGraphDlg.h"
#include "Performance/FunctionGraphDlg.h"
#include "Performance/FunctionNameDlg.h"
#include "Performance/IrqNameDlg.h"
#include "Performance/PerformanceView.h"
#include "Performance/PieChartDlg.h"
#include "Performance/SettingsDlg.h"
#include "Performance/TaskGraphDlg.h"
#include "Performance/TaskInfoDlg.h"

#include <algorithm>

namespace zuta::performance {

const std::vector<ViewWindow>& ViewWindows() {
    static const std::vector<ViewWindow> windows = {
        {"task-graph",
         [](CPerformanceView& view) -> QWidget* { return OpenTaskGraph(view, false); }},
        {"cpu-graph",
         [](CPerformanceView& view) -> QWidget* { return OpenCpuUsageGraph(view, false); }},
        {"function-graph",
         [](CPerformanceView& view) -> QWidget* { return OpenFunctionGraph(view, false); }},
        {"settings",
         [](CPerformanceView& view) -> QWidget* { return view.OpenSettingsDialog(false); }},
        {"irq-names",
         [](CPerformanceView& view) -> QWidget* { return OpenIrqNameDlg(view, false); }},
        {"function-names",
         [](CPerformanceView& view) -> QWidget* { return OpenFunctionNameDlg(view, false); }},
        {"task-info",
         [](CPerformanceView& view) -> QWidget* {
             return OpenTaskInfoDlg(view, SampleTaskControlBlock(), false);
         }},
        {"distribution",
         [](CPerformanceView& view) -> QWidget* {
             return OpenDistributionChart(view, graphs::Statistic::Mhz, false);
         }},
    };
    return windows;
}

const ViewWindow* FindViewWindow(std::string_view name) {
    const auto& windows = ViewWindows();
    const auto found = std::find_if(windows.begin(), windows.end(),
                                    [name](const ViewWindow& w) { return w.name == name; });
    return found == windows.end() ? nullptr : &*found;
}

} // namespace zuta::performance
