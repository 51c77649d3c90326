#pragma once

#include "host/SettingsStore.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zuta::host {

// A settings store held in memory, for tests and for runs that must not touch the disk. Sections
// and keys keep their insertion order; integers are kept as decimal text, as in the INI store.
// Lookups are case-sensitive. Safe to use from several threads.
class MemorySettingsStore final : public ISettingsStore {
public:
    std::uint32_t ReadInt(std::string_view section, std::string_view key,
                          std::uint32_t defaultValue) const override;
    void WriteInt(std::string_view section, std::string_view key, std::uint32_t value) override;
    std::string ReadString(std::string_view section, std::string_view key) const override;
    void WriteString(std::string_view section, std::string_view key,
                     std::string_view value) override;
    // Counts the call; succeeds unless failing commits was asked for.
    bool Commit() override;

    bool Contains(std::string_view section, std::string_view key) const;
    void Remove(std::string_view section, std::string_view key);
    void Clear();
    std::vector<std::string> Sections() const;
    // The keys of a section in insertion order (empty for an unknown section).
    std::vector<std::string> Keys(std::string_view section) const;
    // Every (key, value) pair of a section in insertion order.
    std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

    // Calls of Commit so far, failed ones included.
    std::size_t commitCount() const;
    // Calls of WriteInt and WriteString so far.
    std::size_t writeCount() const;
    void SetFailCommits(bool fail);

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };

    const std::string* FindLocked(std::string_view section, std::string_view key) const;
    void WriteLocked(std::string_view section, std::string_view key, std::string value);

    mutable std::mutex mutex_;
    std::vector<Section> sections_;
    std::size_t commits_ = 0;
    std::size_t writes_ = 0;
    bool failCommits_ = false;
};

} // namespace zuta::host
