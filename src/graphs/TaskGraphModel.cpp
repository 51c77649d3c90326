#include "graphs/TaskGraphModel.h"

#include "engine/PerformanceData.h"
#include "engine/WireFormat.h"
#include "host/TextNumbers.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace zuta::graphs {

namespace {

constexpr std::uint32_t kUserEvent = static_cast<std::uint32_t>(RecordKind::UserEvent);
constexpr std::uint32_t kIrqSwitch = static_cast<std::uint32_t>(RecordKind::IrqSwitch);
constexpr std::uint32_t kFunctionEnter = static_cast<std::uint32_t>(RecordKind::FunctionEnter);
constexpr std::uint32_t kFunctionExit = static_cast<std::uint32_t>(RecordKind::FunctionExit);

std::string HexText(std::uint32_t value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    return "0x" + std::string(digits, end);
}

std::string Ratio(std::uint64_t numerator, std::uint32_t denominator) {
    const double ratio =
        denominator == 0 ? 0.0 : static_cast<double>(numerator) / static_cast<double>(denominator);
    return text::FormatFixed(ratio, 2);
}

} // namespace

// The samples shown, read under the store's shared lock: offline the store's list itself (up to
// the number stored when the graph opened, or fewer when the store was emptied since), live the
// copy of the newest samples.
struct TaskGraphModel::Samples {
    const StoreState& state;
    const SampleList* list = nullptr;
    const std::vector<GraphSample>* copy = nullptr;
    std::size_t count = 0;

    std::uint32_t KindAt(std::size_t i) const { return list ? (*list)[i].kind : (*copy)[i].kind; }

    // The graph sample the store would build at this index: a run folds in the counters and
    // ticks of the function events that follow it.
    GraphSample At(std::size_t i) const {
        if (copy != nullptr)
            return (*copy)[i];
        const SampleRecord& s = (*list)[i];
        GraphSample g{1, s.id, s.value0, s.value1, s.value2, s.value3, s.ticks, s.kind};
        if (IsSwitch(s.kind)) {
            for (std::size_t j = i + 1; j < count && IsFunctionEvent((*list)[j].kind); ++j) {
                const SampleRecord& f = (*list)[j];
                g.value0 += f.value0;
                g.value1 += f.value1;
                g.value2 += f.value2;
                g.value3 += f.value3;
                g.ticks += f.ticks;
            }
        } else if (s.kind == kUserEvent) {
            g.id -= wire::kUserEventIdBase;
        } else if (IsFunctionEvent(s.kind)) {
            g.id -= wire::kFunctionIdBase;
        }
        return g;
    }

    // The name of a task, IRQ or (identifier + 5000) function; empty when unknown.
    std::string Name(std::uint32_t id) const {
        const TaskRecord* task = state.Find(id);
        return task != nullptr ? task->name : std::string();
    }
};

template <class F> decltype(auto) TaskGraphModel::WithSamples(F&& f) const {
    return store_.Read([&](const StoreState& state) {
        if (options_.live)
            return f(Samples{state, nullptr, &recent_, recent_.size()});
        return f(Samples{state, &state.samples, nullptr, std::min(stored_, state.samples.size())});
    });
}

TaskGraphModel::TaskGraphModel(const CPerformanceData& store, const TaskGraphOptions& options,
                               const std::vector<std::string>& taskNames)
    : store_(store), options_(options) {
    if (!options_.live)
        stored_ = store_.Read([](const StoreState& state) { return state.samples.size(); });
    BuildFindNames(taskNames);
}

void TaskGraphModel::BuildFindNames(const std::vector<std::string>& taskNames) {
    if (!options_.rawLog) {
        for (const std::string& name : taskNames) {
            TaskRecord task;
            if (store_.GetTaskById(store_.GetTaskIdByName(name), task) && task.runs != 0)
                findNames_.push_back(name);
        }
        return;
    }
    // Each identifier is looked up once: a raw log repeats a few names millions of times.
    WithSamples([this](const Samples& samples) {
        std::set<std::uint32_t> seen;
        std::set<std::string> listed;
        for (std::size_t i = 0; i < samples.count; ++i) {
            const std::uint32_t kind = samples.KindAt(i);
            if (kind == kUserEvent)
                continue;
            const std::uint32_t id = samples.list ? (*samples.list)[i].id : (*samples.copy)[i].id;
            if (!seen.insert(id).second)
                continue;
            std::string name = samples.Name(id);
            if (listed.insert(name).second)
                findNames_.push_back(std::move(name));
        }
    });
}

std::size_t TaskGraphModel::sampleCount() const {
    return WithSamples([](const Samples& samples) { return samples.count; });
}

void TaskGraphModel::SetGraphRect(const Rect& graph) {
    graph_ = graph;
    ComputePage();
    const std::size_t count = sampleCount();
    const std::size_t perPage = std::max<std::size_t>(pageCount_, 1);
    scrollMax_ = options_.live || count == 0 ? 0 : (count - 1) / perPage;
    position_ = std::min(first_ / perPage, scrollMax_);
}

void TaskGraphModel::Refresh() {
    recent_.clear();
    // The fetch's count is what the graph shows: nothing at all while too few samples are stored.
    const std::uint32_t built = store_.BuildRecentGraphSamples(recent_, kLiveSamples);
    recent_.resize(built);
    first_ = 0;
    ComputePage();
}

void TaskGraphModel::ComputePage() {
    pageCount_ = 0;
    selected_ = 0;
    WithSamples([this](const Samples& samples) {
        int x = graph_.left + 1;
        const int limit = graph_.right - kPageRightMargin;
        for (std::size_t i = first_; i < samples.count; ++i) {
            const int width = samples.KindAt(i) == kUserEvent ? kPageEventStep : kPageTaskStep;
            if (x + width >= limit)
                break;
            x += width;
            ++pageCount_;
        }
    });
}

void TaskGraphModel::ShowPageAt(std::size_t first) {
    const std::size_t count = sampleCount();
    first_ = count == 0 ? 0 : std::min(first, count - 1);
    ComputePage();
}

std::string TaskGraphModel::RangeText() const {
    if (pageCount_ == 0)
        return {};
    return text::FormatUnsigned(first_) + " - " + text::FormatUnsigned(first_ + pageCount_ - 1);
}

int TaskGraphModel::RowOf(const GraphSample& sample, const Samples& samples) {
    if (sample.kind == kIrqSwitch)
        return kIrqRow;
    if (IsFunctionEvent(sample.kind))
        return kFunctionRow;
    const auto cached = rows_.find(sample.id);
    if (cached != rows_.end())
        return cached->second;
    // A switch of something that is neither task nor HISR shares the task row rather than
    // falling outside the graph.
    const TaskRecord* task = samples.state.Find(sample.id);
    const int row = task != nullptr && task->type == kTypeHisr ? kHisrRow : kTaskRow;
    rows_.emplace(sample.id, row);
    return row;
}

std::string TaskGraphModel::BoxTextOf(const GraphSample& sample, const Samples& samples) const {
    switch (sample.kind) {
    case kUserEvent:
        return text::FormatSigned(static_cast<std::int32_t>(sample.id));
    case kFunctionEnter:
        return "(" + samples.Name(sample.id + wire::kFunctionIdBase);
    case kFunctionExit:
        return samples.Name(sample.id + wire::kFunctionIdBase) + ")";
    default:
        return samples.Name(sample.id);
    }
}

std::vector<TaskGraphBox> TaskGraphModel::PageBoxes() {
    std::vector<TaskGraphBox> boxes;
    WithSamples([&](const Samples& samples) {
        const std::size_t end = std::min(first_ + pageCount_, samples.count);
        // A user event sits on the row of the box before it; one that opens the page takes the
        // row of the page's first other box (or the task row).
        int eventBottom = graph_.top + kTaskRow + kBoxHeight;
        for (std::size_t i = first_; i < end; ++i) {
            if (samples.KindAt(i) != kUserEvent) {
                eventBottom = graph_.top + RowOf(samples.At(i), samples) + kBoxHeight;
                break;
            }
        }
        int previousRight = graph_.left;
        for (std::size_t i = first_; i < end; ++i) {
            const GraphSample g = samples.At(i);
            TaskGraphBox box;
            if (g.kind == kUserEvent) {
                const int left = i == first_ ? graph_.left + 1 : previousRight;
                const int top = eventBottom - kEventAboveBottom;
                box.rect = {left, top, left + kEventBoxWidth, top + kBoxHeight};
                box.border = false;
            } else {
                const int left = previousRight + 1;
                const int top = graph_.top + RowOf(g, samples);
                box.rect = {left, top, left + kTaskBoxWidth, top + kBoxHeight};
                box.gradient = !IsFunctionEvent(g.kind);
                box.selected = i - first_ == selected_;
                eventBottom = box.rect.bottom;
            }
            previousRight = box.rect.right;
            box.colour = colours_.ColourOf(g.id);
            box.text = BoxTextOf(g, samples);
            boxes.push_back(std::move(box));
        }
    });
    return boxes;
}

int TaskGraphModel::HitTest(int x, int y) const {
    if (!graph_.contains(x, y))
        return -1;
    return WithSamples([&](const Samples& samples) {
        const std::size_t end = std::min(first_ + pageCount_, samples.count);
        int advanced = graph_.left + 1;
        for (std::size_t i = first_; i < end; ++i) {
            advanced += samples.KindAt(i) == kUserEvent ? kHitEventStep : kHitTaskStep;
            if (advanced >= x)
                return static_cast<int>(i - first_);
        }
        // Right of the page's last box: no box.
        return -1;
    });
}

std::string TaskGraphModel::BoxText(std::size_t box) const {
    return WithSamples([&](const Samples& samples) {
        const std::size_t index = first_ + box;
        return index < samples.count ? BoxTextOf(samples.At(index), samples) : std::string();
    });
}

std::string TaskGraphModel::MicrosecondsText(std::uint64_t ticks) const {
    double divisor = options_.externalTsMode ? 10000.0 : options_.armClockMhz;
    if (divisor == 0)
        divisor = 208.0;
    return text::FormatFixed(static_cast<double>(ticks) / divisor, 2) + " uSec";
}

std::vector<std::pair<std::string, std::string>> TaskGraphModel::Details(std::size_t index) const {
    std::vector<std::pair<std::string, std::string>> rows;
    WithSamples([&](const Samples& samples) {
        if (index >= samples.count)
            return;
        const GraphSample g = samples.At(index);
        const bool counters = !options_.simpleMode && !options_.rawLog;
        switch (g.kind) {
        case kUserEvent:
            rows.emplace_back("User Event ID", text::FormatSigned(static_cast<std::int32_t>(g.id)));
            if (counters)
                rows.emplace_back("User Event Data", HexText(g.value0));
            return;
        case kIrqSwitch:
            rows.emplace_back("IRQ Number", text::FormatSigned(static_cast<std::int32_t>(g.id)));
            rows.emplace_back("IRQ Name", samples.Name(g.id));
            rows.emplace_back("Run time", MicrosecondsText(g.ticks));
            break;
        case kFunctionEnter:
            rows.emplace_back("Enter Fn Name", samples.Name(g.id + wire::kFunctionIdBase));
            rows.emplace_back("Time Stamp delta", MicrosecondsText(g.ticks));
            break;
        case kFunctionExit:
            rows.emplace_back("Exit Fn Name", samples.Name(g.id + wire::kFunctionIdBase));
            rows.emplace_back("Run time", MicrosecondsText(g.ticks));
            break;
        default:
            rows.emplace_back("Task Name", samples.Name(g.id));
            rows.emplace_back("Run time", MicrosecondsText(g.ticks));
            break;
        }
        if (!counters)
            return;
        rows.emplace_back("I-cache Miss Rate", Ratio(g.value2, g.value0));
        rows.emplace_back("CPI", Ratio(g.ticks, g.value0));
        rows.emplace_back("Instruction count", text::FormatUnsigned(g.value0));
        rows.emplace_back("Access Duration", text::FormatUnsigned(g.value1));
        rows.emplace_back("Access Counter", text::FormatUnsigned(g.value2));
    });
    return rows;
}

std::vector<std::pair<std::string, std::string>> TaskGraphModel::SelectedDetails() const {
    return Details(first_ + selected_);
}

std::uint64_t TaskGraphModel::TicksBetween(std::size_t from, std::size_t to) const {
    return WithSamples([&](const Samples& samples) {
        std::uint64_t sum = 0;
        for (std::size_t i = from + 1; i < to && i < samples.count; ++i)
            sum += samples.At(i).ticks;
        return sum;
    });
}

std::string TaskGraphModel::Select(std::size_t box) {
    const std::size_t previous = first_ + selected_;
    const std::size_t chosen = first_ + box;
    const std::uint64_t ticks =
        TicksBetween(std::min(previous, chosen), std::max(previous, chosen));
    selected_ = box;
    return MicrosecondsText(ticks);
}

void TaskGraphModel::SelectSample(std::size_t index) {
    ShowPageAt(index - index % std::max<std::size_t>(pageCount_, 1));
    // A page of another density may end before the sample: then the page starts with it.
    if (index >= first_ + pageCount_)
        ShowPageAt(index);
    selected_ = index - first_;
    position_ = std::min(first_ / std::max<std::size_t>(pageCount_, 1), scrollMax_);
}

std::string TaskGraphModel::NextRun(std::size_t box) {
    const std::size_t from = first_ + box;
    std::size_t found = 0;
    const std::uint64_t ticks = WithSamples([&](const Samples& samples) -> std::uint64_t {
        if (from >= samples.count)
            return 0;
        const std::uint32_t id = samples.At(from).id;
        std::uint64_t sum = 0;
        for (std::size_t i = from + 1; i < samples.count; ++i) {
            const GraphSample g = samples.At(i);
            sum += g.ticks;
            if (g.id == id) {
                found = i;
                return sum;
            }
        }
        return 0;
    });
    if (found == 0)
        return {};
    SelectSample(found);
    return MicrosecondsText(ticks);
}

FindResult TaskGraphModel::Find(const std::string& name, std::string& timeDelta) {
    if (empty())
        return FindResult::NoSamples;
    std::uint32_t id = store_.GetTaskIdByName(name);
    if (options_.rawLog) {
        const std::uint32_t type = store_.GetTaskType(id);
        if (type == kTypeFunctionEnter || type == kTypeFunctionExit)
            id -= wire::kFunctionIdBase;
    }
    const std::size_t from = first_ + selected_;
    std::size_t found = 0;
    const std::uint64_t ticks = WithSamples([&](const Samples& samples) -> std::uint64_t {
        // Runs after the selection, plus the function events after the last of them.
        std::uint64_t runs = 0;
        std::uint64_t functions = 0;
        for (std::size_t i = from + 1; i < samples.count; ++i) {
            const GraphSample g = samples.At(i);
            if (IsFunctionEvent(g.kind)) {
                functions += g.ticks;
            } else {
                runs += g.ticks;
                functions = 0;
            }
            if (g.id == id) {
                found = i;
                return runs + functions;
            }
        }
        return 0;
    });
    if (found == 0)
        return FindResult::NotFound;
    SelectSample(found);
    timeDelta = MicrosecondsText(ticks);
    return FindResult::Found;
}

void TaskGraphModel::ShowFirstPage() {
    ShowPageAt(0);
    position_ = 0;
}

void TaskGraphModel::ShowLastPage() {
    ShowPageAt(std::max<std::size_t>(pageCount_, 1) * scrollMax_);
    position_ = scrollMax_;
}

void TaskGraphModel::ScrollLeft() {
    if (position_ == 0)
        return;
    const std::size_t page = position_ - 1;
    const std::size_t perPage = std::max<std::size_t>(pageCount_, 1);
    ShowPageAt(perPage * page);
    if (pageCount_ != perPage && pageCount_ != 0)
        ShowPageAt(pageCount_ * page);
    position_ = page;
}

void TaskGraphModel::ScrollRight() {
    if (position_ >= scrollMax_)
        return;
    ShowPageAt(std::max<std::size_t>(pageCount_, 1) * (position_ + 1));
    ++position_;
}

void TaskGraphModel::ScrollTo(std::size_t position) {
    if (position > scrollMax_)
        return;
    ShowPageAt(std::max<std::size_t>(pageCount_, 1) * position);
    position_ = position;
}

} // namespace zuta::graphs
