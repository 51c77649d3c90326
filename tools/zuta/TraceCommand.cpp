// zuta trace: the collection as a trace in the Trace Event Format, for trace viewers.

#include "Commands.h"
#include "Session.h"
#include "SessionModel.h"
#include "engine/PerformanceData.h"
#include "engine/WireFormat.h"
#include "graphs/FunctionCalls.h"
#include "graphs/TraceExport.h"
#include "host/AtomicFile.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zuta::cli {

namespace {

struct TraceOptions {
    std::string input;
    std::string output;
    std::string mask;
    StoreOptions store;
};

void Run(const TraceOptions& options) {
    Session session(options.store);
    SessionModel model = LoadSamples(session, options.input, kExitBadInput, true);

    // The load counter needs sessions; a trace without it is still worth writing, unless the
    // task named to close the sessions does not exist.
    std::string error;
    switch (CutSessions(session, options.input, options.mask, model, error)) {
    case SessionCut::NoIdleTask:
        std::cerr << "zuta: '" << options.input
                  << "' has no idle task; the trace has no CPU load\n";
        break;
    case SessionCut::NoMaskTask:
        if (!options.mask.empty())
            Fail(error, kExitBadInput);
        std::cerr << "zuta: " << error << "; the trace has no CPU load\n";
        break;
    case SessionCut::Cut:
        break;
    }

    std::vector<graphs::TraceThread> threads;
    std::map<std::uint32_t, std::string> functionNames;
    const CPerformanceData& data = session.data();
    TaskRecord record;
    for (std::size_t i = 0; data.GetTaskByIndex(i, record); ++i) {
        if (record.type == kTypeTask || record.type == kTypeHisr || record.type == kTypeIrq)
            threads.push_back({record.id, record.type, record.name});
        else if (record.id >= wire::kFunctionIdBase)
            functionNames.emplace(record.id - wire::kFunctionIdBase, record.name);
    }
    const graphs::FunctionCallSet calls = graphs::BuildFunctionCalls(model.samples);
    graphs::TraceInput input;
    input.samples = model.samples;
    input.threads = threads;
    input.functionNames = &functionNames;
    input.calls = calls.calls;
    input.sessions = model.sessions.sessions;
    input.ticksPerMicrosecond = model.divisor;

    if (IsStandardOutput(options.output)) {
        const bool written = graphs::WriteTrace(input, [](std::string_view text) {
            return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
        });
        if (!written || std::fflush(stdout) != 0)
            Fail("cannot write the trace to standard output", kExitCannotWrite);
        return;
    }
    host::AtomicFileWriter file;
    if (!file.Open(options.output, error))
        Fail(error, kExitCannotWrite);
    graphs::WriteTrace(input, [&file](std::string_view text) { return file.Write(text); });
    if (!file.Commit(error))
        Fail(error, kExitCannotWrite);
}

} // namespace

void RegisterTraceCommand(CLI::App& app) {
    auto options = std::make_shared<TraceOptions>();
    CLI::App* t = app.add_subcommand(
        "trace", "Write the collection in the Trace Event Format (JSON) for trace viewers");
    t->add_option("FILE", options->input, "Capture (.zcap), session file (.zuta) or raw log (.log)")
        ->required()
        ->check(CLI::ExistingFile);
    t->add_option("-o,--output", options->output, "Trace file (.json), - for standard output")
        ->required();
    t->add_option("--mask", options->mask,
                  "Task whose runs close the sessions of the CPU load counter (default: the "
                  "setting \"Mask Event\", then FrameInt/IRQ4, then Tmr3BkUp/IRQ66)");
    AddStoreOptions(*t, options->store);
    t->footer("Output: one process \"ZUTA target\" with a thread per task, HISR and IRQ; runs "
              "(\"cat\": \"run\") and the function calls inside them (\"cat\": \"function\") as "
              "complete events, user events as instants (\"cat\": \"event\"), the CPU load of "
              "each session as the counter \"CPU load %\"; times in microseconds. Without an idle "
              "task the trace has no CPU load.");
    t->callback([options] { Run(*options); });
}

} // namespace zuta::cli
