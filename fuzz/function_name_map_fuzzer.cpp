// Feeds arbitrary values to the function name map: each input line is one stored value. Parsing
// must stay within its limits, and what the map saves must load back to the same numbers.
#include "host/MemorySettingsStore.h"
#include "namemaps/FunctionNameMap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using zuta::FunctionNameMap;
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::string name = "before";
    std::uint32_t number = 0;
    FunctionNameMap::ParseValue(input, name, number);
    Check(name.size() <= FunctionNameMap::kMaxText);

    // The map stops at the first empty value, and a long run of values exercises nothing a short
    // one does not: the first lines are enough, and they keep every input cheap (the settings
    // store in memory looks keys up one by one).
    constexpr std::uint32_t kMaxValues = 64;
    zuta::host::MemorySettingsStore store;
    std::size_t start = 0;
    for (std::uint32_t i = 0; start <= input.size() && i < kMaxValues; ++i) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        store.WriteString(FunctionNameMap::kSection, std::to_string(i),
                          std::string_view(input).substr(start, end - start));
        start = end + 1;
    }

    FunctionNameMap map(&store);
    const bool loaded = map.Load();
    Check(loaded == (map.size() > 0));
    bool allNamed = true;
    std::size_t position = 0;
    for (const auto& [entryNumber, entryName] : map.entries()) {
        Check(entryName.size() <= FunctionNameMap::kMaxText);
        allNamed = allNamed && !entryName.empty();
        std::string atName;
        std::uint32_t atNumber = 0;
        Check(map.GetEntryAt(position++, atName, atNumber));
        Check(atNumber == entryNumber && atName == entryName);
    }

    // A long name from the input must not break the saved values either.
    map.SetName(0xFFFFFFFFu, input);
    allNamed = allNamed && !input.empty() && input.find_first_of(" \t\n\v\f\r") == input.npos;

    zuta::host::MemorySettingsStore fresh;
    map.SetStore(&fresh);
    map.Save();
    for (const auto& [key, value] : fresh.Entries(FunctionNameMap::kSection))
        Check(value.size() <= FunctionNameMap::kMaxText);

    // One-word names keep their numbers and (a prefix of) their text; an empty name or one with
    // blanks is read back under another number by design.
    FunctionNameMap reloaded(&fresh);
    reloaded.Load();
    if (allNamed) {
        Check(reloaded.size() == map.size());
        for (const auto& [entryNumber, entryName] : map.entries()) {
            std::string back;
            Check(reloaded.Lookup(entryNumber, back));
            Check(entryName.compare(0, back.size(), back) == 0);
        }
    }
    return 0;
}
