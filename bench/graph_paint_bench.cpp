// Painting one page of the graphs into an off-screen image, the work of one repaint: a timeline
// page of gradient boxes (the task graph's 800-pixel strip) and a CPU chart of 150 sessions.
// Both must stay far below a 16 ms frame.
#include "Performance/CpuChartPainter.h"
#include "Performance/GraphPainter.h"
#include "graphs/TaskPalette.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

using namespace zuta;

QGuiApplication& Application() {
    static int argc = 1;
    static char name[] = "graph_paint_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    return *application;
}

void BM_TimelinePage(benchmark::State& state) {
    const int boxes = static_cast<int>(state.range(0));
    QImage image(820, 300, QImage::Format_RGB32);
    graphs::TaskColours colours;
    for (auto _ : state) {
        QPainter painter(&image);
        int x = 10;
        for (int i = 0; i < boxes; ++i) {
            const int width = 800 / boxes;
            const int row = 20 + (i % 12) * 20;
            performance::DrawGradientBar(painter, {x, row, x + width, row + 15},
                                         colours.ColourOf(static_cast<std::uint32_t>(i % 40)),
                                         graphs::Rgb(255, 255, 255), i == boxes / 2, true, true);
            x += width;
        }
    }
    state.SetItemsProcessed(state.iterations() * boxes);
}
BENCHMARK(BM_TimelinePage)->Arg(50)->Arg(400)->Unit(benchmark::kMicrosecond);

void BM_CpuChartPage(benchmark::State& state) {
    Application();
    graphs::CCpuChart chart;
    chart.Create(10, 10, 780, 200);
    chart.SetPointsPerPage(150);
    for (int i = 0; i < 150; ++i) {
        chart.AddPoint((i * 37) % 101);
    }
    if (state.range(0) != 0) {
        chart.ToggleLineMode();
    }
    QImage image(800, 230, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        performance::PaintCpuChart(painter, chart);
    }
}
BENCHMARK(BM_CpuChartPage)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
