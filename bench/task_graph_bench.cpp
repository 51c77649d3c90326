// The task graph on a long collection: opening the dialog (its model reads the store in place, so
// opening must not grow with the collection; under 1 s on 10 million samples), painting one page
// (under 16 ms), and a search that runs off the end of the collection.
//
// The default run stores 1 million samples; ZUTA_TASK_GRAPH_SAMPLES=10000000 stores 10 million.
#include "BenchWindow.h"
#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceView.h"
#include "Performance/TaskGraphDlg.h"
#include "engine/PerformanceData.h"
#include "host/HostWindow.h"
#include "host/MemorySettingsStore.h"
#include "host/MessageBox.h"
#include "host/OutputWindow.h"
#include "settings/PerformanceSettings.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace zuta;

std::size_t SampleCount() {
    const char* text = std::getenv("ZUTA_TASK_GRAPH_SAMPLES");
    return text != nullptr && std::atoll(text) > 0 ? static_cast<std::size_t>(std::atoll(text))
                                                   : 1'000'000;
}

// One view for the whole run, its store holding a modem-like collection: 32 tasks and HISRs,
// 8 IRQs, a user event now and then and function events after some runs.
performance::CPerformanceView& View() {
    static performance::CPerformanceView* view = [] {
        bench::BenchApplication();
        static bench::QuietHost host;
        PerformanceSettings settings;
        settings.dumpPath = (std::filesystem::temp_directory_path() / "zuta-bench-dump").string();
        settings.save(host.store);
        auto* document = new performance::CPerformanceDoc();
        document->OnNewDocument();
        auto* frame = new performance::CPerformanceFrame(document);
        auto* v = new performance::CPerformanceView(frame, &host);
        frame->SetView(v);
        frame->Create(host);
        v->OnInitialUpdate();
        const std::size_t count = SampleCount();
        v->data()->Write([count](StoreState& s) {
            for (std::uint32_t t = 0; t < 32; ++t)
                s.AddOrUpdateTask("Task" + std::to_string(t), 1000 + t, t < 24 ? 0 : 1);
            for (std::uint32_t irq = 0; irq < 8; ++irq)
                s.AddOrUpdateTask("IRQ" + std::to_string(irq), irq, 2);
            s.AddOrUpdateTask("Fn3", 5003, 3);
            std::uint32_t x = 2463534242u;
            for (std::size_t i = 0; i < count; ++i) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                SampleRecord r{1000 + x % 32, x % 5000, x % 300, x % 40, 0, 100 + x % 900, 1};
                if (x % 9 == 0)
                    r = {x % 8, x % 900, 0, 0, 0, 50 + x % 100, 3};
                else if (x % 11 == 0)
                    r = {2000 + x % 16, x, 0, 0, 0, 0, 2};
                else if (x % 13 == 0)
                    r = {5003, 10, 1, 1, 0, 20, 4 + x % 2};
                s.samples.push_back(r);
            }
        });
        return v;
    }();
    return *view;
}

void BM_TaskGraphOpen(benchmark::State& state) {
    performance::CPerformanceView& view = View();
    for (auto _ : state) {
        performance::CTaskGraphDlg dialog(view, false);
        benchmark::DoNotOptimize(dialog.model().scrollMaximum());
    }
    state.counters["samples"] = static_cast<double>(SampleCount());
}
BENCHMARK(BM_TaskGraphOpen)->Unit(benchmark::kMillisecond);

// A raw log's "Find Task" list is gathered from the samples: the one walk over all of them.
void BM_TaskGraphModelOpenRawLog(benchmark::State& state) {
    performance::CPerformanceView& view = View();
    for (auto _ : state) {
        graphs::TaskGraphModel model(*view.data(), {.rawLog = true}, {});
        model.SetGraphRect({50, 10, 700, 124});
        benchmark::DoNotOptimize(model.findNames().data());
    }
}
BENCHMARK(BM_TaskGraphModelOpenRawLog)->Unit(benchmark::kMillisecond);

// A page in the middle of the collection, with the last box selected.
void BM_TaskGraphPaintPage(benchmark::State& state) {
    performance::CPerformanceView& view = View();
    performance::CTaskGraphDlg dialog(view, false);
    dialog.ShowPage(dialog.model().scrollMaximum() / 2);
    dialog.ClickBox(dialog.model().pageCount() - 1);
    QImage image(dialog.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        // The dialog's own painting, without its child controls.
        dialog.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["boxes"] = static_cast<double>(dialog.model().pageCount());
}
BENCHMARK(BM_TaskGraphPaintPage)->Unit(benchmark::kMillisecond);

// "Find" of a name no sample carries walks the whole collection.
void BM_TaskGraphFindToTheEnd(benchmark::State& state) {
    performance::CPerformanceView& view = View();
    graphs::TaskGraphModel model(*view.data(), {}, {});
    model.SetGraphRect({50, 10, 700, 124});
    std::string delta;
    for (auto _ : state)
        benchmark::DoNotOptimize(model.Find("Fn3", delta));
}
BENCHMARK(BM_TaskGraphFindToTheEnd)->Unit(benchmark::kMillisecond);

} // namespace
