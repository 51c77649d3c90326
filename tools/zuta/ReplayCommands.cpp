#include "Commands.h"
#include "Session.h"
#include "StoreJson.h"
#include "TablePrinter.h"
#include "engine/PerformanceData.h"

#include <cstdio>
#include <iostream>
#include <memory>

namespace zuta::cli {

namespace {

struct ReplayOptions {
    std::string input;
    std::string output;
    bool json = false;
    StoreOptions store;
};

void Run(const ReplayOptions& options, bool forceJson) {
    Session session(options.store);
    std::string error;
    if (!session.LoadInput(options.input, error))
        Fail(error, kExitBadInput);
    ReportDamage(session);
    if (!options.output.empty()) {
        // An empty collection does not replace what the output held.
        if (session.data().Read([](const StoreState& s) { return s.samples.size(); }) == 0)
            Fail("'" + options.input + "' yielded no sample; '" + options.output +
                     "' was not written",
                 kExitNoData);
        if (!session.collection().Save(options.output, error))
            Fail("cannot save '" + options.output + "': " + error, kExitCannotWrite);
    }
    if (options.json || forceJson)
        std::cout << StoreToJson(session).dump(2, ' ', false,
                                               nlohmann::json::error_handler_t::replace)
                  << '\n';
    else
        PrintCollectionTable(session);
}

} // namespace

void RegisterReplayCommands(CLI::App& app) {
    auto replay = std::make_shared<ReplayOptions>();
    CLI::App* r = app.add_subcommand(
        "replay", "Feed a capture into a fresh store as the live links would, then print the "
                  "task table");
    r->add_option("CAPTURE", replay->input, "Capture file (.zcap)")
        ->required()
        ->check(CLI::ExistingFile);
    r->add_option("-o,--output", replay->output, "Write the collection as a session file");
    r->add_flag("--json", replay->json,
                "Print the whole store as JSON instead of the table; bytes of names that are not "
                "UTF-8 are written as U+FFFD");
    AddStoreOptions(*r, replay->store);
    r->callback([replay] { Run(*replay, false); });

    auto dump = std::make_shared<ReplayOptions>();
    CLI::App* d = app.add_subcommand("dump", "Print the store after a replay or load as JSON");
    d->add_option("FILE", dump->input, "Capture (.zcap), session file (.zuta) or raw log (.log)")
        ->required()
        ->check(CLI::ExistingFile);
    d->add_flag("--json", dump->json,
                "JSON output (the only format); bytes of names that are not UTF-8 are written as "
                "U+FFFD");
    AddStoreOptions(*d, dump->store);
    d->callback([dump] { Run(*dump, true); });
}

} // namespace zuta::cli
