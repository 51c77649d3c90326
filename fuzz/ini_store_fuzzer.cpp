// Feeds arbitrary text to the INI reader: it must never crash, must rewrite its own output
// unchanged, and any value written into the text must read back exactly.
#include "host/IniSettingsStore.h"
#include "host/SettingsText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using zuta::host::IniDocument;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::vector<zuta::host::IniParseIssue> issues;
    IniDocument doc = IniDocument::Parse(text, &issues);
    for (const auto& issue : issues)
        Check(issue.line >= 1 && issue.line <= size && !issue.message.empty());

    const std::string once = doc.Serialize();
    const IniDocument again = IniDocument::Parse(once);
    Check(again.Serialize() == once);
    for (const std::string& section : doc.Sections()) {
        for (const std::string& key : doc.Keys(section)) {
            const std::string* before = doc.Find(section, key);
            const std::string* after = again.Find(section, key);
            Check(before != nullptr && after != nullptr && *before == *after);
            zuta::host::ParseSettingsInt(*before);
        }
    }

    // The input itself as a value, both as a new key and over the first existing one.
    Check(doc.Set("fuzz", "value", text) == IniDocument::SetResult::Changed ||
          *doc.Find("fuzz", "value") == text);
    const auto sections = doc.Sections();
    std::string firstSection;
    std::string firstKey;
    if (!sections.empty() && !doc.Keys(sections.front()).empty()) {
        firstSection = sections.front();
        firstKey = doc.Keys(firstSection).front();
        Check(doc.Set(firstSection, firstKey, text) != IniDocument::SetResult::Refused);
    }
    const IniDocument written = IniDocument::Parse(doc.Serialize());
    const std::string* value = written.Find("fuzz", "value");
    Check(value != nullptr && *value == text);
    if (!firstKey.empty()) {
        value = written.Find(firstSection, firstKey);
        Check(value != nullptr && *value == text);
    }
    return 0;
}
