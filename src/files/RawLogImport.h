#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zuta {

class ByteSource;
class CPerformanceData;

// Raw logs (".log"): one text line per scheduling or function event, classified by the suffix
// of the name it carries ("_ENTER"/"_ENTRY", "_EXIT", "_THREAD", "_HISR", "_INT"), with the
// identifier between "(" and ")" and the time stamp after "@".

// Function names get identifiers from here upward, in order of first appearance in one import.
inline constexpr std::uint32_t kFirstLogFunctionId = 15000;

// Trims white space at both ends; then, when the first colon is not the first character, drops
// everything before it (the colon stays as the line's first character).
void CleanLogLine(std::string& line);

// Resets the store and fills it from a raw log: one sample per complete line (a last line
// without a line feed is not used) and a task record per new identifier. False with `error` set
// when the file cannot be read, yields no sample or holds no line with a class suffix. Lines
// longer than 1 MiB are cut there; a warning in `warnings` (when given) says how many.
bool ImportRawLog(CPerformanceData& data, const std::string& path, std::string& error,
                  std::vector<std::string>* warnings = nullptr);

// The same import on any source of bytes, e.g. a file that its reader may stop early.
bool ImportRawLogSource(CPerformanceData& data, ByteSource& source, std::string& error,
                        std::vector<std::string>* warnings = nullptr);

// The same import on bytes held in memory.
bool ImportRawLogData(CPerformanceData& data, std::string_view bytes, std::string& error,
                      std::vector<std::string>* warnings = nullptr);

} // namespace zuta
