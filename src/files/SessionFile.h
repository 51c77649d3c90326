#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace zuta {

class ByteSource;
class CPerformanceData;

// Session files (".zuta"): a line-oriented text form of one collection. Version 3 is written,
// versions 2 and 3 are read. Lines end with LF; the reader also takes CR LF.
inline constexpr int kSessionFileVersion = 3;

// Reports how far a load or save has come: bytes consumed and the size of the input, or samples
// written and the sample count.
using LoadProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Writes the store's tasks, samples and run-wide values. The old file is replaced only once the
// new one is complete, so a failed save leaves it untouched. False with `error` set on failure.
// `progress` hears of every stretch of samples written; a stop request gives the save up before
// the old file is replaced (false, `error` "cancelled").
bool SaveSessionFile(CPerformanceData& data, const std::string& path, std::string& error,
                     const LoadProgress& progress = {}, std::stop_token stop = {});

// Resets the store and fills it from a session file. A version 3 file switches the sampling
// modes and the clock in the store and in the settings (in memory) and posts notification 1795
// with code 4. True when the store holds samples afterwards; otherwise false with `error` set
// (an unsupported version is also shown in a message box). A file that loads but not whole (it
// ends before the tasks or events it announces, a count does not match its lines, lines longer
// than 1 MiB were cut) leaves one message a cause in `warnings`, when given.
bool LoadSessionFile(CPerformanceData& data, const std::string& path, std::string& error,
                     const LoadProgress& progress = {},
                     std::vector<std::string>* warnings = nullptr);

// The same reader on any source of bytes, e.g. a file that its reader may stop early.
bool LoadSessionSource(CPerformanceData& data, ByteSource& source, std::string& error,
                       const LoadProgress& progress = {},
                       std::vector<std::string>* warnings = nullptr);

// The same reader on bytes held in memory.
bool LoadSessionData(CPerformanceData& data, std::string_view bytes, std::string& error,
                     const LoadProgress& progress = {},
                     std::vector<std::string>* warnings = nullptr);

} // namespace zuta
