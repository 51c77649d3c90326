#pragma once

#include "agent/NumberOption.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace zuta::cli {

// Each group of subcommands registers itself on the application.
void RegisterReplayCommands(CLI::App& app);     // replay, dump
void RegisterFileCommands(CLI::App& app);       // table, export, import, convert
void RegisterCollectCommands(CLI::App& app);    // collect, demo
void RegisterScreenshotCommands(CLI::App& app); // screenshot
void RegisterRenderCommand(CLI::App& app);      // render
void RegisterSessionsCommand(CLI::App& app);    // sessions
void RegisterCallsCommand(CLI::App& app);       // calls
void RegisterCheckCommand(CLI::App& app);       // check
void RegisterDiffCommand(CLI::App& app);        // diff
void RegisterTraceCommand(CLI::App& app);       // trace

// Exit statuses, the same for the same cause in every command.
enum ExitStatus : int {
    kExitOk = 0,
    kExitBadInput = 1,    // an input file cannot be read or holds nothing usable
    kExitUsage = 2,       // the command line is wrong
    kExitCannotWrite = 3, // an output cannot be written; an existing one is left as it was
    kExitNoData = 4,      // the collection or replay yielded no sample; nothing was written
    kExitCutShort = 5,    // the collection ended early or differs from the target's own count;
                          // what was collected is written all the same
    kExitNoTarget = 6,    // the target cannot be reached
};

// The host application that draws windows: $ZUTA_HOST, else zuta-host beside this program, else
// the one of this build tree.
std::string DefaultHostProgram();

// A window of the module pictured by the host application: its name, the file to open first (none
// when empty) and the window's "key=value" options.
struct HostPicture {
    std::string window;
    std::string file;
    std::vector<std::string> options;
    std::string output;
    std::string hostProgram;
    double timeLimit = 60.0;
};

// Has the host picture the window; ends the command with the status that names the cause when no
// picture was written.
void RenderWithHost(const HostPicture& picture);
// --host and --time-limit of a command that starts the host.
void AddHostOptions(CLI::App& command, HostPicture& picture);

// The list of exit statuses, for the help text.
std::string ExitStatusHelp();

// Prints "zuta: <message>" on stderr and ends the command with `status`.
[[noreturn]] void Fail(const std::string& message, int status);

using agent::FiniteNumber;

// "-" names standard output.
inline bool IsStandardOutput(const std::string& path) {
    return path == "-";
}

} // namespace zuta::cli
