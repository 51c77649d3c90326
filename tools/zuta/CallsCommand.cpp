// zuta calls: the function calls of a collection as the function call graph builds them.

#include "Commands.h"
#include "Session.h"
#include "engine/PerformanceData.h"
#include "graphs/CpuSessions.h"
#include "graphs/FunctionCalls.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace zuta::cli {

namespace {

struct CallsOptions {
    std::string input;
    bool json = false;
    StoreOptions store;
};

// Keys in the order the calls are described, positions as 64-bit numbers.
nlohmann::ordered_json CallsJson(const graphs::FunctionCallSet& set, double divisor) {
    using nlohmann::ordered_json;
    ordered_json calls = ordered_json::array();
    for (const graphs::FunctionCall& c : set.calls)
        calls.push_back({{"function", c.function},
                         {"context", c.context},
                         {"depth", c.depth},
                         {"start", c.start},
                         {"end", c.end},
                         {"startAbs", c.startAbs},
                         {"endAbs", c.endAbs},
                         {"positionInTask", c.positionInTask},
                         {"runTime", c.runTime},
                         {"switches", c.switches},
                         {"switchTicks", c.switchTicks},
                         {"enterIndex", c.enterIndex},
                         {"exitIndex", c.exitIndex}});
    return {{"maxDepth", set.maxDepth}, {"divisor", divisor}, {"calls", std::move(calls)}};
}

void Run(const CallsOptions& options) {
    Session session(options.store);
    std::string error;
    if (!session.LoadInput(options.input, error))
        Fail(error, kExitBadInput);
    std::vector<GraphSample> samples;
    session.data().BuildGraphSamples(samples, true);
    const graphs::FunctionCallSet set = graphs::BuildFunctionCalls(samples);
    std::cout << CallsJson(set, graphs::TicksPerMicrosecond(session.settings()))
                     .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << '\n';
}

} // namespace

void RegisterCallsCommand(CLI::App& app) {
    auto options = std::make_shared<CallsOptions>();
    CLI::App* c = app.add_subcommand(
        "calls", "List the function calls of a collection as the function call graph builds "
                 "them, as JSON");
    c->add_option("FILE", options->input, "Capture (.zcap), session file (.zuta) or raw log (.log)")
        ->required()
        ->check(CLI::ExistingFile);
    c->add_flag("--json", options->json, "JSON output (the only format)");
    AddStoreOptions(*c, options->store);
    c->footer(
        "Output: {\"maxDepth\", \"divisor\" (ticks per microsecond), \"calls\": [{\"function\", "
        "\"context\", \"depth\", \"start\", \"end\", \"startAbs\", \"endAbs\", "
        "\"positionInTask\", \"runTime\", \"switches\", \"switchTicks\", \"enterIndex\", "
        "\"exitIndex\"}]}, positions in ticks, indices into the collection's graph samples "
        "with function events. A file without function events gives an empty \"calls\" "
        "list and status 0.");
    c->callback([options] { Run(*options); });
}

} // namespace zuta::cli
