#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace zuta::host {

// The host's workspace: a string-to-string map that each module fills when the host saves its
// workspace and reads back when the host restores it.
class IWorkspaceMap {
public:
    virtual ~IWorkspaceMap() = default;
    // The value of `key`, or null when absent.
    virtual const std::string* Find(std::string_view key) const = 0;
    virtual void Set(std::string_view key, std::string_view value) = 0;
};

// Keys the performance module keeps in the workspace.
inline constexpr std::string_view kWorkspaceWindow = "ZUTA Window";
inline constexpr std::string_view kWorkspacePlacement = "ZUTA Window Placement";
inline constexpr std::string_view kWorkspaceRect = "ZUTA Window Rect";

// The plain ordered map the host keeps and persists between runs.
class WorkspaceMap final : public IWorkspaceMap {
public:
    const std::string* Find(std::string_view key) const override {
        const auto it = entries_.find(key);
        return it == entries_.end() ? nullptr : &it->second;
    }
    void Set(std::string_view key, std::string_view value) override {
        entries_.insert_or_assign(std::string(key), std::string(value));
    }
    const std::map<std::string, std::string, std::less<>>& entries() const { return entries_; }

private:
    std::map<std::string, std::string, std::less<>> entries_;
};

} // namespace zuta::host
