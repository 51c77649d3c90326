#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace zuta {

struct MemoryStatsEntry {
    std::string name;
    std::array<std::uint32_t, 4> words{};
};

// Name and four memory words of every task the collector announced or a session file listed.
// Entries are only ever added; the first registration of an identifier wins.
class MemoryStatsTable {
public:
    // Adds an entry unless the identifier already has one.
    void AddEntry(std::uint32_t id, const std::string& name,
                  const std::array<std::uint32_t, 4>& words);
    // True and the words when an entry exists; `words` is untouched otherwise.
    bool GetWords(std::uint32_t id, std::array<std::uint32_t, 4>& words) const;
    std::map<std::uint32_t, MemoryStatsEntry> Entries() const;
    // Back to a new table (a fuzz run reuses one store for every input).
    void Clear();

private:
    // Link delivery threads add entries while the window thread may save a file.
    mutable std::mutex mutex_;
    std::map<std::uint32_t, MemoryStatsEntry> entries_;
};

} // namespace zuta
