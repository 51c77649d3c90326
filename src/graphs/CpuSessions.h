#pragma once

#include "engine/Records.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zuta {
struct PerformanceSettings;
}

namespace zuta::graphs {

// Sample kinds as the graph samples carry them; every other kind is a task or HISR switch.
inline constexpr std::uint32_t kSampleUserEvent = 2;
inline constexpr std::uint32_t kSampleInterrupt = 3;
inline constexpr std::uint32_t kSampleFunctionEntry = 4;
inline constexpr std::uint32_t kSampleFunctionExit = 5;

// One CPU-usage period: the samples between two runs of the mask-event task.
struct CpuSession {
    std::uint32_t cpuPercent = 0;
    std::uint32_t totalTicks = 0; // switch and interrupt samples counted in the session
    std::uint32_t idleTicks = 0;
    std::uint32_t maskTicks = 0;   // the mask-event run that closed the session
    std::uint32_t firstSample = 0; // the mask-event sample that opened it (0 for the first)
    std::uint32_t endSample = 0;   // the mask-event sample that closed it (exclusive end)

    bool operator==(const CpuSession&) const = default;
};

// A user event (bookmark) met while a session was being collected.
struct BookmarkHit {
    std::uint32_t id = 0;
    std::uint32_t data = 0;
    std::uint32_t parentTask = 0;  // the switch sample before it
    std::uint32_t switchCount = 0; // switch and interrupt samples counted before it

    bool operator==(const BookmarkHit&) const = default;
};

// A session's duration, for the time-sequence list.
struct TimeSequenceEntry {
    std::uint32_t session = 0;
    float microseconds = 0.0f;
};

// The load and number of the busiest or idlest session.
struct SessionExtreme {
    std::uint32_t cpuPercent = 0;
    std::uint32_t session = 0;
};

// Everything one pass over the samples yields.
struct CpuSessionSet {
    std::vector<CpuSession> sessions;
    // Bookmarks by the number of the session being collected when they came (samples after the
    // last mask-event run keep the number the next session would have had).
    std::map<std::uint32_t, std::vector<BookmarkHit>> bookmarks;
    std::map<std::uint32_t, std::string> bookmarkNames;
    std::vector<TimeSequenceEntry> timeSequence;
    // The first session wins ties; meaningless while `sessions` is empty.
    SessionExtreme max{0, 0};
    SessionExtreme min{0xffffffffu, 0};
};

enum class SessionBuild { Built, NoSamples, NoIdleTask };

// Ticks per microsecond: 10000 with an external time stamp, else the clock in MHz (208 when
// the clock is not set).
double TicksPerMicrosecond(const PerformanceSettings& settings);

// Cuts `samples` (built without function events) into sessions closed by the runs of `maskId`.
// `out` is replaced; bookmark names already in it are kept.
SessionBuild BuildCpuSessions(std::span<const GraphSample> samples, std::uint32_t maskId,
                              std::uint32_t idleId, double ticksPerMicrosecond, CpuSessionSet& out);

// Which of `activeNames` (tasks that ran, in list order) closes the sessions: the one named by
// the setting wins, then the first frame interrupt, then the last timer backup interrupt.
// Nothing when no name matches.
std::optional<std::size_t> ChooseMaskEvent(std::span<const std::string> activeNames,
                                           std::string_view setting);

// Sessions per page and the page shown, with the chart's zoom buttons.
class SessionPaging {
public:
    static constexpr std::uint32_t kDefaultPerPage = 150;
    static constexpr std::uint32_t kStep = 50;

    void SetSessionCount(std::uint32_t count);
    std::uint32_t sessionCount() const { return count_; }
    std::uint32_t perPage() const { return perPage_; }
    std::uint32_t page() const { return page_; }
    // The last scroll position: sessions / per page.
    std::uint32_t pageCount() const { return count_ / perPage_; }
    // The first session of the page shown and how many it holds.
    std::uint32_t firstSession() const;
    std::uint32_t sessionsShown() const;

    // "-", "+", "o": each returns to page 0.
    void Fewer();
    void More();
    void ToggleAll();
    // Scroll bar: one page back or on, or to a position; false when nothing moved.
    bool PageBack();
    bool PageOn();
    bool MoveTo(std::uint32_t page);
    // Shows the page that holds `session`.
    void ShowSession(std::uint32_t session);

private:
    std::uint32_t count_ = 0;
    std::uint32_t perPage_ = kDefaultPerPage;
    std::uint32_t page_ = 0;
    bool allShown_ = false;
};

// A sample found by a search, with the session that holds it.
struct SessionHit {
    std::uint32_t session = 0;
    std::uint32_t sample = 0;

    bool operator==(const SessionHit&) const = default;
};

// The next run of `taskId` after sample `afterSample`, from session `fromSession` on.
std::optional<SessionHit> FindTaskRun(const CpuSessionSet& set,
                                      std::span<const GraphSample> samples, std::uint32_t taskId,
                                      std::uint32_t fromSession, std::uint32_t afterSample);

// The next (forward) or previous sample that ran at least `thresholdMicroseconds`, searched
// from session `fromSession` on or back, past sample `selectedSample`.
std::optional<SessionHit> FindLongRun(const CpuSessionSet& set,
                                      std::span<const GraphSample> samples,
                                      double thresholdMicroseconds, double ticksPerMicrosecond,
                                      std::uint32_t fromSession, std::uint32_t selectedSample,
                                      bool forward);

// A bookmark found by the bookmark search: its session and its place in that session's list.
struct BookmarkFound {
    std::uint32_t session = 0;
    std::uint32_t position = 0;
    const BookmarkHit* hit = nullptr;
};

// The next or previous occurrence of bookmark `id`, from the `position`-th bookmark of
// `session`.
std::optional<BookmarkFound> FindBookmark(const CpuSessionSet& set, std::uint32_t id,
                                          std::uint32_t session, std::uint32_t position,
                                          bool forward);
// How many bookmarks came before a found one. The hits are filed in sample order, so this is the
// bookmark's rank among the user-event samples.
std::size_t BookmarkRank(const CpuSessionSet& set, const BookmarkFound& found);

} // namespace zuta::graphs
