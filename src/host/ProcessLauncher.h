#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace zuta::host {

// One program to run: its path, its arguments (without the program name) and the environment
// variables to set on top of the caller's.
struct ProcessRequest {
    std::string program;
    std::vector<std::string> arguments;
    std::vector<std::pair<std::string, std::string>> environment;
    // How long the program may run before it is killed; zero: as long as it takes.
    std::chrono::milliseconds timeLimit{0};
};

struct ProcessResult {
    bool started = false; // false: `error` says why the program could not be run
    int exitCode = -1;    // the program's exit status; -1 when it ended by a signal
    std::string error;
};

// Starts other programs: tools without a window toolkit hand work to one that has it, the module
// hands a collection to an analyser.
class IProcessLauncher {
public:
    virtual ~IProcessLauncher() = default;
    // Runs the program and waits for it to end.
    virtual ProcessResult Run(const ProcessRequest& request) = 0;
    // Starts the program and returns at once: nobody waits for it, and it runs on when this
    // process ends (`timeLimit` and `exitCode` do not apply).
    virtual ProcessResult Start(const ProcessRequest& request) = 0;
};

} // namespace zuta::host
