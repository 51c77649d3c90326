#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace zuta::host {
class ISettingsStore;
}

namespace zuta {

// Names of function numbers, kept in the settings section "Fn Mapping": value "i" holds the i-th
// entry in ascending number order as "name , number" with the number signed ("%s , %d"). The
// values run from "0" to the first one that is empty or absent.
class FunctionNameMap {
public:
    static constexpr const char* kSection = "Fn Mapping";
    // Longest name and value text kept; longer texts are cut.
    static constexpr std::size_t kMaxText = 99;

    explicit FunctionNameMap(host::ISettingsStore* store = nullptr) : store_(store) {}

    void SetStore(host::ISettingsStore* store) { store_ = store; }

    // Reads the stored entries; true when the map is non-empty afterwards.
    bool Load();
    // Writes every entry by position and commits. A name is shortened when needed to keep the
    // whole value within kMaxText characters, so the number always survives.
    void Save();
    // Copies the name of `number` into `name` (empty when unknown); true when it is non-empty.
    bool Lookup(std::uint32_t number, std::string& name) const;
    // Sets the name of `number` (cut to kMaxText characters), adding the entry when it is missing.
    void SetName(std::uint32_t number, const std::string& name);
    // The entry at `position` in ascending number order; false (outputs untouched) past the end.
    bool GetEntryAt(std::size_t position, std::string& name, std::uint32_t& number) const;
    std::size_t size() const { return names_.size(); }
    const std::map<std::uint32_t, std::string>& entries() const { return names_; }

    // Parses one stored value ("name , number") as scanf("%s , %d") would, looking at no more
    // than its first kMaxText characters. `name` is set only when the text holds a word (the
    // first one), `number` only when a number follows the comma; otherwise they keep what they
    // held. Exposed for the fuzzer.
    static void ParseValue(const std::string& stored, std::string& name, std::uint32_t& number);

private:
    host::ISettingsStore* store_;
    std::map<std::uint32_t, std::string> names_;
};

} // namespace zuta
