#include "PosixProcessLauncher.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace zuta::cli {

namespace {

// Starts the program with the caller's environment and the request's variables set over it, in
// a process group of its own (`flags` POSIX_SPAWN_SETPGROUP) or a session of its own
// (POSIX_SPAWN_SETSID); 0 with `error` set when it cannot be started.
pid_t Spawn(const host::ProcessRequest& request, short flags, std::string& error) {
    std::vector<std::string> argumentTexts;
    argumentTexts.push_back(request.program);
    argumentTexts.insert(argumentTexts.end(), request.arguments.begin(), request.arguments.end());
    std::vector<char*> argv;
    for (std::string& text : argumentTexts)
        argv.push_back(text.data());
    argv.push_back(nullptr);

    std::map<std::string, std::string> variables;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : request.environment)
        variables[name] = value;
    std::vector<std::string> environmentTexts;
    for (const auto& [name, value] : variables)
        environmentTexts.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& text : environmentTexts)
        envp.push_back(text.data());
    envp.push_back(nullptr);

    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, flags);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    pid_t child = 0;
    const int spawnError = ::posix_spawn(&child, request.program.c_str(), nullptr, &attributes,
                                         argv.data(), envp.data());
    ::posix_spawnattr_destroy(&attributes);
    if (spawnError != 0) {
        error = "cannot run " + request.program + ": " + std::strerror(spawnError);
        return 0;
    }
    return child;
}

} // namespace

host::ProcessResult PosixProcessLauncher::Start(const host::ProcessRequest& request) {
    host::ProcessResult result;
    const pid_t child = Spawn(request, POSIX_SPAWN_SETSID, result.error);
    result.started = child != 0;
    // Reaped when it ends, so that it does not stay behind as a zombie while this process runs.
    if (result.started) {
        std::thread([child] {
            int status = 0;
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
    return result;
}

host::ProcessResult PosixProcessLauncher::Run(const host::ProcessRequest& request) {
    host::ProcessResult result;
    // A group of its own, so that a program stopped at its time limit takes what it started
    // along.
    const pid_t child = Spawn(request, POSIX_SPAWN_SETPGROUP, result.error);
    if (child == 0)
        return result;
    result.started = true;
    int status = 0;
    pid_t waited = 0;
    if (request.timeLimit.count() > 0) {
        // Polled, so a program that hangs (a window waiting for a user) is ended at the limit.
        const auto deadline = std::chrono::steady_clock::now() + request.timeLimit;
        while ((waited = ::waitpid(child, &status, WNOHANG)) == 0 ||
               (waited < 0 && errno == EINTR)) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(-child, SIGKILL);
                while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
                }
                result.error = request.program + " did not finish within " +
                               std::to_string(request.timeLimit.count() / 1000) + " s";
                return result;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    } else {
        do {
            waited = ::waitpid(child, &status, 0);
        } while (waited < 0 && errno == EINTR);
    }
    if (waited < 0) {
        result.error =
            std::string("cannot wait for ") + request.program + ": " + std::strerror(errno);
        return result;
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.error = request.program + " ended by signal " + std::to_string(WTERMSIG(status));
    }
    return result;
}

} // namespace zuta::cli
