#include "graphs/Budget.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <set>
#include <unordered_map>

namespace zuta::graphs {

namespace {

using Json = nlohmann::ordered_json;

bool IsSwitch(const GraphSample& s) {
    return s.kind != kSampleUserEvent && s.kind != kSampleFunctionEntry &&
           s.kind != kSampleFunctionExit;
}

// Reads the members of one part of the file; the first problem wins.
class PartReader {
public:
    PartReader(const Json& part, std::string path, std::string& error)
        : part_(part), path_(std::move(path)), error_(error) {
        if (!part_.is_object())
            Fail("is not an object");
    }

    bool ok() const { return error_.empty(); }

    void Limit(const char* key, std::optional<double>& out) {
        const Json* value = Find(key);
        if (value == nullptr)
            return;
        if (!value->is_number() || !std::isfinite(value->get<double>()) || value->get<double>() < 0)
            return Fail(std::string("'") + key + "' is not a number of at least 0");
        out = value->get<double>();
    }

    void Name(const char* key, std::string& out) {
        const Json* value = Find(key);
        if (value == nullptr)
            return;
        if (!value->is_string() || value->get<std::string>().empty())
            return Fail(std::string("'") + key + "' is not a task name");
        out = value->get<std::string>();
    }

    // Hands every member to `read`, with its key.
    template <class Read> void Members(Read read) {
        if (!ok())
            return;
        for (const auto& [name, value] : part_.items()) {
            seen_.insert(name);
            read(name, value);
            if (!ok())
                return;
        }
    }

    // Unknown keys are mistakes, not extensions: a misspelt limit must not pass unchecked.
    void NoOthers() {
        if (!ok())
            return;
        for (const auto& [name, value] : part_.items())
            if (!seen_.contains(name))
                return Fail("unknown key '" + name + "'");
    }

    void Fail(const std::string& what) {
        if (error_.empty())
            error_ = path_ + ": " + what;
    }

private:
    // The member `key`, marked as known; null when it is absent or reading already failed.
    const Json* Find(const char* key) {
        if (!ok())
            return nullptr;
        seen_.insert(key);
        const auto it = part_.find(key);
        return it == part_.end() ? nullptr : &*it;
    }

    const Json& part_;
    std::string path_;
    std::string& error_;
    std::set<std::string> seen_;
};

// Keeps the worst breaches of one limit, the earlier first among equals.
class WorstBreaches {
public:
    explicit WorstBreaches(LimitCheck& check) : check_(check) {}

    void Add(double value, std::uint32_t sample, std::optional<std::uint32_t> session) {
        ++check_.breachCount;
        auto& list = check_.breaches;
        const auto at = std::find_if(list.begin(), list.end(),
                                     [value](const Breach& b) { return b.value < value; });
        if (at == list.end() && list.size() >= kListedBreaches)
            return;
        list.insert(at, Breach{value, BreachPlace{session, sample, 0.0}});
        if (list.size() > kListedBreaches)
            list.pop_back();
    }

private:
    LimitCheck& check_;
};

LimitCheck Start(std::string name, double limit) {
    LimitCheck check;
    check.name = std::move(name);
    check.limit = limit;
    return check;
}

void Judge(LimitCheck& check, double value) {
    check.value = value;
    if (value > check.limit || check.breachCount != 0)
        check.verdict = Verdict::Broken;
}

void Refuse(LimitCheck& check, std::string note) {
    check.verdict = Verdict::Broken;
    check.note = std::move(note);
}

// The session holding sample `index`, none after the last.
std::optional<std::uint32_t> SessionOf(const CpuSessionSet* set, std::uint32_t index) {
    if (set == nullptr)
        return std::nullopt;
    const auto it =
        std::upper_bound(set->sessions.begin(), set->sessions.end(), index,
                         [](std::uint32_t i, const CpuSession& s) { return i < s.endSample; });
    if (it == set->sessions.end())
        return std::nullopt;
    return static_cast<std::uint32_t>(it - set->sessions.begin());
}

// Gives every listed breach the time its sample started, in one pass over the samples.
void PlaceInTime(std::vector<LimitCheck>& checks, const CheckInput& input) {
    std::vector<BreachPlace*> places;
    for (LimitCheck& check : checks)
        for (Breach& breach : check.breaches)
            if (breach.place)
                places.push_back(&*breach.place);
    std::sort(places.begin(), places.end(),
              [](const BreachPlace* a, const BreachPlace* b) { return a->sample < b->sample; });
    std::uint64_t ticks = 0;
    std::size_t next = 0;
    for (std::size_t i = 0; i < input.samples.size() && next < places.size(); ++i) {
        for (; next < places.size() && places[next]->sample == i; ++next)
            places[next]->seconds = static_cast<double>(ticks) / input.ticksPerMicrosecond * 1e-6;
        if (IsSwitch(input.samples[i]))
            ticks += input.samples[i].ticks;
    }
}

void CheckSessions(const Budget& budget, const CheckInput& input, std::vector<LimitCheck>& checks) {
    const CpuSessionSet empty;
    const CpuSessionSet& set = input.sessions != nullptr ? *input.sessions : empty;
    const auto perSession = [&](const char* name, double limit, auto figure) {
        LimitCheck check = Start(std::string("sessions.") + name, limit);
        WorstBreaches worst(check);
        double largest = 0.0;
        for (std::size_t n = 0; n < set.sessions.size(); ++n) {
            const double value = figure(set.sessions[n]);
            largest = std::max(largest, value);
            if (value > limit)
                worst.Add(value, set.sessions[n].firstSample, static_cast<std::uint32_t>(n));
        }
        if (set.sessions.empty())
            Refuse(check, "the collection has no session");
        else
            Judge(check, largest);
        return check;
    };
    const auto load = [](const CpuSession& s) { return static_cast<double>(s.cpuPercent); };
    if (budget.sessionMaxCpu)
        checks.push_back(perSession("maxCpu", *budget.sessionMaxCpu, load));
    if (budget.sessionP95Cpu) {
        // The percentile breaks as a whole; the sessions over the limit are where it did.
        LimitCheck check = perSession("p95Cpu", *budget.sessionP95Cpu, load);
        if (!set.sessions.empty()) {
            const double p95 = SessionLoads(set).p95;
            check.verdict = p95 > check.limit ? Verdict::Broken : Verdict::Held;
            check.value = p95;
            if (check.verdict == Verdict::Held) {
                check.breachCount = 0;
                check.breaches.clear();
            }
        }
        checks.push_back(std::move(check));
    }
    if (budget.sessionMaxDurationUs)
        checks.push_back(perSession(
            "maxDurationUs", *budget.sessionMaxDurationUs,
            [&input](const CpuSession& s) { return s.totalTicks / input.ticksPerMicrosecond; }));
}

void CheckTasks(const Budget& budget, const CheckInput& input, std::vector<LimitCheck>& checks) {
    // Run limits by task identifier, all checked in one pass over the samples.
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> runLimits;
    for (const auto& entry : budget.tasks) {
        // Named, not bound: clang 14 lets no lambda capture a structured binding.
        const std::string& name = entry.first;
        const TaskLimits& limits = entry.second;
        const auto task = input.tasks.find(name);
        const auto add = [&](const char* key, const std::optional<double>& limit,
                             double TaskFacts::*figure) {
            if (!limit)
                return;
            LimitCheck check = Start("tasks." + name + "." + key, *limit);
            if (task == input.tasks.end())
                Refuse(check, "the collection has no task named '" + name + "'");
            else if (figure == nullptr)
                runLimits[task->second.id].push_back(checks.size());
            else
                Judge(check, task->second.*figure);
            checks.push_back(std::move(check));
        };
        add("maxShare", limits.maxShare, &TaskFacts::share);
        add("maxRunUs", limits.maxRunUs, nullptr);
        add("maxCpi", limits.maxCpi, &TaskFacts::cpi);
    }
    if (runLimits.empty())
        return;
    std::vector<double> longest(checks.size(), 0.0);
    for (std::size_t i = 0; i < input.samples.size(); ++i) {
        const GraphSample& s = input.samples[i];
        const auto found = runLimits.find(s.id);
        if (found == runLimits.end() || !IsSwitch(s))
            continue;
        const double us = s.ticks / input.ticksPerMicrosecond;
        for (const std::size_t c : found->second) {
            longest[c] = std::max(longest[c], us);
            if (us > checks[c].limit)
                WorstBreaches(checks[c]).Add(
                    us, static_cast<std::uint32_t>(i),
                    SessionOf(input.sessions, static_cast<std::uint32_t>(i)));
        }
    }
    for (const auto& [id, indices] : runLimits)
        for (const std::size_t c : indices)
            Judge(checks[c], longest[c]);
}

void CheckFunctions(const Budget& budget, const CheckInput& input,
                    std::vector<LimitCheck>& checks) {
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> callLimits;
    for (const auto& [name, limits] : budget.functions) {
        if (!limits.maxCallUs)
            continue;
        LimitCheck check = Start("functions." + name + ".maxCallUs", *limits.maxCallUs);
        const auto function = input.functions.find(name);
        if (function == input.functions.end())
            Refuse(check, "the collection has no function named '" + name + "'");
        else
            callLimits[function->second].push_back(checks.size());
        checks.push_back(std::move(check));
    }
    if (callLimits.empty())
        return;
    std::vector<double> longest(checks.size(), 0.0);
    const std::span<const FunctionCall> calls =
        input.calls != nullptr ? std::span(input.calls->calls) : std::span<const FunctionCall>();
    // Calls come in the order of their enters; the function events before each are counted
    // on the way to find the enter's place among the samples without them.
    std::size_t cursor = 0;
    std::uint32_t functionEvents = 0;
    for (const FunctionCall& call : calls) {
        for (; cursor < call.enterIndex && cursor < input.callSamples.size(); ++cursor)
            if (!IsSwitch(input.callSamples[cursor]) &&
                input.callSamples[cursor].kind != kSampleUserEvent)
                ++functionEvents;
        const auto found = callLimits.find(call.function);
        if (found == callLimits.end())
            continue;
        const double us = call.runTime / input.ticksPerMicrosecond;
        const std::uint32_t plain = call.enterIndex - std::min(functionEvents, call.enterIndex);
        const std::uint32_t run = plain == 0 ? 0 : plain - 1;
        for (const std::size_t c : found->second) {
            longest[c] = std::max(longest[c], us);
            if (us > checks[c].limit)
                WorstBreaches(checks[c]).Add(us, run, SessionOf(input.sessions, run));
        }
    }
    for (const auto& [number, indices] : callLimits)
        for (const std::size_t c : indices)
            Judge(checks[c], longest[c]);
}

} // namespace

std::size_t NearestRank(std::size_t count, double percent) {
    if (count == 0)
        return 0;
    const double rank = std::ceil(percent / 100.0 * static_cast<double>(count));
    return std::clamp<std::size_t>(static_cast<std::size_t>(std::max(rank, 1.0)), 1, count);
}

LoadDistribution SessionLoads(const CpuSessionSet& set) {
    LoadDistribution d;
    d.count = set.sessions.size();
    if (d.count == 0)
        return d;
    std::vector<std::uint32_t> loads;
    loads.reserve(d.count);
    for (const CpuSession& s : set.sessions)
        loads.push_back(s.cpuPercent);
    std::sort(loads.begin(), loads.end());
    d.min = loads.front();
    d.median = loads[NearestRank(d.count, 50) - 1];
    d.p95 = loads[NearestRank(d.count, 95) - 1];
    d.max = loads.back();
    return d;
}

bool Budget::LimitsSessions() const {
    return sessionMaxCpu || sessionP95Cpu || sessionMaxDurationUs;
}

bool ParseBudget(std::string_view text, Budget& budget, std::string& error) {
    error.clear();
    budget = Budget{};
    // A repeated key would silently drop one of two limits: refuse it as the parser meets it.
    std::vector<std::set<std::string>> keys;
    std::string repeated;
    const Json::parser_callback_t noRepeats = [&](int, Json::parse_event_t event, Json& parsed) {
        using Event = Json::parse_event_t;
        if (event == Event::object_start)
            keys.emplace_back();
        else if (event == Event::object_end && !keys.empty())
            keys.pop_back();
        else if (event == Event::key && !keys.empty() &&
                 !keys.back().insert(parsed.get<std::string>()).second && repeated.empty())
            repeated = parsed.get<std::string>();
        return true;
    };
    Json root;
    try {
        root = Json::parse(text.begin(), text.end(), noRepeats);
    } catch (const nlohmann::json::exception& e) {
        const std::string what = e.what();
        const std::size_t reason = what.find("] ");
        error = "not JSON: " + (reason == std::string::npos ? what : what.substr(reason + 2));
        return false;
    }
    if (!repeated.empty()) {
        error = "key '" + repeated + "' is repeated";
        return false;
    }

    PartReader top(root, "budget", error);
    top.Members([&](const std::string& part, const Json& value) {
        if (part == "cpuLoad") {
            PartReader r(value, part, error);
            r.Limit("max", budget.cpuLoadMax);
            r.NoOthers();
        } else if (part == "sessions") {
            PartReader r(value, part, error);
            r.Name("mask", budget.sessionMask);
            r.Limit("maxCpu", budget.sessionMaxCpu);
            r.Limit("p95Cpu", budget.sessionP95Cpu);
            r.Limit("maxDurationUs", budget.sessionMaxDurationUs);
            r.NoOthers();
        } else if (part == "tasks") {
            PartReader names(value, part, error);
            names.Members([&](const std::string& name, const Json& limits) {
                TaskLimits task;
                PartReader r(limits, part + "." + name, error);
                r.Limit("maxShare", task.maxShare);
                r.Limit("maxRunUs", task.maxRunUs);
                r.Limit("maxCpi", task.maxCpi);
                r.NoOthers();
                budget.tasks.emplace_back(name, task);
            });
        } else if (part == "functions") {
            PartReader names(value, part, error);
            names.Members([&](const std::string& name, const Json& limits) {
                FunctionLimits function;
                PartReader r(limits, part + "." + name, error);
                r.Limit("maxCallUs", function.maxCallUs);
                r.NoOthers();
                budget.functions.emplace_back(name, function);
            });
        } else {
            top.Fail("unknown key '" + part + "'");
        }
    });
    return error.empty();
}

std::vector<LimitCheck> CheckBudget(const Budget& budget, const CheckInput& input) {
    std::vector<LimitCheck> checks;
    if (budget.cpuLoadMax) {
        LimitCheck check = Start("cpuLoad.max", *budget.cpuLoadMax);
        Judge(check, input.cpuLoad);
        checks.push_back(std::move(check));
    }
    CheckSessions(budget, input, checks);
    CheckTasks(budget, input, checks);
    CheckFunctions(budget, input, checks);
    PlaceInTime(checks, input);
    return checks;
}

} // namespace zuta::graphs
