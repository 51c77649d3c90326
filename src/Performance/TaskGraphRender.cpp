// The task graph as a picture: opened on a page with a box selected, or live.

#include "Performance/PerformanceView.h"
#include "Performance/TaskGraphDlg.h"
#include "Performance/ViewRender.h"
#include "host/TextNumbers.h"

namespace zuta::performance {

QWidget* RenderTaskGraph(CPerformanceView& view, const RenderOptions& options, RenderStatus& status,
                         std::string& error) {
    status = RenderStatus::Usage;
    if (!options.OnlyKnown({"file", "page", "select", "live"}, error))
        return nullptr;
    std::size_t page = 0;
    std::size_t select = 0;
    if ((options.Has("page") && !options.Number("page", page, error)) ||
        (options.Has("select") && !options.Number("select", select, error)))
        return nullptr;
    const bool live = options.Flag("live");
    auto* dialog = new CTaskGraphDlg(view, live, &view);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    if (live)
        dialog->RefreshLive();
    graphs::TaskGraphModel& model = dialog->model();
    if (page > model.scrollMaximum()) {
        error = "page " + text::FormatUnsigned(page) + " is past the last page " +
                text::FormatUnsigned(model.scrollMaximum());
    } else {
        if (page != 0)
            dialog->ShowPage(page);
        if (select >= std::max<std::size_t>(model.pageCount(), 1)) {
            error = "box " + text::FormatUnsigned(select) + " is not on the page, which holds " +
                    text::FormatUnsigned(model.pageCount());
        } else {
            if (select != 0)
                dialog->ClickBox(select);
            status = RenderStatus::Ok;
            return dialog;
        }
    }
    dialog->close();
    return nullptr;
}

} // namespace zuta::performance
