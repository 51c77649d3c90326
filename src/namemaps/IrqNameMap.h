#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace zuta::host {
class ISettingsStore;
}

namespace zuta {

// Names of IRQ numbers, kept in the settings section "IRQ Mapping" as values "0", "1", ... up to
// the first empty one. Without stored names a built-in table of 76 names is used.
class IrqNameMap {
public:
    static constexpr const char* kSection = "IRQ Mapping";
    static constexpr std::uint32_t kMaxEntries = 256;

    explicit IrqNameMap(host::ISettingsStore* store = nullptr) : store_(store) {}

    void SetStore(host::ISettingsStore* store) { store_ = store; }

    // Reads the stored names; true when at least one was read.
    bool Load();
    // Load, or the default table when the store holds no names (the defaults are not stored).
    void LoadOrDefaults();
    void LoadDefaults();
    // Writes every entry and commits.
    void Save();
    // Copies the name of `number` into `name` (empty when unknown); true when it is non-empty.
    bool Lookup(std::uint32_t number, std::string& name) const;
    // Renames an existing entry; false (and no change) when `number` is not below size().
    bool SetName(std::uint32_t number, const std::string& name);
    std::size_t size() const { return names_.size(); }
    const std::map<std::uint32_t, std::string>& entries() const { return names_; }

private:
    host::ISettingsStore* store_;
    std::map<std::uint32_t, std::string> names_;
};

} // namespace zuta
