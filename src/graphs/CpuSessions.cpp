#include "graphs/CpuSessions.h"

#include "host/TextNumbers.h"
#include "settings/PerformanceSettings.h"

#include <algorithm>

namespace zuta::graphs {

double TicksPerMicrosecond(const PerformanceSettings& settings) {
    if (settings.externalTsMode)
        return 10000.0;
    return settings.armClockMhz == 0.0f ? 208.0 : static_cast<double>(settings.armClockMhz);
}

SessionBuild BuildCpuSessions(std::span<const GraphSample> samples, std::uint32_t maskId,
                              std::uint32_t idleId, double ticksPerMicrosecond,
                              CpuSessionSet& out) {
    out.sessions.clear();
    out.bookmarks.clear();
    out.timeSequence.clear();
    out.max = {0, 0};
    out.min = {0xffffffffu, 0};
    if (samples.empty())
        return SessionBuild::NoSamples;
    if (idleId == 0)
        return SessionBuild::NoIdleTask;

    std::uint32_t total = 0;
    std::uint32_t idle = 0;
    std::uint32_t mask = 0;
    std::uint32_t start = 0;
    std::uint32_t lastTask = 0;
    std::uint32_t switches = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const GraphSample& s = samples[i];
        if (s.kind == kSampleUserEvent) {
            std::string& name = out.bookmarkNames[s.id];
            if (name.empty())
                name = "0x" + text::FormatHex(s.id);
            out.bookmarks[static_cast<std::uint32_t>(out.sessions.size())].push_back(
                {s.id, s.value0, lastTask, switches});
            continue;
        }
        if (s.kind == kSampleFunctionEntry || s.kind == kSampleFunctionExit)
            continue;
        if (s.id == idleId)
            idle += s.ticks;
        if (s.id == maskId) {
            mask += s.ticks;
            std::uint32_t cpu = 0;
            // The idle share can exceed the whole only when the idle task closes the sessions
            // itself; the load is then 0, not a wrapped-around figure.
            if (total != 0)
                cpu = static_cast<std::uint32_t>(
                    std::clamp(100.0 - static_cast<double>(idle) / total * 100.0, 0.0, 100.0));
            const auto number = static_cast<std::uint32_t>(out.sessions.size());
            out.sessions.push_back({cpu, total, idle, mask, start, static_cast<std::uint32_t>(i)});
            out.timeSequence.push_back(
                {number, static_cast<float>(static_cast<double>(total) / ticksPerMicrosecond)});
            if (cpu > out.max.cpuPercent)
                out.max = {cpu, number};
            if (cpu < out.min.cpuPercent)
                out.min = {cpu, number};
            total = idle = mask = 0;
            start = static_cast<std::uint32_t>(i);
        }
        // The mask-event run itself opens the next session.
        lastTask = s.id;
        total += s.ticks;
        ++switches;
    }
    return SessionBuild::Built;
}

std::optional<std::size_t> ChooseMaskEvent(std::span<const std::string> activeNames,
                                           std::string_view setting) {
    std::optional<std::size_t> frame;
    std::optional<std::size_t> backup;
    for (std::size_t i = 0; i < activeNames.size(); ++i) {
        const std::string& name = activeNames[i];
        if (!setting.empty() && name == setting)
            return i;
        if (!frame && (name == "FrameInt" || name == "IRQ4"))
            frame = i;
        if (name == "Tmr3BkUp" || name == "IRQ66")
            backup = i;
    }
    return frame ? frame : backup;
}

void SessionPaging::SetSessionCount(std::uint32_t count) {
    count_ = count;
    page_ = 0;
    if (allShown_)
        perPage_ = std::max<std::uint32_t>(count_, 1);
}

std::uint32_t SessionPaging::firstSession() const {
    std::uint32_t first = page_ * perPage_;
    if (first > count_ && page_ > 0)
        first = (page_ - 1) * perPage_;
    return first;
}

std::uint32_t SessionPaging::sessionsShown() const {
    const std::uint32_t first = firstSession();
    return first >= count_ ? 0 : std::min(perPage_, count_ - first);
}

void SessionPaging::Fewer() {
    // Below one step the page keeps its size: it never shrinks to nothing.
    if (perPage_ > kStep)
        perPage_ -= kStep;
    page_ = std::min(page_, pageCount());
}

void SessionPaging::More() {
    perPage_ = std::max(perPage_, std::min(perPage_ + kStep, count_));
    page_ = std::min(page_, pageCount());
}

void SessionPaging::ToggleAll() {
    allShown_ = !allShown_;
    perPage_ = allShown_ ? std::max<std::uint32_t>(count_, 1) : kDefaultPerPage;
    page_ = 0;
}

bool SessionPaging::PageBack() {
    if (page_ < 1)
        return false;
    --page_;
    return true;
}

bool SessionPaging::PageOn() {
    if (page_ >= pageCount())
        return false;
    ++page_;
    return true;
}

bool SessionPaging::MoveTo(std::uint32_t page) {
    if (page >= pageCount())
        return false;
    page_ = page;
    return true;
}

void SessionPaging::ShowSession(std::uint32_t session) {
    page_ = session / perPage_;
}

std::optional<SessionHit> FindTaskRun(const CpuSessionSet& set,
                                      std::span<const GraphSample> samples, std::uint32_t taskId,
                                      std::uint32_t fromSession, std::uint32_t afterSample) {
    for (std::size_t n = fromSession; n < set.sessions.size(); ++n) {
        const CpuSession& session = set.sessions[n];
        const std::size_t end = std::min<std::size_t>(session.endSample, samples.size());
        for (std::size_t i = std::max<std::size_t>(session.firstSample, afterSample + 1u); i < end;
             ++i) {
            if (samples[i].id == taskId)
                return SessionHit{static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(i)};
        }
    }
    return std::nullopt;
}

std::optional<SessionHit> FindLongRun(const CpuSessionSet& set,
                                      std::span<const GraphSample> samples,
                                      double thresholdMicroseconds, double ticksPerMicrosecond,
                                      std::uint32_t fromSession, std::uint32_t selectedSample,
                                      bool forward) {
    const auto longEnough = [&](std::size_t i) {
        return samples[i].ticks / ticksPerMicrosecond >= thresholdMicroseconds;
    };
    if (forward) {
        for (std::size_t n = fromSession; n < set.sessions.size(); ++n) {
            const CpuSession& session = set.sessions[n];
            const std::size_t end = std::min<std::size_t>(session.endSample, samples.size());
            for (std::size_t i = std::max<std::size_t>(session.firstSample, selectedSample + 1u);
                 i < end; ++i) {
                if (longEnough(i))
                    return SessionHit{static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(i)};
            }
        }
        return std::nullopt;
    }
    if (set.sessions.empty())
        return std::nullopt;
    for (std::size_t n = std::min<std::size_t>(fromSession, set.sessions.size() - 1) + 1;
         n-- > 0;) {
        const CpuSession& session = set.sessions[n];
        const std::size_t end = std::min<std::size_t>(
            {session.endSample, samples.size(), static_cast<std::size_t>(selectedSample)});
        for (std::size_t i = end; i-- > session.firstSample;) {
            if (longEnough(i))
                return SessionHit{static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(i)};
        }
    }
    return std::nullopt;
}

std::optional<BookmarkFound> FindBookmark(const CpuSessionSet& set, std::uint32_t id,
                                          std::uint32_t session, std::uint32_t position,
                                          bool forward) {
    // Bookmarks after the last session belong to no session that could be shown.
    const auto sessionCount = static_cast<std::uint32_t>(set.sessions.size());
    const auto inList = [id](std::uint32_t key, const std::vector<BookmarkHit>& list,
                             std::size_t i) -> std::optional<BookmarkFound> {
        if (list[i].id != id)
            return std::nullopt;
        return BookmarkFound{key, static_cast<std::uint32_t>(i), &list[i]};
    };
    const auto own = set.bookmarks.find(session);
    if (forward) {
        if (own != set.bookmarks.end() && own->second.size() > std::size_t{position} + 1) {
            for (std::size_t i = std::size_t{position} + 1; i < own->second.size(); ++i)
                if (auto found = inList(session, own->second, i))
                    return found;
            return std::nullopt;
        }
        for (auto it = set.bookmarks.upper_bound(session);
             it != set.bookmarks.end() && it->first < sessionCount; ++it)
            for (std::size_t i = 0; i < it->second.size(); ++i)
                if (auto found = inList(it->first, it->second, i))
                    return found;
        return std::nullopt;
    }
    if (session == 0)
        return std::nullopt;
    if (position > 0 && own != set.bookmarks.end()) {
        for (std::size_t i = std::min<std::size_t>(position, own->second.size()); i-- > 0;)
            if (auto found = inList(session, own->second, i))
                return found;
        return std::nullopt;
    }
    for (auto it = std::make_reverse_iterator(set.bookmarks.lower_bound(session));
         it != set.bookmarks.rend(); ++it)
        for (std::size_t i = it->second.size(); i-- > 0;)
            if (auto found = inList(it->first, it->second, i))
                return found;
    return std::nullopt;
}

std::size_t BookmarkRank(const CpuSessionSet& set, const BookmarkFound& found) {
    std::size_t rank = found.position;
    for (auto it = set.bookmarks.begin(); it != set.bookmarks.end() && it->first < found.session;
         ++it)
        rank += it->second.size();
    return rank;
}

} // namespace zuta::graphs
