#include "engine/MemoryStatsTable.h"

namespace zuta {

void MemoryStatsTable::AddEntry(std::uint32_t id, const std::string& name,
                                const std::array<std::uint32_t, 4>& words) {
    std::lock_guard lock(mutex_);
    entries_.try_emplace(id, MemoryStatsEntry{name, words});
}

bool MemoryStatsTable::GetWords(std::uint32_t id, std::array<std::uint32_t, 4>& words) const {
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(id);
    if (it == entries_.end())
        return false;
    words = it->second.words;
    return true;
}

std::map<std::uint32_t, MemoryStatsEntry> MemoryStatsTable::Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

void MemoryStatsTable::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

} // namespace zuta
