#include "host/MemorySettingsStore.h"

#include "host/SettingsText.h"

#include <algorithm>

namespace zuta::host {

std::uint32_t MemorySettingsStore::ReadInt(std::string_view section, std::string_view key,
                                           std::uint32_t defaultValue) const {
    const std::lock_guard lock(mutex_);
    const std::string* text = FindLocked(section, key);
    if (text == nullptr)
        return defaultValue;
    return ParseSettingsInt(*text).value_or(defaultValue);
}

void MemorySettingsStore::WriteInt(std::string_view section, std::string_view key,
                                   std::uint32_t value) {
    const std::lock_guard lock(mutex_);
    WriteLocked(section, key, FormatSettingsInt(value));
}

std::string MemorySettingsStore::ReadString(std::string_view section, std::string_view key) const {
    const std::lock_guard lock(mutex_);
    const std::string* text = FindLocked(section, key);
    return text == nullptr ? std::string() : *text;
}

void MemorySettingsStore::WriteString(std::string_view section, std::string_view key,
                                      std::string_view value) {
    const std::lock_guard lock(mutex_);
    WriteLocked(section, key, std::string(value));
}

bool MemorySettingsStore::Commit() {
    const std::lock_guard lock(mutex_);
    ++commits_;
    return !failCommits_;
}

bool MemorySettingsStore::Contains(std::string_view section, std::string_view key) const {
    const std::lock_guard lock(mutex_);
    return FindLocked(section, key) != nullptr;
}

void MemorySettingsStore::Remove(std::string_view section, std::string_view key) {
    const std::lock_guard lock(mutex_);
    for (Section& s : sections_) {
        if (s.name == section) {
            std::erase_if(s.entries, [&](const auto& entry) { return entry.first == key; });
            return;
        }
    }
}

void MemorySettingsStore::Clear() {
    const std::lock_guard lock(mutex_);
    sections_.clear();
}

std::vector<std::string> MemorySettingsStore::Sections() const {
    const std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const Section& s : sections_)
        names.push_back(s.name);
    return names;
}

std::vector<std::string> MemorySettingsStore::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    for (auto& entry : Entries(section))
        keys.push_back(std::move(entry.first));
    return keys;
}

std::vector<std::pair<std::string, std::string>>
MemorySettingsStore::Entries(std::string_view section) const {
    const std::lock_guard lock(mutex_);
    for (const Section& s : sections_) {
        if (s.name == section)
            return s.entries;
    }
    return {};
}

std::size_t MemorySettingsStore::commitCount() const {
    const std::lock_guard lock(mutex_);
    return commits_;
}

std::size_t MemorySettingsStore::writeCount() const {
    const std::lock_guard lock(mutex_);
    return writes_;
}

void MemorySettingsStore::SetFailCommits(bool fail) {
    const std::lock_guard lock(mutex_);
    failCommits_ = fail;
}

const std::string* MemorySettingsStore::FindLocked(std::string_view section,
                                                   std::string_view key) const {
    for (const Section& s : sections_) {
        if (s.name != section)
            continue;
        for (const auto& [name, value] : s.entries) {
            if (name == key)
                return &value;
        }
        return nullptr;
    }
    return nullptr;
}

void MemorySettingsStore::WriteLocked(std::string_view section, std::string_view key,
                                      std::string value) {
    ++writes_;
    auto s = std::find_if(sections_.begin(), sections_.end(),
                          [&](const Section& candidate) { return candidate.name == section; });
    if (s == sections_.end())
        s = sections_.insert(sections_.end(), Section{std::string(section), {}});
    for (auto& entry : s->entries) {
        if (entry.first == key) {
            entry.second = std::move(value);
            return;
        }
    }
    s->entries.emplace_back(std::string(key), std::move(value));
}

} // namespace zuta::host
