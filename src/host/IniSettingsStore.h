#pragma once

#include "host/SettingsStore.h"

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zuta::host {

// One line of INI text that could not be understood; the line itself is kept as it stands.
struct IniParseIssue {
    std::size_t line = 0; // 1-based
    std::string message;
};

// The text of an INI file, kept line by line so that rewriting it changes only the lines whose
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
class IniDocument {
public:
    enum class SetResult { Unchanged, Changed, Refused };

    // Never fails: lines that are not understood are kept and, when `issues` is given, reported.
    static IniDocument Parse(std::string_view text, std::vector<IniParseIssue>* issues = nullptr);
    std::string Serialize() const;

    // The value of a key, or nullptr when absent.
    const std::string* Find(std::string_view section, std::string_view key) const;
    // Changes a value, or adds the key at the end of its section (the section at the end of the
    // text). Refused, with nothing changed, when the section or key name cannot be written back
    // (see IsValidSectionName and IsValidKey).
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
    struct Line {
        std::string raw;
        bool isEntry = false;
        std::string key;
        std::string value;
    };
    struct Block {
        std::string name;
        std::string headerRaw;
        std::vector<Line> lines;
        std::map<std::string, std::size_t, std::less<>> keyIndex; // first line of each key
    };

    const Line* FindLine(std::string_view section, std::string_view key) const;
    void AddBlankSeparator();

    std::vector<Line> preamble_; // lines before the first section
    std::vector<Block> blocks_;
    std::map<std::string, std::vector<std::size_t>, std::less<>> blockIndex_;
    bool crlf_ = false;
    bool byteOrderMark_ = false;
};

// A settings store kept in an INI file (format: IniDocument). The file is read when the store is
// made; writes stay in memory until Commit, which replaces the file atomically (temporary file,
// flush, rename) and creates its folder when missing. A missing file is an empty store. Safe to
// use from several threads.
class IniSettingsStore final : public ISettingsStore {
public:
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
