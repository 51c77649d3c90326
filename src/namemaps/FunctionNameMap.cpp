#include "namemaps/FunctionNameMap.h"

#include "host/SettingsStore.h"
#include "host/SettingsText.h"

#include <iterator>
#include <string_view>

namespace zuta {

namespace {

// White space as scanf's "%s" and " " see it in the C locale.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string CutName(std::string_view name) {
    return std::string(name.substr(0, FunctionNameMap::kMaxText));
}

} // namespace

bool FunctionNameMap::Load() {
    names_.clear();
    if (store_ == nullptr)
        return false;
    // Like the scan buffers they stand for, both carry over from one value to the next: a value
    // without a number (or without a name) reuses what the value before it gave.
    std::string name;
    std::uint32_t number = 0;
    for (std::uint32_t i = 0; i < kMaxEntries; ++i) {
        const std::string text = store_->ReadString(kSection, host::FormatSettingsInt(i));
        if (text.empty())
            break;
        ParseValue(text, name, number);
        names_[number] = name;
    }
    return !names_.empty();
}

void FunctionNameMap::Save() {
    if (store_ == nullptr)
        return;
    std::uint32_t position = 0;
    for (const auto& [number, name] : names_) {
        // Keep the whole value within kMaxText by shortening the name, never the number, so each
        // name reads back under its own number.
        const std::string tail = " , " + host::FormatSettingsInt(number);
        const std::size_t room = kMaxText > tail.size() ? kMaxText - tail.size() : 0;
        store_->WriteString(kSection, host::FormatSettingsInt(position),
                            name.substr(0, room) + tail);
        ++position;
    }
    store_->Commit();
}

bool FunctionNameMap::Lookup(std::uint32_t number, std::string& name) const {
    const auto found = names_.find(number);
    name = found == names_.end() ? std::string() : found->second;
    return !name.empty();
}

void FunctionNameMap::SetName(std::uint32_t number, const std::string& name) {
    names_[number] = CutName(name);
}

bool FunctionNameMap::GetEntryAt(std::size_t position, std::string& name,
                                 std::uint32_t& number) const {
    if (position >= names_.size())
        return false;
    auto it = names_.begin();
    std::advance(it, static_cast<std::ptrdiff_t>(position));
    number = it->first;
    name = it->second;
    return true;
}

void FunctionNameMap::ParseValue(const std::string& text, std::string& name,
                                 std::uint32_t& number) {
    const std::string_view value = std::string_view(text).substr(0, kMaxText);
    std::size_t pos = 0;
    const auto skipSpace = [&] {
        while (pos < value.size() && IsSpace(value[pos]))
            ++pos;
    };

    // "%s": the first word.
    skipSpace();
    const std::size_t wordStart = pos;
    while (pos < value.size() && !IsSpace(value[pos]))
        ++pos;
    if (pos == wordStart)
        return;
    name = CutName(value.substr(wordStart, pos - wordStart));

    // " , ": any white space, the comma, any white space.
    skipSpace();
    if (pos >= value.size() || value[pos] != ',')
        return;
    ++pos;
    skipSpace();

    // "%d": optional sign and at least one digit, cut to 32 bits.
    bool negative = false;
    if (pos < value.size() && (value[pos] == '+' || value[pos] == '-')) {
        negative = value[pos] == '-';
        ++pos;
    }
    if (pos >= value.size() || value[pos] < '0' || value[pos] > '9')
        return;
    std::uint32_t parsed = 0;
    while (pos < value.size() && value[pos] >= '0' && value[pos] <= '9') {
        parsed = parsed * 10u + static_cast<std::uint32_t>(value[pos] - '0');
        ++pos;
    }
    number = negative ? 0u - parsed : parsed;
}

} // namespace zuta
