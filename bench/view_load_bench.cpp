// How long the window thread's event loop stalls while the view loads and saves a large session
// file: the view reads and writes it off the window thread and shows a progress dialog, so a 1 ms
// timer on the window thread must keep ticking. The counter max_stall_ms is the longest gap
// between two ticks from the command to its end, over a load into an empty window, one that
// replaces that collection and a save of it; it must stay under 50. load_s is the longer of the
// two loads, save_s the save.
//
// The default run loads 1 million samples; ZUTA_VIEW_LOAD_SAMPLES=10000000 loads 10 million.
#include "BenchWindow.h"
#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceDoc.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceView.h"
#include "host/HostWindow.h"
#include "host/MemorySettingsStore.h"
#include "host/MessageBox.h"
#include "host/OutputWindow.h"
#include "host/TextNumbers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

using namespace zuta;

// A session file of `samples` run samples over 40 tasks and IRQs, written straight as text.
std::string WriteSession(std::int64_t samples) {
    std::string path =
        (std::filesystem::temp_directory_path() / "zuta-view-load-XXXXXX.zuta").string();
    const int fd = ::mkstemps(path.data(), 5);
    std::FILE* file = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (file == nullptr)
        return {};
    std::string text = "DCRaw , 3 , 1\nCoreClock= 208.000000\nSampling duration 60\n"
                       "TasksCount= 40\nUserDataCount= 0\n";
    for (int t = 0; t < 40; ++t) {
        const unsigned id = t < 32 ? 1000u + static_cast<unsigned>(t) : static_cast<unsigned>(t);
        text += (t < 32 ? "Task" : "IRQ") + std::to_string(t) + " , 0x";
        char hex[16];
        text.append(hex, static_cast<std::size_t>(text::PutHex(hex, id) - hex));
        text += " , 1 , " + std::string(t < 32 ? "0" : "2") + " , 0 , 0 , 0, 0 \n";
    }
    text += "EventsCount= " + std::to_string(samples) + "\n";
    std::uint32_t x = 2463534242u;
    char line[128];
    for (std::int64_t i = 0; i < samples; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        const unsigned t = x % 40;
        const unsigned id = t < 32 ? 1000 + t : t;
        char* p = line;
        *p++ = '0';
        *p++ = 'x';
        p = text::PutHex(p, id);
        p = std::copy_n(t < 32 ? ", 1; " : ", 3; ", 5, p);
        for (const std::uint32_t v : {x % 200000, x >> 12, x % 5000, (x >> 20) % 700, x}) {
            p = text::PutUnsigned(p, v);
            p = std::copy_n(" , ", 3, p);
        }
        p[-3] = '\n';
        text.append(line, static_cast<std::size_t>(p - 2 - line));
        if (text.size() > (std::size_t{1} << 20)) {
            std::fwrite(text.data(), 1, text.size(), file);
            text.clear();
        }
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return path;
}

void BM_ViewLoadEventLoopStall(benchmark::State& state) {
    bench::BenchApplication();

    std::int64_t samples = state.range(0);
    if (const char* count = std::getenv("ZUTA_VIEW_LOAD_SAMPLES"))
        samples = std::max<std::int64_t>(1, std::atoll(count));
    const std::string path = WriteSession(samples);
    if (path.empty()) {
        state.SkipWithError("cannot write the session file");
        return;
    }
    const std::string savedPath = path + ".saved.zuta";
    qint64 longestGap = 0;
    double loadSeconds = 0;
    double saveSeconds = 0;
    for (auto _ : state) {
        bench::QuietHost host;
        auto* document = new performance::CPerformanceDoc();
        document->OnNewDocument();
        auto* frame = new performance::CPerformanceFrame(document);
        auto* view = new performance::CPerformanceView(frame, &host);
        frame->SetView(view);
        frame->Create(host);
        view->OnInitialUpdate();
        frame->show();
        QApplication::processEvents();

        QElapsedTimer sinceTick;
        QTimer probe;
        probe.setInterval(1);
        QObject::connect(&probe, &QTimer::timeout,
                         [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
        // Into an empty window, then again over the collection the first load left.
        for (int pass = 0; pass < 2; ++pass) {
            QElapsedTimer load;
            load.start();
            sinceTick.start();
            probe.start();
            const bool opened = view->OpenDataFile(path);
            // The tick after the command: the gap includes putting the rows in place.
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            probe.stop();
            loadSeconds = std::max(loadSeconds, static_cast<double>(load.elapsed()) / 1000.0);
            if (!opened || view->rowCount() != 40)
                state.SkipWithError("the session did not load");
        }
        host.fileAnswer = savedPath;
        QElapsedTimer save;
        save.start();
        sinceTick.start();
        probe.start();
        view->OnSaveData();
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        probe.stop();
        saveSeconds = static_cast<double>(save.elapsed()) / 1000.0;
        std::error_code unsaved;
        if (std::filesystem::file_size(savedPath, unsaved) == 0 || unsaved)
            state.SkipWithError("the session was not saved");
        delete frame;
    }
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::filesystem::remove(savedPath, ec);
    state.counters["max_stall_ms"] = static_cast<double>(longestGap);
    state.counters["samples"] = static_cast<double>(samples);
    state.counters["load_s"] = loadSeconds;
    state.counters["save_s"] = saveSeconds;
}

} // namespace

BENCHMARK(BM_ViewLoadEventLoopStall)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);
