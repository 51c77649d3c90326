// Pictures of the module's windows for the host's offscreen rendering.

#include "Performance/ViewRender.h"

#include "Performance/PerformanceControlBar.h"
#include "Performance/PerformanceExports.h"
#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceManager.h"
#include "Performance/PerformanceView.h"
#include "Performance/ViewWindows.h"
#include "collection/CollectionSession.h"
#include "host/AtomicFile.h"

#include <QApplication>
#include <QBuffer>
#include <QPixmap>
#include <QPointer>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

namespace zuta::performance {

namespace {

struct NamedRenderer {
    std::string_view name;
    WindowRenderer render;
};

// Windows whose pictures take options.
constexpr NamedRenderer kRenderers[] = {
    {"task-graph", RenderTaskGraph},      {"function-graph", RenderFunctionGraph},
    {"cpu-graph", RenderCpuGraph},        {"pie", RenderSessionPie},
    {"distribution", RenderDistribution},
};

// Posted events (layouts, the first paint, deferred work) need a few rounds.
void Settle() {
    for (int round = 0; round < 10; ++round) {
        QApplication::sendPostedEvents();
        QApplication::processEvents();
    }
}

bool OpenFileToShow(CPerformanceView& view, const std::string& path, std::string& error) {
    if (DataFileKindOf(path) != DataFileKind::Capture) {
        if (view.OpenDataFile(path))
            return true;
        error = "cannot open " + path;
        return false;
    }
    return view.session()->Open(path, error);
}

bool WritePng(QWidget& window, const std::string& path, std::string& error) {
    const QPixmap picture = window.grab();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (picture.isNull() || !picture.save(&buffer, "PNG")) {
        error = "cannot picture the window";
        return false;
    }
    host::AtomicFileWriter file;
    return file.Open(path, error) &&
           file.Write(
               std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) &&
           file.Commit(error);
}

} // namespace

bool RenderOptions::Parse(std::string_view text, std::string& error) {
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty())
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0) {
            error = "option '" + std::string(line) + "' is not key=value";
            return false;
        }
        values_[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
    }
    return true;
}

std::string RenderOptions::Text(const std::string& key) const {
    const auto found = values_.find(key);
    return found != values_.end() ? found->second : std::string();
}

bool RenderOptions::Number(const std::string& key, std::size_t& value, std::string& error) const {
    const std::string text = Text(key);
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc() || end != text.data() + text.size() || text.empty()) {
        error = "option " + key + " must be a whole number, not '" + text + "'";
        return false;
    }
    return true;
}

bool RenderOptions::Flag(const std::string& key) const {
    const std::string text = Text(key);
    return Has(key) && (text.empty() || text == "1" || text == "true");
}

bool RenderOptions::OnlyKnown(std::initializer_list<std::string_view> known,
                              std::string& error) const {
    for (const auto& [key, value] : values_) {
        if (std::find(known.begin(), known.end(), key) == known.end()) {
            error = "unknown option " + key;
            return false;
        }
    }
    return true;
}

RenderStatus RenderViewWindow(CPerformanceView& view, std::string_view name,
                              std::string_view optionText, const std::string& pngPath,
                              std::string& error) {
    RenderOptions options;
    if (!options.Parse(optionText, error))
        return RenderStatus::Usage;
    const auto* renderer = std::find_if(std::begin(kRenderers), std::end(kRenderers),
                                        [name](const NamedRenderer& r) { return r.name == name; });
    const ViewWindow* plain = FindViewWindow(name);
    if (renderer == std::end(kRenderers) && plain == nullptr) {
        error = "no window named " + std::string(name);
        return RenderStatus::Usage;
    }
    if (view.session() == nullptr) {
        error = "the view has no collection";
        return RenderStatus::BadInput;
    }
    if (options.Has("file") && !OpenFileToShow(view, options.Text("file"), error))
        return RenderStatus::BadInput;
    Settle();
    RenderStatus status = RenderStatus::Ok;
    QPointer<QWidget> window;
    if (renderer != std::end(kRenderers)) {
        window = renderer->render(view, options, status, error);
    } else if (options.OnlyKnown({"file"}, error)) {
        window = plain->open(view);
    } else {
        status = RenderStatus::Usage;
    }
    if (window == nullptr) {
        if (status == RenderStatus::Ok) {
            status = RenderStatus::CannotWrite;
            error = "the window " + std::string(name) + " did not open";
        }
        return status;
    }
    Settle();
    const bool written = WritePng(*window, pngPath, error);
    if (window != nullptr)
        window->close();
    return written ? RenderStatus::Ok : RenderStatus::CannotWrite;
}

} // namespace zuta::performance

int RenderWindow(const char* name, const char* options, const char* pngPath, char* message,
                 unsigned messageSize) {
    using zuta::performance::RenderStatus;
    std::string error;
    RenderStatus status = RenderStatus::CannotWrite;
    auto* manager = zuta::performance::CPerformanceManager::Instance();
    zuta::performance::CPerformanceView* view =
        manager != nullptr && manager->frame != nullptr ? manager->frame->view() : nullptr;
    if (view == nullptr)
        error = "no module window is open";
    else
        status = zuta::performance::RenderViewWindow(*view, name, options, pngPath, error);
    if (message != nullptr && messageSize > 0) {
        const std::size_t length = std::min<std::size_t>(error.size(), messageSize - 1);
        std::memcpy(message, error.data(), length);
        message[length] = '\0';
    }
    return static_cast<int>(status);
}
