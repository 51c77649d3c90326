#include "WorkspaceFile.h"

#include "host/IniSettingsStore.h"

namespace zuta::hostapp {

namespace {
constexpr std::string_view kSection = "Workspace";
}

host::WorkspaceMap ReadWorkspaceFile(const std::string& path) {
    const host::IniSettingsStore store(path);
    const host::IniDocument document = host::IniDocument::Parse(store.Text());
    host::WorkspaceMap map;
    for (const std::string& key : document.Keys(kSection)) {
        if (const std::optional<std::string> value = document.Find(kSection, key)) {
            map.Set(key, *value);
        }
    }
    return map;
}

bool WriteWorkspaceFile(const std::string& path, const host::WorkspaceMap& map) {
    host::IniSettingsStore store(path);
    for (const auto& [key, value] : map.entries()) {
        store.WriteString(kSection, key, value);
    }
    return store.Commit();
}

} // namespace zuta::hostapp
