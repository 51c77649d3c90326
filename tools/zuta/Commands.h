#pragma once

#include <CLI/CLI.hpp>

namespace zuta::cli {

// Each group of subcommands registers itself on the application.
void RegisterReplayCommands(CLI::App& app);     // replay, dump
void RegisterFileCommands(CLI::App& app);       // table, export, import, convert
void RegisterCollectCommands(CLI::App& app);    // collect, demo
void RegisterScreenshotCommands(CLI::App& app); // screenshot

} // namespace zuta::cli
