// The function call graph as a picture: zoomed in, scrolled on and with a call selected.

#include "Performance/FunctionGraphDlg.h"
#include "Performance/PerformanceView.h"
#include "Performance/ViewRender.h"
#include "host/TextNumbers.h"

namespace zuta::performance {

namespace {

// More presses of "+" than this leave every call a sliver.
constexpr std::size_t kMostZoomSteps = 30;

} // namespace

QWidget* RenderFunctionGraph(CPerformanceView& view, const RenderOptions& options,
                             RenderStatus& status, std::string& error) {
    status = RenderStatus::Usage;
    if (!options.OnlyKnown({"file", "zoom", "first", "select"}, error))
        return nullptr;
    std::size_t zoom = 0;
    std::size_t first = 0;
    std::size_t select = 0;
    if ((options.Has("zoom") && !options.Number("zoom", zoom, error)) ||
        (options.Has("first") && !options.Number("first", first, error)) ||
        (options.Has("select") && !options.Number("select", select, error)))
        return nullptr;
    if (zoom > kMostZoomSteps) {
        error = "zoom " + text::FormatUnsigned(zoom) + " is more than " +
                text::FormatUnsigned(kMostZoomSteps) + " presses of +";
        return nullptr;
    }
    auto* dialog = new CFunctionGraphDlg(view, &view);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    const std::size_t calls = dialog->model().calls().size();
    if (first > dialog->model().scrollMaximum()) {
        error = "call " + text::FormatUnsigned(first) + " is past the last call " +
                text::FormatUnsigned(dialog->model().scrollMaximum());
    } else if (select != 0 && select >= calls) {
        error = "call " + text::FormatUnsigned(select) + " is not there: the collection has " +
                text::FormatUnsigned(calls) + " calls";
    } else {
        for (std::size_t step = 0; step < zoom; ++step)
            dialog->OnZoomIn();
        dialog->ShowFrom(static_cast<std::uint32_t>(first));
        if (select != 0)
            dialog->ClickCall(static_cast<std::uint32_t>(select));
        status = RenderStatus::Ok;
        return dialog;
    }
    dialog->close();
    return nullptr;
}

} // namespace zuta::performance
