// Repainting the CPU usage graph: the chart of a page of sessions and the timeline of the selected
// session, as the dialog paints them after every click; one repaint must stay under 16 ms.
// Painted on the example capture, with all of its sessions on one page.
#include "BenchWindow.h"
#include "Performance/CpuUsageGraphDlg.h"
#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceView.h"
#include "collection/CollectionSession.h"
#include "host/HostWindow.h"
#include "host/MemorySettingsStore.h"
#include "host/MessageBox.h"
#include "host/OutputWindow.h"
#include "settings/PerformanceSettings.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace zuta;

void BM_CpuGraphRepaint(benchmark::State& state) {
    bench::BenchApplication();

    bench::QuietHost host;
    PerformanceSettings settings;
    settings.dumpPath = (std::filesystem::temp_directory_path() / "zuta-bench-dump").string();
    settings.save(host.store);
    auto* document = new performance::CPerformanceDoc();
    document->OnNewDocument();
    auto* frame = new performance::CPerformanceFrame(document);
    auto* view = new performance::CPerformanceView(frame, &host);
    frame->SetView(view);
    frame->Create(host);
    view->OnInitialUpdate();
    std::string error;
    if (!view->session()->Open(ZUTA_EXAMPLES_DIR "/modem-full.zcap", error)) {
        state.SkipWithError(error.c_str());
        delete frame;
        return;
    }
    view->RefreshTableNow();
    QApplication::processEvents();

    performance::CCpuUsageGraphDlg dialog(*view, view->RowTaskNames());
    dialog.allButton()->click(); // every session on one page
    // Equal-width boxes carry their names.
    if (state.range(0) != 0)
        dialog.ToggleTimelineMode();
    dialog.SelectSession(1);
    QImage image(dialog.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        // The dialog's own painting, without its child controls.
        dialog.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["sessions"] = static_cast<double>(dialog.paging().sessionsShown());
    delete frame;
}
BENCHMARK(BM_CpuGraphRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
