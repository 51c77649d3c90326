#pragma once

#include "host/SettingsStore.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zuta::host {

// One line of INI text that could not be understood; the line itself is kept as it stands.
struct IniParseIssue {
    std::size_t line = 0; // 1-based
    std::string message;
};

// The text of an INI file, kept as it was read so that rewriting it changes only the lines whose
// values changed, plus new keys and sections.
//
// Format (a blank is a space or a tab):
// - "[name]" opens a section; blanks around the name are ignored. Text after ']' other than a
//   comment is reported and ignored.
// - "key=value" inside a section; blanks around key and value are ignored. The value runs to
//   the line end (';' and '#' after the '=' are part of it). A key before the first section is
//   reported and kept as text.
// - Lines starting with ';' or '#', and blank lines, are comments. Comments and any line that is
//   not understood are kept verbatim on rewrite.
// - Lines end with LF, CRs before it included; a file whose first line ends with CR LF is
//   rewritten with CR LF, any other with LF. A UTF-8 byte order mark is kept.
// - A value that starts with '"', has blanks at either end or holds CR or LF is written quoted:
//   "..." with the pairs \\, \n and \r inside standing for a backslash, LF and CR. On reading,
//   a value that starts and ends with '"' is unquoted that way (a backslash before any other
//   character stays as it is). Other values are read verbatim, backslashes included.
// - Section and key names are case-sensitive. The first of duplicate keys wins; a section named
//   twice is one section whose keys are looked up in file order.
//
// The document keeps the text in one buffer and, per line, only where it lies and what it is;
// keys are found through an index of line numbers. So it takes little more memory than the text:
// about 20 bytes a line besides it. It holds at most kMaxTextSize bytes of text.
class IniDocument {
public:
    enum class SetResult { Unchanged, Changed, Refused };
    static constexpr std::size_t kMaxTextSize = (std::size_t{1} << 30) - 1;
    // Parsing lists no more issues than this; the last one listed says that more were left out.
    static constexpr std::size_t kMaxIssues = 1000;

    // Never fails: lines that are not understood are kept and, when `issues` is given, reported.
    // Text beyond kMaxTextSize is dropped and reported.
    static IniDocument Parse(std::string_view text, std::vector<IniParseIssue>* issues = nullptr);
    // Parse that keeps `text` itself as the document's buffer instead of a copy of it.
    static IniDocument ParseOwned(std::string&& text, std::vector<IniParseIssue>* issues = nullptr);
    std::string Serialize() const;
    // Serialize in pieces: `sink` gets the text in order, a line or a line end at a time.
    void SerializeTo(const std::function<void(std::string_view)>& sink) const;

    // The value of a key, or nothing when absent.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // Changes a value, or adds the key at the end of its section (the section at the end of the
    // text). Refused, with nothing changed, when the section or key name cannot be written back
    // (see IsValidSectionName and IsValidKey) or the text would grow beyond kMaxTextSize.
    SetResult Set(std::string_view section, std::string_view key, std::string_view value);

    // Section names in order of first appearance, each once.
    std::vector<std::string> Sections() const;
    // Keys of a section in file order, each once.
    std::vector<std::string> Keys(std::string_view section) const;

    // Exactly the names that reading can give: a section name must not contain ']' or LF, nor
    // start or end with a blank.
    static bool IsValidSectionName(std::string_view name);
    // A key must be non-empty, must not contain '=' or LF, must not start or end with a blank and
    // must not start with '[', ';' or '#'. (A CR inside a name is kept like any other byte.)
    static bool IsValidKey(std::string_view key);
    static std::string EncodeValue(std::string_view value);
    // `raw` is the text after '=' with the blanks around it removed.
    static std::string DecodeValue(std::string_view raw);

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    enum class Kind : std::uint8_t { Text, Header, Entry };

    // One line of the text, in text_ at [offset, offset + length) without its line end. Lines
    // are chained in document order through `next`, so a key added inside a section moves no
    // other line.
    struct Line {
        std::uint32_t offset = 0;
        std::uint32_t length : 30 = 0;
        std::uint32_t kind : 2 = 0;
        std::uint32_t next = kNone;
        // Entries: their section. Headers: the next header of the same section (kNone for its
        // last), so that a section's blocks are found without a walk over the whole text.
        std::uint32_t link = kNone;
    };
    static_assert(kMaxTextSize < (std::size_t{1} << 30));
    struct Section {
        std::uint32_t nameLine = kNone;   // its first header, which gives the name
        std::uint32_t lastHeader = kNone; // the header of its last block
        std::uint32_t lastEntry = kNone;  // the last key line of that block, if any
    };
    // Open addressing over line or section numbers; kNone marks a free slot.
    using SlotTable = std::vector<std::uint32_t>;

    std::string_view Raw(const Line& line) const {
        return std::string_view(text_).substr(line.offset, line.length);
    }
    std::string_view Raw(std::uint32_t line) const { return Raw(lines_[line]); }
    std::string_view SectionName(std::uint32_t section) const;
    std::uint32_t FindSection(std::string_view name) const;
    std::uint32_t AddSection(std::uint32_t headerLine, std::string_view name);
    // The line of the first key `key` of `section`, or kNone.
    std::uint32_t FindEntry(std::uint32_t section, std::string_view key) const;
    // Indexes an entry line unless its key is indexed already (the first one wins).
    void IndexEntry(std::uint32_t line);
    void GrowEntryIndex();
    // Adds a line of `raw` after line `after` (kNone: at the end) and returns its number.
    std::uint32_t AddLine(std::string_view raw, Kind kind, std::uint32_t link, std::uint32_t after);
    void AppendParsedLine(std::uint32_t offset, std::uint32_t length, Kind kind,
                          std::uint32_t link);
    void CompactIfWasteful();

    std::string text_;
    std::vector<Line> lines_;
    std::uint32_t head_ = kNone;
    std::uint32_t tail_ = kNone;
    std::vector<Section> sections_;
    SlotTable sectionIndex_;
    SlotTable entryIndex_;
    std::size_t entryCount_ = 0;
    std::size_t garbage_ = 0; // bytes of text_ that no line uses any more
    bool crlf_ = false;
    bool byteOrderMark_ = false;
};

// A settings store kept in an INI file (format: IniDocument). The file is read when the store is
// made; writes stay in memory until Commit, which replaces the file atomically (temporary file,
// flush, rename) and creates its folder when missing. A missing file is an empty store. A path
// that is not a regular file (a device, a FIFO, a folder) or a file larger than kMaxFileSize is
// refused without reading it: Reload fails and lastError says why. Safe to use from several
// threads.
class IniSettingsStore final : public ISettingsStore {
public:
    static constexpr std::size_t kMaxFileSize = std::size_t{256} << 20;

    explicit IniSettingsStore(std::string path);

    // Rereads the file, dropping uncommitted writes; false when the file exists but cannot be
    // read. While that is so, Commit refuses to overwrite the file.
    bool Reload();

    std::uint32_t ReadInt(std::string_view section, std::string_view key,
                          std::uint32_t defaultValue) const override;
    void WriteInt(std::string_view section, std::string_view key, std::uint32_t value) override;
    std::string ReadString(std::string_view section, std::string_view key) const override;
    void WriteString(std::string_view section, std::string_view key,
                     std::string_view value) override;
    // False when the file could not be written, or when a write since the last commit was refused
    // for a section or key name that cannot be stored (the other writes are still committed).
    bool Commit() override;

    const std::string& path() const { return path_; }
    // Lines of the file that were not understood when it was last read.
    std::vector<IniParseIssue> issues() const;
    // Why the last failed Reload or Commit failed.
    std::string lastError() const;
    // The text that Commit would write.
    std::string Text() const;

    static IniDocument Parse(std::string_view text, std::vector<IniParseIssue>* issues = nullptr) {
        return IniDocument::Parse(text, issues);
    }

private:
    void WriteLocked(std::string_view section, std::string_view key, std::string_view value);

    const std::string path_;
    mutable std::mutex mutex_;
    IniDocument document_;
    std::vector<IniParseIssue> issues_;
    std::string lastError_;
    bool dirty_ = false;
    bool writeRefused_ = false;
    bool readFailed_ = false;
};

} // namespace zuta::host
