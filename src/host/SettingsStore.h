#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zuta::host {

// The host's persistent settings store: values keyed by section and key. Writes may be buffered
// until Commit.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;

    virtual std::uint32_t ReadInt(std::string_view section, std::string_view key,
                                  std::uint32_t defaultValue) const = 0;
    virtual void WriteInt(std::string_view section, std::string_view key, std::uint32_t value) = 0;
    // Empty when the key is absent.
    virtual std::string ReadString(std::string_view section, std::string_view key) const = 0;
    virtual void WriteString(std::string_view section, std::string_view key,
                             std::string_view value) = 0;
    // Makes every write so far persistent; false when that failed.
    virtual bool Commit() = 0;
};

} // namespace zuta::host
