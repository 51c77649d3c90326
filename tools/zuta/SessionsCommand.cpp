#include "Commands.h"
#include "Session.h"
#include "SessionModel.h"
#include "graphs/CpuSessions.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace zuta::cli {

namespace {

struct SessionsOptions {
    std::string input;
    std::string mask;
    bool json = false;
    StoreOptions store;
};

nlohmann::json SessionsJson(const MaskTask& mask, std::uint32_t idleId, double divisor,
                            const graphs::CpuSessionSet& set) {
    using nlohmann::json;
    json sessions = json::array();
    for (const graphs::CpuSession& s : set.sessions)
        sessions.push_back({{"cpuPercent", s.cpuPercent},
                            {"totalTicks", s.totalTicks},
                            {"idleTicks", s.idleTicks},
                            {"maskTicks", s.maskTicks},
                            {"firstSample", s.firstSample},
                            {"endSample", s.endSample}});
    const auto extreme = [&set](const graphs::SessionExtreme& e) {
        return set.sessions.empty() ? json(nullptr)
                                    : json{{"cpuPercent", e.cpuPercent}, {"session", e.session}};
    };
    json bookmarks = json::array();
    for (const auto& [key, hits] : set.bookmarks)
        for (const graphs::BookmarkHit& hit : hits)
            bookmarks.push_back({{"session", key},
                                 {"id", hit.id},
                                 {"data", hit.data},
                                 {"parentTask", hit.parentTask},
                                 {"switchCount", hit.switchCount}});
    json times = json::array();
    for (const graphs::TimeSequenceEntry& entry : set.timeSequence)
        times.push_back({{"session", entry.session}, {"microseconds", entry.microseconds}});
    return {{"maskTask", mask.name},
            {"maskId", mask.id},
            {"idleTaskId", idleId},
            {"divisor", divisor},
            {"sessions", std::move(sessions)},
            {"max", extreme(set.max)},
            {"min", extreme(set.min)},
            {"bookmarks", std::move(bookmarks)},
            {"timeSequence", std::move(times)}};
}

void Run(const SessionsOptions& options) {
    Session session(options.store);
    SessionModel model = LoadSamples(session, options.input, kExitBadInput);
    std::string error;
    switch (CutSessions(session, options.input, options.mask, model, error)) {
    case SessionCut::NoIdleTask:
        std::cerr << "No Idle Task found\n";
        throw CLI::RuntimeError(kExitBadInput);
    case SessionCut::NoMaskTask:
        Fail(error, kExitBadInput);
    case SessionCut::Cut:
        break;
    }
    std::cout << SessionsJson(model.mask, model.idleId, model.divisor, model.sessions)
                     .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
              << '\n';
}

} // namespace

void RegisterSessionsCommand(CLI::App& app) {
    auto options = std::make_shared<SessionsOptions>();
    CLI::App* s = app.add_subcommand(
        "sessions", "Cut the collection into CPU-usage sessions as the CPU graph does, as JSON");
    s->add_option("FILE", options->input, "Capture (.zcap), session file (.zuta) or raw log (.log)")
        ->required()
        ->check(CLI::ExistingFile);
    s->add_option("--mask", options->mask,
                  "Task whose runs close the sessions (default: the setting \"Mask Event\", then "
                  "FrameInt/IRQ4, then Tmr3BkUp/IRQ66)");
    s->add_flag("--json", options->json, "JSON output (the only format)");
    AddStoreOptions(*s, options->store);
    s->callback([options] { Run(*options); });
}

} // namespace zuta::cli
