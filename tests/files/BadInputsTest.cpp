// Files that do not load whole, and paths that cannot be read or written: what each reports.

#include "FileTestSupport.h"
#include "files/RawLogImport.h"
#include "files/SessionFile.h"
#include "files/TextExport.h"
#include "files/TextScanner.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zuta::test {
namespace {

// A raw log (".log") imported or a session file loaded.
bool Load(StoreFixture& f, const std::string& path, std::string& error,
          std::vector<std::string>& warnings) {
    return path.ends_with(".log") ? ImportRawLog(f.data, path, error, &warnings)
                                  : LoadSessionFile(f.data, path, error, {}, &warnings);
}

// What a load reports: "error: ..." when it failed, else "samples: N" and one "warning: ..." line
// a warning.
std::string Report(const std::string& path) {
    StoreFixture f;
    std::string error;
    std::vector<std::string> warnings;
    if (!Load(f, path, error, warnings))
        return "error: " + error + "\n";
    std::string report = "samples: " + std::to_string(f.Samples().size()) + "\n";
    for (const std::string& warning : warnings)
        report += "warning: " + warning + "\n";
    return report;
}

// Every input in files/bad/ next to the report it must give (<input>.expected).
TEST(BadInputs, GiveTheExpectedReport) {
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(DataFile("bad"))) {
        const std::string path = entry.path().string();
        if (path.ends_with(".expected"))
            continue;
        ++inputs;
        EXPECT_EQ(Report(path), ReadFileBytes(path + ".expected")) << path;
    }
    EXPECT_GT(inputs, 0);
}

// A line far longer than any real one is read up to 1 MiB; the rest of it is skipped and what
// follows it loads as usual.
TEST(BadInputs, LongLinesAreCutAndCounted) {
    const std::string junk(3 << 20, 'N');
    struct Case {
        const char* file;
        std::string text;
        std::string firstTask; // as read from the first 1 MiB of its line
    };
    const Case cases[] = {
        {"long.zuta",
         "DCRaw , 2 , 1\nSampling duration 1\nTasksCount= 2\nUserDataCount= 0\n" + junk +
             " , 0x3e9 , 1 , 0 , 0 , 0 , 0, 0 \nIdle , 0x3ea , 1 , 0 , 0 , 0 , 0, 0 \n"
             "EventsCount= 1\n0x3ea, 1; 5 , 1 , 2 , 3 , 4\n",
         junk.substr(0, kMaxLineLength)},
        {"long.log", "1:Main_THREAD (3) @7 " + junk + "\n1:Idle_THREAD (4) @9\n", "Main_THREAD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        StoreFixture f;
        const std::string path = f.folder / c.file;
        WriteFileBytes(path, c.text);
        std::string error;
        std::vector<std::string> warnings;
        ASSERT_TRUE(Load(f, path, error, warnings)) << error;
        EXPECT_EQ(warnings, std::vector<std::string>{"1 line longer than 1 MiB was cut"});
        const std::vector<TaskRecord> tasks = f.Tasks();
        ASSERT_EQ(tasks.size(), 2u);
        EXPECT_TRUE(tasks[0].name == c.firstTask) << tasks[0].name.size();
        EXPECT_EQ(tasks[1].name.substr(0, 4), "Idle");
        EXPECT_EQ(f.Samples().size(), std::string(c.file).ends_with(".log") ? 2u : 1u);
    }
}

// Each cause is told in the system's own words, by load, import, save and export alike.
TEST(BadInputs, FileErrorsSayWhatHappened) {
    StoreFixture f;
    f.Fill([](StoreState& s) {
        s.AddOrUpdateTask("A", 0x3e9, 0);
        s.samples.push_back(Sample(0x3e9, 1, 1, 0, 0, 0, 0));
    });
    const std::string folder = f.folder.path().string();
    const std::string locked = folder + "/locked";
    std::filesystem::create_directory(locked);
    ::chmod(locked.c_str(), 0555);

    enum Op { Load = 1, Import = 2, Save = 4, Export = 8 };
    struct Case {
        std::string path;
        int ops;
        const char* reason;
        bool opens = false;
    };
    std::vector<Case> cases = {
        {folder + "/no/such/folder/file", Load | Import | Save | Export,
         "No such file or directory"},
        {folder, Load | Import | Save | Export, "Is a directory"},
        {"/dev/full", Save | Export, "No space left on device"},
        // Reading a process's memory from its start fails on every read.
        {"/proc/self/mem", Load | Import, "Input/output error", true},
    };
    if (::geteuid() != 0) // permissions do not hold back root
        cases.push_back({locked + "/out", Save | Export, "Permission denied"});
    // What cannot be opened to load or import leaves the tasks the store held.
    StoreFixture target;
    target.Fill([](StoreState& s) { s.AddOrUpdateTask("Kept", 1001, 0); });
    for (const Case& c : cases) {
        for (const Op op : {Load, Import, Save, Export}) {
            if ((c.ops & op) == 0)
                continue;
            SCOPED_TRACE(c.path + " op " + std::to_string(op));
            std::string error;
            bool ok = true;
            switch (op) {
            case Load:
                ok = LoadSessionFile(target.data, c.path, error);
                break;
            case Import:
                ok = ImportRawLog(target.data, c.path, error);
                break;
            case Save:
                ok = SaveSessionFile(f.data, c.path, error);
                break;
            case Export:
                ok = WriteTextExport(f.data, f.settings, std::vector<std::string>{"0x3e9"}, c.path,
                                     error);
                break;
            }
            EXPECT_FALSE(ok);
            EXPECT_TRUE(error.ends_with(c.reason)) << error;
            EXPECT_EQ(target.data.GetTaskCount(), c.opens ? 0u : 1u);
        }
    }
    ::chmod(locked.c_str(), 0755);
}

} // namespace
} // namespace zuta::test
