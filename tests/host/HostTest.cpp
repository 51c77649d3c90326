// The host layer: files replaced atomically, the settings file, and numbers in text as the C
// library reads and writes them whatever the locale.
#include "host/AtomicFile.h"
#include "host/IniSettingsStore.h"
#include "host/SettingsText.h"
#include "host/TextNumbers.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zuta::host {
namespace {

namespace fs = std::filesystem;
using namespace zuta::text;
using test::ReadFileBytes;
using test::TempFolder;
using test::WriteFileBytes;

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFile, SymbolicLinksAreFollowedAndStayLinks) {
    TempFolder dir;
    fs::create_directory(dir / "data");
    WriteFileBytes(dir / "data/real.ini", "old");
    ::chmod((dir / "data/real.ini").c_str(), 0600);
    fs::create_symlink("data/real.ini", dir / "link.ini");
    fs::create_symlink("link.ini", dir / "chain.ini");
    fs::create_symlink("data/new.ini", dir / "dangling.ini");
    fs::create_symlink("loop-b", dir / "loop-a");
    fs::create_symlink("loop-a", dir / "loop-b");

    std::string error;
    ASSERT_TRUE(WriteFileAtomically(dir / "chain.ini", "new", error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir / "chain.ini"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadFileBytes(dir / "data/real.ini"), "new");
    EXPECT_EQ(fs::status(dir / "data/real.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);

    ASSERT_TRUE(WriteFileAtomically(dir / "dangling.ini", "created", error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.ini"));
    EXPECT_EQ(ReadFileBytes(dir / "data/new.ini"), "created");
    EXPECT_EQ(Names(dir / "data"), (std::vector<std::string>{"new.ini", "real.ini"}));

    EXPECT_FALSE(WriteFileAtomically(dir / "loop-a", "x", error));
    EXPECT_NE(error.find("Too many levels of symbolic links"), std::string::npos) << error;
}

TEST(AtomicFile, DevicesAndFifosAreWrittenIntoDirectly) {
    TempFolder dir;
    fs::create_symlink("/dev/null", dir / "null");
    fs::create_symlink("/dev/full", dir / "full");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    // Opened for reading first, so the writer does not wait for a reader.
    const int reader = ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    std::string error;
    EXPECT_TRUE(WriteFileAtomically(dir / "null", "gone", error)) << error;
    EXPECT_TRUE(WriteFileAtomically(dir / "fifo", "through the pipe", error)) << error;
    EXPECT_FALSE(WriteFileAtomically(dir / "full", "no room", error));
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;

    char buffer[64] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 16);
    EXPECT_STREQ(buffer, "through the pipe");
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_TRUE(fs::is_symlink(dir / "null"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"fifo", "full", "null"}));
}

TEST(AtomicFile, ErrorsCarryTheSystemsReason) {
    TempFolder dir;
    fs::create_directory(dir / "folder");
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    struct Case {
        std::string path;
        const char* reason;
    };
    std::vector<Case> cases = {
        {dir / "folder", "Is a directory"},
        {dir / "missing/file.ini", "No such file or directory"},
    };
    if (::geteuid() != 0) // the superuser may write anywhere
        cases.push_back({dir / "locked/file.ini", "Permission denied"});
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(WriteFileAtomically(c.path, "x", error)) << c.path;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    EXPECT_TRUE(fs::is_empty(dir / "folder"));

    // A write that fails on the way keeps its own reason, not that of a later call.
    const auto writeTooMuch = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string failure;
        const bool ok = WriteFileAtomically(dir / "big", std::string(100000, 'x'), failure);
        std::fputs(failure.c_str(), stderr);
        // Not exit(): profile data written at exit under this limit would be cut short.
        ::_exit(ok ? 1 : 0);
    };
    EXPECT_EXIT(writeTooMuch(), ::testing::ExitedWithCode(0),
                "cannot write '.*big': File too large");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"folder", "locked"}));
}

// A process killed while it writes: SIGINT and SIGTERM remove the temporary file, SIGKILL cannot,
// and the next writer of the same target removes what it left.
TEST(AtomicFile, KilledWritersLeaveNoTemporaryFiles) {
    TempFolder dir;
    const std::string target = dir / "settings.ini";
    const auto killedWhileWriting = [&](int signal) {
        std::signal(signal, SIG_DFL);
        AtomicFileWriter writer;
        std::string error;
        if (!writer.Open(target, error))
            std::exit(3);
        writer.Write("half of it");
        std::raise(signal);
        std::exit(4);
    };
    EXPECT_EXIT(killedWhileWriting(SIGINT), ::testing::KilledBySignal(SIGINT), "");
    EXPECT_EXIT(killedWhileWriting(SIGTERM), ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_TRUE(fs::is_empty(dir.path()));

    EXPECT_EXIT(killedWhileWriting(SIGKILL), ::testing::KilledBySignal(SIGKILL), "");
    ASSERT_EQ(Names(dir.path()).size(), 1u);
    // Not the files of other targets, of a writer still running or of other programs.
    const std::string ours = std::to_string(::getpid());
    const std::vector<std::string> kept = {
        "other.ini.tmp999999-abcdef", "settings.ini.tmp" + ours + "-abcdef",
        "settings.ini.tmp1-abc",      "settings.ini.tmpXXXXXX",
        "settings.ini.tmp9x-abcdef",
    };
    for (const std::string& name : kept)
        WriteFileBytes(dir / name, "keep");

    std::string error;
    ASSERT_TRUE(WriteFileAtomically(target, "whole", error)) << error;
    std::vector<std::string> expected = kept;
    expected.push_back("settings.ini");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(dir.path()), expected);
}

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

TEST(IniDocument, UntouchedTextIsRewrittenAsItStandsAndNewKeysFollowTheirSection) {
    const std::string lf = "; head\n\n[A]\n  x = 1  \n# note\nnot understood\n[B]\ny=\"q\"\n";
    EXPECT_EQ(IniDocument::Parse(lf).Serialize(), lf);
    const std::string crlf = "\xEF\xBB\xBF[A]\r\nx=1\r\n\r\n[B]\r\n";
    EXPECT_EQ(IniDocument::Parse(crlf).Serialize(), crlf);
    // The byte order mark is not part of the first section's name.
    EXPECT_EQ(IniDocument::Parse(crlf).Find("A", "x"), "1");
    EXPECT_EQ(IniDocument::Parse("").Serialize(), "");
    EXPECT_EQ(IniDocument::Parse("[A]\nx=1").Serialize(), "[A]\nx=1\n");

    // New keys follow the last key of their section, new sections the end.
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

// A missing file is created with the writes it can hold: a key that cannot be written back fails
// the commit, but the other writes are kept. A commit that cannot write keeps the old file.
TEST(IniSettingsStore, FailedCommitKeepsTheOldFileAndThePendingWrites) {
    TempFolder created;
    const std::string nested = created / "a/b/settings.ini";
    IniSettingsStore fresh(nested);
    EXPECT_EQ(fresh.ReadString("s", "k"), "");
    EXPECT_TRUE(fresh.Commit());
    EXPECT_FALSE(std::filesystem::exists(nested)) << "nothing written, nothing to create";

    fresh.WriteString("s", "k", "v");
    fresh.WriteString("s", "bad=key", "2");
    EXPECT_EQ(fresh.ReadString("s", "bad=key"), "");
    EXPECT_FALSE(fresh.Commit());
    EXPECT_NE(fresh.lastError().find("bad=key"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(nested), "[s]\nk=v\n");
    EXPECT_EQ(std::filesystem::directory_iterator(created / "a/b")->path().filename(),
              "settings.ini");
    EXPECT_TRUE(fresh.Commit());

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

TEST(TextNumbers, ScansReadAsPercentDAndPercentX) {
    constexpr std::int64_t kNone = -1; // no field: the value stays
    struct Case {
        char conversion; // 'd' or 'x'
        const char* text;
        std::size_t pos;
        std::int64_t value;
        std::size_t end;
    };
    // Numbers are cut to 32 bits; "0x0x3" is the prefix, then "0" and no more digits; "0xg" has
    // no digit after "0x", so the "0" alone is read.
    const Case cases[] = {
        {'d', "+4", 0, 4, 2},    {'d', "  ", 0, kNone, 0},   {'x', "0X3eb", 0, 0x3eb, 5},
        {'d', "42", 0, 42, 2},   {'d', "12", 5, kNone, 0},   {'d', "  \t\r\n7,", 0, 7, 6},
        {'d', "007", 0, 7, 3},   {'d', "- 1", 0, kNone, 0},  {'d', "x , 12abc", 3, 12, 6},
        {'x', "0xg", 0, 0, 1},   {'d', "--1", 0, kNone, 0},  {'d', "-1", 0, 0xFFFFFFFF, 2},
        {'d', "", 0, kNone, 0},  {'d', "abc", 0, kNone, 0},  {'d', "4294967301", 0, 5, 10},
        {'x', "", 0, kNone, 0},  {'x', "3EB", 0, 0x3eb, 3},  {'x', " -0x10", 0, 0xFFFFFFF0, 6},
        {'x', "0x0x3", 0, 0, 3}, {'x', "3eb,", 0, 0x3eb, 3}, {'x', "123456789", 0, 0x23456789, 9},
        {'x', "g", 0, kNone, 0}, {'x', "0x3eb", 0, 0x3eb, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.conversion) + " \"" + c.text + '"');
        std::uint32_t value = 77;
        const std::size_t end = (c.conversion == 'x' ? ScanHex : ScanDecimal)(c.text, c.pos, value);
        EXPECT_EQ(end, c.value == kNone ? kNoField : c.end);
        EXPECT_EQ(value, c.value == kNone ? 77u : static_cast<std::uint32_t>(c.value));
    }
}

// A settings integer is the whole text: blanks around it, a sign, "0x"; nothing else.
TEST(TextNumbers, SettingsIntegersAreTheWholeText) {
    const std::optional<std::uint32_t> no;
    const struct {
        const char* text;
        std::optional<std::uint32_t> value;
    } cases[] = {{"", no},   {"   ", no}, {" 7\t", 7u},      {"-1", 0xFFFFFFFFu},
                 {"-", no},  {"1 2", no}, {"0x1G", no},      {"-0x10", 0xFFFFFFF0u},
                 {"+5", 5u}, {"--1", no}, {"12abc", no},     {"0XdeadBEEF", 0xDEADBEEFu},
                 {"0x", no}, {"3.5", no}, {"4294967296", 0u}};
    for (const auto& c : cases)
        EXPECT_EQ(ParseSettingsInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(TextNumbers, LeadingDoubleReadsDecimalTextOnly) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* text;
        double value;
    } cases[] = {{"", 0.0},        {".", 0.0},       {".5", 0.5},           {"-5", -5.0},
                 {"3,5", 3.0},     {"+-1", 0.0},     {"nan", 0.0},          {"inf", 0.0},
                 {"+13", 13.0},    {"-.e1", 0.0},    {"0x10", 0.0},         {"208", 208.0},
                 {"1e999", inf},   {"1e40", 1e40},   {"1e3", 1000.0},       {"1e-999", 0.0},
                 {"MHz 208", 0.0}, {"-1e999", -inf}, {"200.000000", 200.0}, {"  104.5 MHz", 104.5}};
    for (const auto& c : cases)
        EXPECT_EQ(LeadingDouble(c.text), c.value) << '"' << c.text << '"';
}

TEST(TextNumbers, FormatsAsPrintfInTheCLocale) {
    // A locale with a decimal comma must not reach the text.
    const std::string old = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const struct {
        double value;
        int decimals;
        const char* text;
    } fixed[] = {{200.0, 6, "200.000000"},
                 {static_cast<float>(208.7), 6, "208.699997"},
                 // 0.075f lies above the tie; ties go to even, as printf rounds.
                 {0.075f, 2, "0.08"},
                 {0.125, 2, "0.12"},
                 {-1.5, 0, "-2"},
                 {1e20, 1, "100000000000000000000.0"},
                 {std::numeric_limits<double>::infinity(), 2, "inf"}};
    for (const auto& c : fixed)
        EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text) << c.value;
    std::setlocale(LC_NUMERIC, old.c_str());
}

} // namespace
} // namespace zuta::host
