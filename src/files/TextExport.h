#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zuta {

class CPerformanceData;
struct PerformanceSettings;

// The first line of a text export.
inline constexpr const char* kTextExportHeader =
    "TaskName;TaskID;SwitchCount;ActiveTime;Instruction Executed;Access Duration;Access Count;"
    "ICacheMiss;CPI;MIPS;MHz\n";

// The core clock of the export's rates as a whole number of MHz: 10000 in external time stamp
// mode, else the clock setting, 1 for a clock of 0; the fraction is cut off.
std::int64_t ExportClockMhz(const PerformanceSettings& settings);

// One ';'-separated line of figures for a task of the store, or empty when the store has no
// record for `id`.
std::string FormatExportLine(const CPerformanceData& data, std::uint32_t id, std::int64_t clockMhz);

// Writes the header and one line per row of the task table, in the order given. Each row is
// named by the text of the table's "Task ID" column ("0x%x"); rows whose identifier the store
// does not know are left out. The old file is replaced only once the new one is complete; false
// with `error` set when it cannot be written.
bool WriteTextExport(const CPerformanceData& data, const PerformanceSettings& settings,
                     std::span<const std::string> rowIdTexts, const std::string& path,
                     std::string& error);

} // namespace zuta
