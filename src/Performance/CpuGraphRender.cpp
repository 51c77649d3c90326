// The CPU usage graph, its session pie and the distribution charts as pictures.

#include "Performance/CpuUsageGraphDlg.h"
#include "Performance/PerformanceView.h"
#include "Performance/PieChartDlg.h"
#include "Performance/ViewRender.h"
#include "host/TextNumbers.h"

#include <QComboBox>
#include <algorithm>

namespace zuta::performance {

namespace {

// The graph as the user leaves it: the mask event chosen and refreshed when `mask` is given, then
// the session selected when `session` is given. Null with `status` and `error` when either is not
// in the collection.
CCpuUsageGraphDlg* OpenCpuGraphOn(CPerformanceView& view, const RenderOptions& options,
                                  bool sessionRequired, RenderStatus& status, std::string& error) {
    status = RenderStatus::Usage;
    std::size_t session = 0;
    if (options.Has("session") && !options.Number("session", session, error))
        return nullptr;
    if (sessionRequired && !options.Has("session")) {
        error = "option session is required";
        return nullptr;
    }
    auto* dialog = OpenCpuUsageGraph(view, false);
    if (dialog == nullptr) {
        status = RenderStatus::CannotWrite;
        error = "the CPU usage graph did not open";
        return nullptr;
    }
    status = RenderStatus::BadInput;
    if (options.Has("mask")) {
        const std::string mask = options.Text("mask");
        const auto& names = dialog->activeNames();
        const auto found = std::find(names.begin(), names.end(), mask);
        if (found == names.end()) {
            error = "no task named " + mask + " ran in the collection";
            dialog->close();
            return nullptr;
        }
        dialog->maskList()->setCurrentIndex(static_cast<int>(found - names.begin()));
        dialog->OnRefresh();
    }
    // Painted once before a session is chosen, as the user sees it: the timeline gives each task
    // its colour when first painted, and the pie takes the timeline's colours.
    dialog->grab();
    const std::size_t count = dialog->built() ? dialog->sessions().sessions.size() : 0;
    if (options.Has("session")) {
        if (session >= count) {
            error = "session " + text::FormatUnsigned(session) +
                    " is not there: the collection has " + text::FormatUnsigned(count) +
                    " sessions";
            dialog->close();
            return nullptr;
        }
        dialog->SelectSession(static_cast<std::uint32_t>(session));
        dialog->grab();
    }
    status = RenderStatus::Ok;
    return dialog;
}

} // namespace

QWidget* RenderCpuGraph(CPerformanceView& view, const RenderOptions& options, RenderStatus& status,
                        std::string& error) {
    if (!options.OnlyKnown({"file", "session", "mask"}, error)) {
        status = RenderStatus::Usage;
        return nullptr;
    }
    return OpenCpuGraphOn(view, options, false, status, error);
}

QWidget* RenderSessionPie(CPerformanceView& view, const RenderOptions& options,
                          RenderStatus& status, std::string& error) {
    if (!options.OnlyKnown({"file", "session", "mask"}, error)) {
        status = RenderStatus::Usage;
        return nullptr;
    }
    CCpuUsageGraphDlg* dialog = OpenCpuGraphOn(view, options, true, status, error);
    if (dialog == nullptr)
        return nullptr;
    dialog->OnSessionPie();
    CPieChartDlg* pie = dialog->pie();
    if (pie == nullptr) {
        status = RenderStatus::CannotWrite;
        error = "the session pie did not open";
        dialog->close();
        return nullptr;
    }
    // The pie has no owner window; the graph it belongs to goes with it.
    QObject::connect(pie, &QObject::destroyed, dialog, &QWidget::close);
    return pie;
}

QWidget* RenderDistribution(CPerformanceView& view, const RenderOptions& options,
                            RenderStatus& status, std::string& error) {
    status = RenderStatus::Usage;
    if (!options.OnlyKnown({"file", "statistic"}, error))
        return nullptr;
    std::size_t statistic = static_cast<std::size_t>(graphs::Statistic::Mhz);
    if (options.Has("statistic") && !options.Number("statistic", statistic, error))
        return nullptr;
    if (statistic < static_cast<std::size_t>(graphs::Statistic::ContextSwitches) ||
        statistic > static_cast<std::size_t>(graphs::Statistic::AccessCount)) {
        error = "statistic " + text::FormatUnsigned(statistic) + " is not 1 to 5";
        return nullptr;
    }
    CPieChartDlg* chart =
        OpenDistributionChart(view, static_cast<graphs::Statistic>(statistic), false);
    if (chart != nullptr)
        status = RenderStatus::Ok;
    return chart;
}

} // namespace zuta::performance
