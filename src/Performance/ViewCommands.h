#pragma once

#include "collection/ViewState.h"

#include <span>
#include <string_view>

namespace zuta::performance {

class CPerformanceView;
struct ViewCommand;

// Runs a command on the view; called only while its rule enables it.
using CommandHandler = void (*)(CPerformanceView& view, const ViewCommand& command);

// One command of the module: where the user finds it and what enables it. The menu
// "&Performance", the control bar and the view's enabling are all built from this table.
struct ViewCommand {
    Command command;
    std::string_view name;     // how status lines speak of it
    std::string_view menuPath; // entry under "&Performance", submenus separated by "/"; empty: none
    std::string_view barItem; // button caption, or "Data/..." / "Graph/..." menu entry; empty: none
    EnableRule rule;
    CommandHandler handler;
    bool separatorBefore = false; // in the menu
};

std::span<const ViewCommand> ViewCommands();
// The row of a command identifier, or null.
const ViewCommand* FindViewCommand(Command command);

// Handlers of the table, each in the file of its feature.
void RunStart(CPerformanceView& view, const ViewCommand& command);
void RunStop(CPerformanceView& view, const ViewCommand& command);
void RunVtune(CPerformanceView& view, const ViewCommand& command);
void RunSaveData(CPerformanceView& view, const ViewCommand& command);
void RunLoadData(CPerformanceView& view, const ViewCommand& command);
void RunImportRawLog(CPerformanceView& view, const ViewCommand& command);
void RunExportToText(CPerformanceView& view, const ViewCommand& command);
void RunSettings(CPerformanceView& view, const ViewCommand& command);
void RunTaskGraph(CPerformanceView& view, const ViewCommand& command);
void RunCpuGraph(CPerformanceView& view, const ViewCommand& command);
void RunFunctionGraph(CPerformanceView& view, const ViewCommand& command);
void RunIrqMapping(CPerformanceView& view, const ViewCommand& command);
void RunFunctionNamesMapping(CPerformanceView& view, const ViewCommand& command);

} // namespace zuta::performance
