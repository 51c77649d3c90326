#pragma once

#include "collection/TaskTable.h"

namespace zuta::cli {

class Session;

// The task table as the window shows it: columns by the settings, rows, figures.
TaskTable BuildTaskTable(Session& session, bool percent, TaskTypeCounts& counts);
// The table as aligned text on stdout.
void PrintTaskTable(const TaskTable& table);
// The table followed by the task counts, the CPU load and the sampling duration.
void PrintCollectionTable(Session& session);

// Says on stderr how much stream damage the store saw (bytes skipped, unknown record headers),
// when it saw any.
void ReportDamage(Session& session);

} // namespace zuta::cli
