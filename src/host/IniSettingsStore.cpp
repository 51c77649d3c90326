#include "host/IniSettingsStore.h"

#include "host/AtomicFile.h"
#include "host/SettingsText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
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
    return ParseOwned(std::string(text.substr(0, kMaxTextSize + 1)), issues);
}

IniDocument IniDocument::ParseOwned(std::string&& buffer, std::vector<IniParseIssue>* issues) {
    IniDocument doc;
    doc.text_ = std::move(buffer);
    std::size_t issueCount = 0;
    const auto report = [&](std::size_t line, const char* message) {
        if (issues == nullptr || issueCount > kMaxIssues)
            return;
        ++issueCount;
        issues->push_back({line, issueCount > kMaxIssues
                                     ? "more lines that were not understood are not listed"
                                     : message});
    };
    bool cut = false;
    if (doc.text_.size() > kMaxTextSize) {
        doc.text_.resize(kMaxTextSize);
        cut = true;
    }

    std::string_view text(doc.text_);
    std::size_t pos = 0;
    if (text.starts_with(kByteOrderMark)) {
        doc.byteOrderMark_ = true;
        pos = kByteOrderMark.size();
    }
    const std::size_t firstEnd = text.find('\n', pos);
    doc.crlf_ = firstEnd != text.npos && firstEnd > pos && text[firstEnd - 1] == '\r';

    // Counting the lines first sizes both tables once, with no slack from growing.
    const std::size_t lineCount =
        static_cast<std::size_t>(
            std::count(text.begin() + static_cast<std::ptrdiff_t>(pos), text.end(), '\n')) +
        1;
    doc.lines_.reserve(lineCount);
    std::size_t slots = 16;
    while (slots * 3 < lineCount * 4)
        slots *= 2;
    doc.entryIndex_.assign(slots, kNone);

    std::uint32_t section = kNone;
    std::size_t lineNumber = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == text.npos)
            end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        const auto offset = static_cast<std::uint32_t>(pos);
        pos = end + 1;
        ++lineNumber;
        // Every trailing CR goes with the line end, so a rewrite reads back the same way.
        while (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        const auto length = static_cast<std::uint32_t>(raw.size());
        const std::string_view trimmed = Trim(raw);

        if (trimmed.empty() || IsComment(trimmed)) {
            doc.AppendParsedLine(offset, length, Kind::Text, kNone);
            continue;
        }
        if (trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            if (close == trimmed.npos) {
                report(lineNumber, "section header without ']' kept as text");
                doc.AppendParsedLine(offset, length, Kind::Text, kNone);
                continue;
            }
            const std::string_view rest = Trim(trimmed.substr(close + 1));
            if (!rest.empty() && !IsComment(rest))
                report(lineNumber, "text after the section header ignored");
            const auto line = static_cast<std::uint32_t>(doc.lines_.size());
            const std::string_view name = Trim(trimmed.substr(1, close - 1));
            section = doc.FindSection(name);
            if (section == kNone)
                section = doc.AddSection(line, name);
            else
                doc.lines_[doc.sections_[section].lastHeader].link = line;
            doc.AppendParsedLine(offset, length, Kind::Header, kNone);
            doc.sections_[section].lastHeader = line;
            doc.sections_[section].lastEntry = kNone;
            continue;
        }
        const std::size_t equals = trimmed.find('=');
        if (equals == trimmed.npos) {
            report(lineNumber, "line is neither a section header, a comment nor key=value");
            doc.AppendParsedLine(offset, length, Kind::Text, kNone);
            continue;
        }
        if (Trim(trimmed.substr(0, equals)).empty()) {
            report(lineNumber, "key=value line without a key kept as text");
            doc.AppendParsedLine(offset, length, Kind::Text, kNone);
            continue;
        }
        if (section == kNone) {
            report(lineNumber, "key outside any section kept as text");
            doc.AppendParsedLine(offset, length, Kind::Text, kNone);
            continue;
        }
        const auto line = static_cast<std::uint32_t>(doc.lines_.size());
        doc.AppendParsedLine(offset, length, Kind::Entry, section);
        doc.IndexEntry(line);
        doc.sections_[section].lastEntry = line;
    }
    if (cut)
        report(lineNumber + 1, "text beyond 1 GiB dropped");
    return doc;
}

void IniDocument::AppendParsedLine(std::uint32_t offset, std::uint32_t length, Kind kind,
                                   std::uint32_t link) {
    const auto number = static_cast<std::uint32_t>(lines_.size());
    Line line;
    line.offset = offset;
    line.length = length;
    line.kind = static_cast<std::uint32_t>(kind);
    line.link = link;
    lines_.push_back(line);
    if (tail_ == kNone)
        head_ = number;
    else
        lines_[tail_].next = number;
    tail_ = number;
}

std::uint32_t IniDocument::AddLine(std::string_view raw, Kind kind, std::uint32_t link,
                                   std::uint32_t after) {
    const auto number = static_cast<std::uint32_t>(lines_.size());
    Line line;
    line.offset = static_cast<std::uint32_t>(text_.size());
    line.length = static_cast<std::uint32_t>(raw.size());
    line.kind = static_cast<std::uint32_t>(kind);
    line.link = link;
    text_ += raw;
    if (after == kNone)
        after = tail_;
    if (after == kNone) {
        head_ = number;
    } else {
        line.next = lines_[after].next;
        lines_[after].next = number;
    }
    if (after == tail_)
        tail_ = number;
    lines_.push_back(line);
    return number;
}

void IniDocument::SerializeTo(const std::function<void(std::string_view)>& sink) const {
    const std::string_view eol = crlf_ ? "\r\n" : "\n";
    if (byteOrderMark_)
        sink(kByteOrderMark);
    for (std::uint32_t line = head_; line != kNone; line = lines_[line].next) {
        sink(Raw(line));
        sink(eol);
    }
}

std::string IniDocument::Serialize() const {
    std::string out;
    out.reserve(text_.size() - garbage_ + lines_.size() * (crlf_ ? 2 : 1));
    SerializeTo([&out](std::string_view piece) { out += piece; });
    return out;
}

std::string_view IniDocument::SectionName(std::uint32_t section) const {
    const std::string_view trimmed = Trim(Raw(sections_[section].nameLine));
    return Trim(trimmed.substr(1, trimmed.find(']') - 1));
}

std::uint32_t IniDocument::FindSection(std::string_view name) const {
    if (sectionIndex_.empty())
        return kNone;
    const std::size_t mask = sectionIndex_.size() - 1;
    for (std::size_t i = std::hash<std::string_view>()(name) & mask;; i = (i + 1) & mask) {
        const std::uint32_t section = sectionIndex_[i];
        if (section == kNone || SectionName(section) == name)
            return section;
    }
}

std::uint32_t IniDocument::AddSection(std::uint32_t headerLine, std::string_view name) {
    const auto section = static_cast<std::uint32_t>(sections_.size());
    sections_.push_back({headerLine, headerLine, kNone});
    if ((sections_.size() + 1) * 4 > sectionIndex_.size() * 3) {
        SlotTable grown(std::max<std::size_t>(16, sectionIndex_.size() * 2), kNone);
        std::swap(grown, sectionIndex_);
        // The new section's header may not be a line yet: its name is placed by hand below.
        for (const std::uint32_t old : grown) {
            if (old == kNone)
                continue;
            std::size_t i =
                std::hash<std::string_view>()(SectionName(old)) & (sectionIndex_.size() - 1);
            while (sectionIndex_[i] != kNone)
                i = (i + 1) & (sectionIndex_.size() - 1);
            sectionIndex_[i] = old;
        }
    }
    const std::size_t mask = sectionIndex_.size() - 1;
    std::size_t i = std::hash<std::string_view>()(name) & mask;
    while (sectionIndex_[i] != kNone)
        i = (i + 1) & mask;
    sectionIndex_[i] = section;
    return section;
}

namespace {

std::size_t EntryHash(std::uint32_t section, std::string_view key) {
    return std::hash<std::string_view>()(key) ^ (std::size_t{section} * 0x9E3779B97F4A7C15ull);
}

// Key and raw value of an entry line.
std::pair<std::string_view, std::string_view> SplitEntry(std::string_view raw) {
    const std::string_view trimmed = Trim(raw);
    const std::size_t equals = trimmed.find('=');
    return {Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
}

} // namespace

std::uint32_t IniDocument::FindEntry(std::uint32_t section, std::string_view key) const {
    if (entryIndex_.empty())
        return kNone;
    const std::size_t mask = entryIndex_.size() - 1;
    for (std::size_t i = EntryHash(section, key) & mask;; i = (i + 1) & mask) {
        const std::uint32_t line = entryIndex_[i];
        if (line == kNone || (lines_[line].link == section && SplitEntry(Raw(line)).first == key))
            return line;
    }
}

void IniDocument::IndexEntry(std::uint32_t line) {
    if ((entryCount_ + 1) * 4 > entryIndex_.size() * 3)
        GrowEntryIndex();
    const Line& entry = lines_[line];
    const std::string_view key = SplitEntry(Raw(entry)).first;
    const std::size_t mask = entryIndex_.size() - 1;
    std::size_t i = EntryHash(entry.link, key) & mask;
    for (; entryIndex_[i] != kNone; i = (i + 1) & mask) {
        const std::uint32_t other = entryIndex_[i];
        if (lines_[other].link == entry.link && SplitEntry(Raw(other)).first == key)
            return;
    }
    entryIndex_[i] = line;
    ++entryCount_;
}

void IniDocument::GrowEntryIndex() {
    SlotTable old(std::max<std::size_t>(16, entryIndex_.size() * 2), kNone);
    std::swap(old, entryIndex_);
    const std::size_t mask = entryIndex_.size() - 1;
    for (const std::uint32_t line : old) {
        if (line == kNone)
            continue;
        std::size_t i = EntryHash(lines_[line].link, SplitEntry(Raw(line)).first) & mask;
        while (entryIndex_[i] != kNone)
            i = (i + 1) & mask;
        entryIndex_[i] = line;
    }
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    const std::uint32_t id = FindSection(section);
    if (id == kNone)
        return std::nullopt;
    const std::uint32_t line = FindEntry(id, key);
    if (line == kNone)
        return std::nullopt;
    return DecodeValue(SplitEntry(Raw(line)).second);
}

IniDocument::SetResult IniDocument::Set(std::string_view section, std::string_view key,
                                        std::string_view value) {
    if (!IsValidSectionName(section) || !IsValidKey(key))
        return SetResult::Refused;
    const std::uint32_t id = FindSection(section);
    const std::uint32_t found = id == kNone ? kNone : FindEntry(id, key);
    const std::string raw = std::string(key) + "=" + EncodeValue(value);
    if (found != kNone) {
        if (DecodeValue(SplitEntry(Raw(found)).second) == value)
            return SetResult::Unchanged;
        if (text_.size() - garbage_ - lines_[found].length + raw.size() > kMaxTextSize)
            return SetResult::Refused;
        Line& line = lines_[found];
        garbage_ += line.length;
        line.offset = static_cast<std::uint32_t>(text_.size());
        line.length = static_cast<std::uint32_t>(raw.size());
        text_ += raw;
        CompactIfWasteful();
        return SetResult::Changed;
    }

    // A new section needs its header and, after text that is not blank, a blank line before it.
    const std::size_t header = id == kNone ? section.size() + 3 : 0;
    if (text_.size() - garbage_ + raw.size() + header > kMaxTextSize)
        return SetResult::Refused;
    if (id == kNone) {
        if (tail_ != kNone && !Trim(Raw(tail_)).empty())
            AddLine("", Kind::Text, kNone, kNone);
        const std::string headerRaw = "[" + std::string(section) + "]";
        const std::uint32_t headerLine = AddLine(headerRaw, Kind::Header, kNone, kNone);
        const std::uint32_t added = AddSection(headerLine, section);
        const std::uint32_t line = AddLine(raw, Kind::Entry, added, kNone);
        IndexEntry(line);
        sections_[added].lastEntry = line;
        return SetResult::Changed;
    }
    // After the section's last key, so that comments and blank lines that lead into the next
    // section stay with it.
    Section& target = sections_[id];
    const std::uint32_t after = target.lastEntry != kNone ? target.lastEntry : target.lastHeader;
    const std::uint32_t line = AddLine(raw, Kind::Entry, id, after);
    IndexEntry(line);
    sections_[id].lastEntry = line;
    return SetResult::Changed;
}

void IniDocument::CompactIfWasteful() {
    if (garbage_ < (std::size_t{1} << 20) || garbage_ * 2 < text_.size())
        return;
    std::string compact;
    compact.reserve(text_.size() - garbage_);
    for (std::uint32_t line = head_; line != kNone; line = lines_[line].next) {
        Line& l = lines_[line];
        const std::string_view raw = Raw(l);
        l.offset = static_cast<std::uint32_t>(compact.size());
        compact += raw;
    }
    text_ = std::move(compact);
    garbage_ = 0;
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (std::uint32_t s = 0; s < sections_.size(); ++s)
        names.emplace_back(SectionName(s));
    return names;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const std::uint32_t id = FindSection(section);
    if (id == kNone)
        return keys;
    for (std::uint32_t header = sections_[id].nameLine; header != kNone;
         header = lines_[header].link) {
        for (std::uint32_t line = lines_[header].next;
             line != kNone && static_cast<Kind>(lines_[line].kind) != Kind::Header;
             line = lines_[line].next) {
            if (static_cast<Kind>(lines_[line].kind) != Kind::Entry)
                continue;
            const std::string_view key = SplitEntry(Raw(line)).first;
            if (FindEntry(id, key) == line)
                keys.emplace_back(key);
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

    const auto fail = [this](const std::string& reason) {
        readFailed_ = true;
        lastError_ = "cannot read '" + path_ + "': " + reason;
        return false;
    };
    // Without O_NONBLOCK, opening a FIFO would wait for a writer.
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? true : fail(std::strerror(errno));
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return fail(std::strerror(errno));
    if (S_ISDIR(info.st_mode))
        return fail("it is a folder");
    // A device or FIFO may never end (/dev/zero) or never deliver anything.
    if (!S_ISREG(info.st_mode))
        return fail("it is not a regular file");
    const std::string tooLarge = "it is larger than " + std::to_string(kMaxFileSize >> 20) + " MiB";
    if (static_cast<std::uint64_t>(info.st_size) > kMaxFileSize)
        return fail(tooLarge);

    // The size is a hint only: the file may grow while it is read, or claim no size at all.
    std::string text;
    text.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            if (text.size() > kMaxFileSize)
                return fail(tooLarge);
            text.resize(std::min(kMaxFileSize + 1, std::max<std::size_t>(text.size() * 2, 8192)));
        }
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(std::strerror(errno));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got > kMaxFileSize)
        return fail(tooLarge);
    text.resize(got);
    document_ = IniDocument::ParseOwned(std::move(text), &issues_);
    return true;
}

std::uint32_t IniSettingsStore::ReadInt(std::string_view section, std::string_view key,
                                        std::uint32_t defaultValue) const {
    const std::lock_guard lock(mutex_);
    const std::optional<std::string> text = document_.Find(section, key);
    if (!text)
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
    return document_.Find(section, key).value_or(std::string());
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
            AtomicFileWriter file;
            ok = file.Open(path_, error);
            if (ok) {
                document_.SerializeTo([&file](std::string_view piece) { file.Write(piece); });
                ok = file.Commit(error);
            }
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
