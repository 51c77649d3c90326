#include "host/IniSettingsStore.h"

#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace zuta::host {
namespace {

using test::ReadFileBytes;
using test::TempFolder;
using test::WriteFileBytes;

const std::string kDataDir = std::string(ZUTA_TEST_DATA_DIR) + "/host/";

std::vector<std::size_t> IssueLines(const std::vector<IniParseIssue>& issues) {
    std::vector<std::size_t> lines;
    for (const IniParseIssue& issue : issues) {
        EXPECT_FALSE(issue.message.empty());
        lines.push_back(issue.line);
    }
    return lines;
}

TEST(IniDocument, ReadsValuesAsWritten) {
    struct Case {
        const char* line;
        std::string value;
    };
    const Case cases[] = {{"  k  =  value with  inner blanks \t", "value with  inner blanks"},
                          {"k=a=b ; not a comment", "a=b ; not a comment"},
                          {"k=  \"  padded  \"  ", "  padded  "},
                          {"k=\"a\\nb\\rc\\\\d\"", "a\nb\rc\\d"},
                          {"k=C:\\new\\table", "C:\\new\\table"},
                          {"k=\"open", "\"open"}};
    for (const Case& c : cases) {
        const IniDocument doc = IniDocument::Parse(std::string("[s]\n") + c.line + "\n");
        const std::optional<std::string> value = doc.Find("s", "k");
        ASSERT_TRUE(value) << c.line;
        EXPECT_EQ(*value, c.value) << c.line;
    }
}

TEST(IniDocument, EncodedValuesReadBackExactly) {
    std::vector<std::string> values = {"",     " lead",         "trail ",       "\"quoted\"",
                                       "cr\r", "back\\slash\\", "C:\\ZUTAData", "\x01\x7f\xfe\xff"};
    values.insert(values.end(), {"\\n is not a line end", "two\nlines"});
    values.emplace_back("nul\0byte", 8);
    IniDocument doc;
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(doc.Set("odd", "v" + std::to_string(i), values[i]),
                  IniDocument::SetResult::Changed);
    const std::string text = doc.Serialize();
    std::vector<IniParseIssue> issues;
    const IniDocument back = IniDocument::Parse(text, &issues);
    EXPECT_TRUE(issues.empty());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::optional<std::string> value = back.Find("odd", "v" + std::to_string(i));
        ASSERT_TRUE(value);
        EXPECT_EQ(*value, values[i]) << i;
    }
    // Line ends inside values never add lines: the header and one line per value.
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')),
              values.size() + 1);
    // Only values that need it are quoted.
    EXPECT_NE(text.find("=C:\\ZUTAData\n"), std::string::npos);
}

TEST(IniDocument, UntouchedTextIsRewrittenAsItStands) {
    const std::string lf = "; head\n\n[A]\n  x = 1  \n# note\nnot understood\n[B]\ny=\"q\"\n";
    EXPECT_EQ(IniDocument::Parse(lf).Serialize(), lf);
    const std::string crlf = "\xEF\xBB\xBF[A]\r\nx=1\r\n\r\n[B]\r\n";
    EXPECT_EQ(IniDocument::Parse(crlf).Serialize(), crlf);
    // The byte order mark is not part of the first section's name.
    EXPECT_EQ(IniDocument::Parse(crlf).Find("A", "x"), "1");
    EXPECT_EQ(IniDocument::Parse("").Serialize(), "");
    EXPECT_EQ(IniDocument::Parse("[A]\nx=1").Serialize(), "[A]\nx=1\n");
}

TEST(IniDocument, BadLinesAreReportedAndKept) {
    const std::string text = ReadFileBytes(kDataDir + "bad_lines.ini");
    ASSERT_FALSE(text.empty());
    std::vector<IniParseIssue> issues;
    const IniDocument doc = IniDocument::Parse(text, &issues);
    EXPECT_EQ(IssueLines(issues), (std::vector<std::size_t>{1, 5, 6, 7, 9}));
    EXPECT_EQ(doc.Serialize(), text + "\n");

    EXPECT_FALSE(doc.Find("", "key before"));
    EXPECT_EQ(*doc.Find("Good", "a"), "1");
    EXPECT_EQ(*doc.Find("Tail", "b"), "2");
    EXPECT_EQ(*doc.Find("Commented", "c"), "3");
    EXPECT_EQ(*doc.Find("Good", "d"), "4");
    EXPECT_EQ(doc.Sections(), (std::vector<std::string>{"Good", "Tail", "Commented"}));
    EXPECT_EQ(doc.Keys("Good"), (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(doc.Keys("Commented"), (std::vector<std::string>{"c"}));
}

// Many writes over many sections, values growing and shrinking so that the text is compacted on
// the way: every value reads back as a plain map of the writes has it, before and after a rewrite.
TEST(IniDocument, ManyWritesReadBackAsAPlainMapHasThem) {
    IniDocument doc = IniDocument::Parse("; head\n[S0]\nk0=first\n\n; about S1\n[S1]\n");
    std::map<std::pair<std::string, std::string>, std::string> model{{{"S0", "k0"}, "first"}};
    std::uint64_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(seed >> 33);
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string section = "S" + std::to_string(next() % 40);
        const std::string key = "k" + std::to_string(next() % 50);
        std::string value(next() % 3 == 0 ? 200 + next() % 600 : next() % 12, 'a' + next() % 26);
        if (next() % 5 == 0)
            value = " padded\n" + value;
        const bool same = model.count({section, key}) && model[{section, key}] == value;
        EXPECT_EQ(doc.Set(section, key, value),
                  same ? IniDocument::SetResult::Unchanged : IniDocument::SetResult::Changed);
        model[{section, key}] = value;
    }
    const IniDocument reread = IniDocument::Parse(doc.Serialize());
    for (const auto& [name, value] : model) {
        ASSERT_EQ(doc.Find(name.first, name.second), value) << name.first << " " << name.second;
        ASSERT_EQ(reread.Find(name.first, name.second), value);
    }
    EXPECT_EQ(doc.Sections().size(), 40u);
    EXPECT_EQ(reread.Sections(), doc.Sections());
    EXPECT_EQ(reread.Keys("S7"), doc.Keys("S7"));
    EXPECT_TRUE(doc.Serialize().starts_with("; head\n[S0]\nk0="));
}

TEST(IniDocument, NewKeysFollowTheLastKeyOfTheirSection) {
    IniDocument doc = IniDocument::Parse("[A]\nx=1\n; about B\n\n[B]\ny=2\n[A]\nz=3\n\n");
    doc.Set("A", "new", "n");
    doc.Set("B", "y", "changed");
    doc.Set("C", "c", "1");
    doc.Set("A", "x", "1");
    EXPECT_EQ(doc.Serialize(),
              "[A]\nx=1\n; about B\n\n[B]\ny=changed\n[A]\nz=3\nnew=n\n\n[C]\nc=1\n");
    EXPECT_EQ(doc.Keys("A"), (std::vector<std::string>{"x", "z", "new"}));

    IniDocument empty;
    empty.Set("First", "k", "v");
    empty.Set("Second", "k", "v");
    EXPECT_EQ(empty.Serialize(), "[First]\nk=v\n\n[Second]\nk=v\n");
}

TEST(IniDocument, RefusesNamesThatCannotBeWrittenBack) {
    IniDocument doc;
    for (const char* key : {"", "a=b", " lead", "trail ", "[x", ";x", "#x", "two\nlines"})
        EXPECT_EQ(doc.Set("s", key, "v"), IniDocument::SetResult::Refused) << key;
    for (const char* section : {"a]b", " lead", "trail ", "two\nlines"})
        EXPECT_EQ(doc.Set(section, "k", "v"), IniDocument::SetResult::Refused) << section;
    EXPECT_EQ(doc.Serialize(), "");
    EXPECT_EQ(doc.Set("", "k=", "v"), IniDocument::SetResult::Refused);
    EXPECT_EQ(doc.Set("", "k", "v"), IniDocument::SetResult::Changed);
    EXPECT_EQ(doc.Set("cr\r", "\rcr\r", "v"), IniDocument::SetResult::Changed);
    const IniDocument back = IniDocument::Parse(doc.Serialize());
    EXPECT_EQ(*back.Find("", "k"), "v");
    EXPECT_EQ(*back.Find("cr\r", "\rcr\r"), "v");
}

TEST(IniSettingsStore, CrLfFileIsReadAndRewrittenInPlace) {
    TempFolder dir;
    const std::string path = dir / "settings.ini";
    std::filesystem::copy_file(kDataDir + "crlf.ini", path);

    IniSettingsStore store(path);
    EXPECT_EQ(IssueLines(store.issues()), (std::vector<std::size_t>{11}));
    EXPECT_EQ(store.ReadInt("Performace Settings", "CPU type", 7), 1u);
    EXPECT_EQ(store.ReadString("Performace Settings", "VTune Exe Path"), "C:\\ZUTAData");
    EXPECT_EQ(store.ReadString("Performace Settings", "Clock Rate Delimiter"), "208.000000");
    EXPECT_EQ(store.ReadString("IRQ Mapping", "1"), "  padded  ");
    EXPECT_EQ(store.ReadString("Fn Mapping", "0"), "InitL1 , 3");

    store.WriteInt("Performace Settings", "CPU type", 1);
    store.WriteString("Performace Settings", "Mask Event", "Idle");
    store.WriteInt("Performace Settings", "Trash", 2000);
    store.WriteString("IRQ Mapping", "2", "DMAC");
    store.WriteString("New Section", "multi", " two\nlines");
    ASSERT_TRUE(store.Commit()) << store.lastError();
    EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(kDataDir + "crlf.expected.ini"));

    IniSettingsStore reread(path);
    EXPECT_EQ(reread.ReadString("New Section", "multi"), " two\nlines");
    EXPECT_EQ(reread.ReadInt("Performace Settings", "Trash", 0), 2000u);
}

// A key that cannot be written back fails the commit, but the other writes are kept.
TEST(IniSettingsStore, MissingFileIsCreatedWithTheWritesItCanHold) {
    TempFolder dir;
    const std::string path = dir / "a/b/settings.ini";
    IniSettingsStore store(path);
    EXPECT_EQ(store.ReadString("s", "k"), "");
    EXPECT_TRUE(store.Commit());
    EXPECT_FALSE(std::filesystem::exists(path)) << "nothing written, nothing to create";

    store.WriteString("s", "k", "v");
    store.WriteString("s", "bad=key", "2");
    EXPECT_EQ(store.ReadString("s", "bad=key"), "");
    EXPECT_FALSE(store.Commit());
    EXPECT_NE(store.lastError().find("bad=key"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(path), "[s]\nk=v\n");
    EXPECT_EQ(std::filesystem::directory_iterator(dir / "a/b")->path().filename(), "settings.ini");
    EXPECT_TRUE(store.Commit());
}

TEST(IniSettingsStore, FailedCommitKeepsTheOldFileAndThePendingWrites) {
    TempFolder dir;
    // The temporary file beside the first needs a longer name than the folder allows; the folder
    // of the second cannot be made.
    const std::string longName = dir / std::string(250, 'n');
    WriteFileBytes(longName, "[s]\nk=old\n");
    WriteFileBytes(dir / "plain", "not a folder");
    for (const std::string& path : {longName, dir / "plain/settings.ini"}) {
        IniSettingsStore store(path);
        store.WriteString("s", "k", "new");
        EXPECT_FALSE(store.Commit());
        EXPECT_FALSE(store.lastError().empty());
        EXPECT_EQ(store.ReadString("s", "k"), "new");
    }
    EXPECT_EQ(ReadFileBytes(longName), "[s]\nk=old\n");
    EXPECT_EQ(ReadFileBytes(dir / "plain"), "not a folder");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
}

// What cannot be read as a settings file is refused at once, without waiting for a FIFO's writer
// or reading a device that never ends, and is never overwritten.
TEST(IniSettingsStore, WhatIsNoSettingsFileIsRefusedAndNeverOverwritten) {
    TempFolder dir;
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    // Sparse: it takes no room, but its size is past the bound.
    WriteFileBytes(dir / "huge.ini", "[s]\n");
    std::filesystem::resize_file(dir / "huge.ini", IniSettingsStore::kMaxFileSize + 1);
    struct Case {
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {dir / "folder", "it is a folder"},
        {dir / "fifo", "it is not a regular file"},
        {"/dev/zero", "it is not a regular file"},
        {dir / "huge.ini", "it is larger than 256 MiB"},
    };
    for (const Case& c : cases) {
        IniSettingsStore store(c.path);
        EXPECT_EQ(store.lastError(), "cannot read '" + c.path + "': " + c.reason);
        EXPECT_FALSE(store.Reload());
        store.WriteString("s", "k", "v");
        EXPECT_FALSE(store.Commit());
        EXPECT_NE(store.lastError().find("could not be read"), std::string::npos);
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo"));
    EXPECT_EQ(std::filesystem::file_size(dir / "huge.ini"), IniSettingsStore::kMaxFileSize + 1);
}

TEST(IniSettingsStore, WritersAndReadersOnSeveralThreads) {
    TempFolder dir;
    const std::string path = dir / "s.ini";
    IniSettingsStore store(path);
    std::thread writer([&] {
        for (int i = 0; i < 50; ++i) {
            store.WriteString("Fn Mapping", std::to_string(i), "Fn" + std::to_string(i));
            store.Commit();
        }
    });
    for (int i = 0; i < 50; ++i) {
        const std::string value = store.ReadString("Fn Mapping", std::to_string(i));
        EXPECT_TRUE(value.empty() || value == "Fn" + std::to_string(i));
        store.WriteInt("Performace Settings", "Trash", static_cast<std::uint32_t>(i));
    }
    writer.join();
    ASSERT_TRUE(store.Commit());
    IniSettingsStore reread(path);
    EXPECT_EQ(reread.ReadString("Fn Mapping", "49"), "Fn49");
    EXPECT_EQ(reread.ReadInt("Performace Settings", "Trash", 0), 49u);
}

} // namespace
} // namespace zuta::host
