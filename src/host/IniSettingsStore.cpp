#include "host/IniSettingsStore.h"

#include "host/AtomicFile.h"
#include "host/SettingsText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

namespace zuta::host {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsComment(std::string_view trimmed) {
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

bool HasLineEnd(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

} // namespace

IniDocument IniDocument::Parse(std::string_view text, std::vector<IniParseIssue>* issues) {
    IniDocument doc;
    if (text.starts_with(kByteOrderMark)) {
        doc.byteOrderMark_ = true;
        text.remove_prefix(kByteOrderMark.size());
    }
    const std::size_t firstEnd = text.find('\n');
    doc.crlf_ = firstEnd != text.npos && firstEnd > 0 && text[firstEnd - 1] == '\r';

    const auto report = [issues](std::size_t line, std::string message) {
        if (issues != nullptr)
            issues->push_back({line, std::move(message)});
    };

    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == text.npos)
            end = text.size();
        std::string_view rawView = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        // Every trailing CR goes with the line end, so a rewrite reads back the same way.
        while (!rawView.empty() && rawView.back() == '\r')
            rawView.remove_suffix(1);

        Line line{std::string(rawView), false, {}, {}};
        const std::string_view trimmed = Trim(rawView);
        std::vector<Line>& target = doc.blocks_.empty() ? doc.preamble_ : doc.blocks_.back().lines;

        if (trimmed.empty() || IsComment(trimmed)) {
            target.push_back(std::move(line));
            continue;
        }
        if (trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            if (close == trimmed.npos) {
                report(lineNumber, "section header without ']' kept as text");
                target.push_back(std::move(line));
                continue;
            }
            const std::string_view rest = Trim(trimmed.substr(close + 1));
            if (!rest.empty() && !IsComment(rest))
                report(lineNumber, "text after the section header ignored");
            Block block;
            block.name = std::string(Trim(trimmed.substr(1, close - 1)));
            block.headerRaw = std::move(line.raw);
            doc.blockIndex_[block.name].push_back(doc.blocks_.size());
            doc.blocks_.push_back(std::move(block));
            continue;
        }
        const std::size_t equals = trimmed.find('=');
        if (equals == trimmed.npos) {
            report(lineNumber, "line is neither a section header, a comment nor key=value");
            target.push_back(std::move(line));
            continue;
        }
        const std::string_view key = Trim(trimmed.substr(0, equals));
        if (key.empty()) {
            report(lineNumber, "key=value line without a key kept as text");
            target.push_back(std::move(line));
            continue;
        }
        if (doc.blocks_.empty()) {
            report(lineNumber, "key outside any section kept as text");
            target.push_back(std::move(line));
            continue;
        }
        line.isEntry = true;
        line.key = std::string(key);
        line.value = DecodeValue(Trim(trimmed.substr(equals + 1)));
        Block& block = doc.blocks_.back();
        block.keyIndex.emplace(line.key, block.lines.size());
        block.lines.push_back(std::move(line));
    }
    return doc;
}

std::string IniDocument::Serialize() const {
    const std::string_view eol = crlf_ ? "\r\n" : "\n";
    std::string out;
    if (byteOrderMark_)
        out += kByteOrderMark;
    const auto append = [&](const std::string& raw) {
        out += raw;
        out += eol;
    };
    for (const Line& line : preamble_)
        append(line.raw);
    for (const Block& block : blocks_) {
        append(block.headerRaw);
        for (const Line& line : block.lines)
            append(line.raw);
    }
    return out;
}

const IniDocument::Line* IniDocument::FindLine(std::string_view section,
                                               std::string_view key) const {
    const auto blocks = blockIndex_.find(section);
    if (blocks == blockIndex_.end())
        return nullptr;
    for (const std::size_t b : blocks->second) {
        const Block& block = blocks_[b];
        const auto found = block.keyIndex.find(key);
        if (found != block.keyIndex.end())
            return &block.lines[found->second];
    }
    return nullptr;
}

const std::string* IniDocument::Find(std::string_view section, std::string_view key) const {
    const Line* line = FindLine(section, key);
    return line == nullptr ? nullptr : &line->value;
}

IniDocument::SetResult IniDocument::Set(std::string_view section, std::string_view key,
                                        std::string_view value) {
    if (!IsValidSectionName(section) || !IsValidKey(key))
        return SetResult::Refused;
    if (const Line* found = FindLine(section, key)) {
        // The document is not const here; FindLine is shared with the const lookups.
        Line& line = const_cast<Line&>(*found);
        if (line.value == value)
            return SetResult::Unchanged;
        line.value = std::string(value);
        line.raw = line.key + "=" + EncodeValue(value);
        return SetResult::Changed;
    }

    Line line{std::string(key) + "=" + EncodeValue(value), true, std::string(key),
              std::string(value)};
    const auto blocks = blockIndex_.find(section);
    if (blocks == blockIndex_.end()) {
        AddBlankSeparator();
        Block block;
        block.name = std::string(section);
        block.headerRaw = "[" + block.name + "]";
        block.keyIndex.emplace(line.key, 0);
        block.lines.push_back(std::move(line));
        blockIndex_[block.name].push_back(blocks_.size());
        blocks_.push_back(std::move(block));
        return SetResult::Changed;
    }
    // After the section's last key, so that comments and blank lines that lead into the next
    // section stay with it. Only non-key lines follow, so no indexed position moves.
    Block& block = blocks_[blocks->second.back()];
    std::size_t at = block.lines.size();
    while (at > 0 && !block.lines[at - 1].isEntry)
        --at;
    block.keyIndex.emplace(line.key, at);
    block.lines.insert(block.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    return SetResult::Changed;
}

void IniDocument::AddBlankSeparator() {
    std::vector<Line>* container = &preamble_;
    const std::string* last = preamble_.empty() ? nullptr : &preamble_.back().raw;
    if (!blocks_.empty()) {
        Block& block = blocks_.back();
        container = &block.lines;
        last = block.lines.empty() ? &block.headerRaw : &block.lines.back().raw;
    }
    if (last != nullptr && !Trim(*last).empty())
        container->push_back(Line{});
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> names;
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        if (blockIndex_.find(blocks_[b].name)->second.front() == b)
            names.push_back(blocks_[b].name);
    }
    return names;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const auto blocks = blockIndex_.find(section);
    if (blocks == blockIndex_.end())
        return keys;
    for (const std::size_t b : blocks->second) {
        for (const Line& line : blocks_[b].lines) {
            if (line.isEntry && FindLine(section, line.key) == &line)
                keys.push_back(line.key);
        }
    }
    return keys;
}

bool IniDocument::IsValidSectionName(std::string_view name) {
    if (name.find_first_of("]\n") != name.npos)
        return false;
    return name.empty() || (!IsBlank(name.front()) && !IsBlank(name.back()));
}

bool IniDocument::IsValidKey(std::string_view key) {
    if (key.empty() || key.find_first_of("=\n") != key.npos)
        return false;
    if (IsBlank(key.front()) || IsBlank(key.back()))
        return false;
    return key.front() != '[' && key.front() != ';' && key.front() != '#';
}

std::string IniDocument::EncodeValue(std::string_view value) {
    const bool quote = HasLineEnd(value) ||
                       (!value.empty() &&
                        (IsBlank(value.front()) || IsBlank(value.back()) || value.front() == '"'));
    if (!quote)
        return std::string(value);
    std::string out = "\"";
    for (const char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string IniDocument::DecodeValue(std::string_view raw) {
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"')
        return std::string(raw);
    const std::string_view inner = raw.substr(1, raw.size() - 2);
    std::string out;
    out.reserve(inner.size());
    for (std::size_t i = 0; i < inner.size(); ++i) {
        const char c = inner[i];
        if (c == '\\' && i + 1 < inner.size()) {
            const char next = inner[i + 1];
            if (next == '\\' || next == 'n' || next == 'r') {
                out += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

IniSettingsStore::IniSettingsStore(std::string path) : path_(std::move(path)) {
    Reload();
}

bool IniSettingsStore::Reload() {
    const std::lock_guard lock(mutex_);
    document_ = IniDocument();
    issues_.clear();
    dirty_ = false;
    writeRefused_ = false;
    readFailed_ = false;

    std::error_code ec;
    const auto status = std::filesystem::status(path_, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return true;
    const auto fail = [this](const std::string& reason) {
        readFailed_ = true;
        lastError_ = "cannot read '" + path_ + "': " + reason;
        return false;
    };
    if (ec)
        return fail(ec.message());
    if (std::filesystem::is_directory(status))
        return fail("it is a folder");

    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path_.c_str(), "rb"),
                                                               &std::fclose);
    if (!file)
        return fail(std::strerror(errno));
    std::string text;
    char buffer[8192];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        text.append(buffer, count);
    if (std::ferror(file.get()) != 0)
        return fail(std::strerror(errno));
    document_ = IniDocument::Parse(text, &issues_);
    return true;
}

std::uint32_t IniSettingsStore::ReadInt(std::string_view section, std::string_view key,
                                        std::uint32_t defaultValue) const {
    const std::lock_guard lock(mutex_);
    const std::string* text = document_.Find(section, key);
    if (text == nullptr)
        return defaultValue;
    return ParseSettingsInt(*text).value_or(defaultValue);
}

void IniSettingsStore::WriteInt(std::string_view section, std::string_view key,
                                std::uint32_t value) {
    const std::lock_guard lock(mutex_);
    WriteLocked(section, key, FormatSettingsInt(value));
}

std::string IniSettingsStore::ReadString(std::string_view section, std::string_view key) const {
    const std::lock_guard lock(mutex_);
    const std::string* text = document_.Find(section, key);
    return text == nullptr ? std::string() : *text;
}

void IniSettingsStore::WriteString(std::string_view section, std::string_view key,
                                   std::string_view value) {
    const std::lock_guard lock(mutex_);
    WriteLocked(section, key, value);
}

void IniSettingsStore::WriteLocked(std::string_view section, std::string_view key,
                                   std::string_view value) {
    switch (document_.Set(section, key, value)) {
    case IniDocument::SetResult::Changed:
        dirty_ = true;
        break;
    case IniDocument::SetResult::Refused:
        if (!writeRefused_)
            lastError_ = "cannot store key '" + std::string(key) + "' of section '" +
                         std::string(section) + "'";
        writeRefused_ = true;
        break;
    case IniDocument::SetResult::Unchanged:
        break;
    }
}

bool IniSettingsStore::Commit() {
    const std::lock_guard lock(mutex_);
    if (readFailed_) {
        // Writing now would replace settings that were never read.
        lastError_ = "not written: '" + path_ + "' could not be read";
        return false;
    }
    bool ok = true;
    if (dirty_) {
        std::string error;
        const std::filesystem::path parent = std::filesystem::path(path_).parent_path();
        std::error_code ec;
        if (!parent.empty())
            std::filesystem::create_directories(parent, ec);
        if (ec) {
            error = "cannot create folder '" + parent.string() + "': " + ec.message();
            ok = false;
        } else {
            ok = WriteFileAtomically(path_, document_.Serialize(), error);
        }
        if (ok)
            dirty_ = false;
        else
            lastError_ = error;
    }
    if (writeRefused_) {
        writeRefused_ = false;
        ok = false;
    }
    return ok;
}

std::vector<IniParseIssue> IniSettingsStore::issues() const {
    const std::lock_guard lock(mutex_);
    return issues_;
}

std::string IniSettingsStore::lastError() const {
    const std::lock_guard lock(mutex_);
    return lastError_;
}

std::string IniSettingsStore::Text() const {
    const std::lock_guard lock(mutex_);
    return document_.Serialize();
}

} // namespace zuta::host
