#include "namemaps/FunctionNameMap.h"

#include "host/SettingsStore.h"
#include "host/SettingsText.h"
#include "host/TextNumbers.h"

#include <iterator>
#include <string_view>

namespace zuta {

namespace {

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
    for (std::uint32_t i = 0;; ++i) {
        const std::string value = store_->ReadString(kSection, host::FormatSettingsInt(i));
        if (value.empty())
            break;
        ParseValue(value, name, number);
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
        const std::string tail = " , " + text::FormatSigned(static_cast<std::int32_t>(number));
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

void FunctionNameMap::ParseValue(const std::string& stored, std::string& name,
                                 std::uint32_t& number) {
    const std::string_view value = std::string_view(stored).substr(0, kMaxText);
    std::string_view word;
    std::size_t pos = text::ScanWord(value, 0, word);
    if (pos == text::kNoField)
        return;
    name = CutName(word);
    pos = text::SkipSpace(value, pos);
    if (pos < value.size() && value[pos] == ',')
        text::ScanDecimal(value, pos + 1, number);
}

} // namespace zuta
