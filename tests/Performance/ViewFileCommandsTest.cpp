// The file commands of the performance view, driven offscreen in a host whose file dialog and
// message box are scripted: Save, Load, Import and the text export, their failures and cancelled
// loads.
#include "Performance/TaskTableWidget.h"
#include "ViewHost.h"
#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "files/TextExport.h"
#include "namemaps/FunctionNameMap.h"

#include <QHeaderView>
#include <QProgressDialog>
#include <QPushButton>
#include <array>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>

namespace zuta::performance {
namespace {

using test::kDataDir;

// A document with its view in a host with a scripted file dialog, reopening `lastFile` (from the
// test data) first.
struct Rig : test::ViewInHost {
    explicit Rig(const std::string& lastFile) : test::ViewInHost(test::LastFile(lastFile)) {
        host.withFileDialog = true;
    }

    // Runs a command whose dialog gives `answer`.
    void Run(void (CPerformanceView::*command)(), std::optional<std::string> answer) {
        host.fileDialog.answer = std::move(answer);
        (view->*command)();
        test::RunPostedEvents();
    }
    std::string LastOpenFile() const {
        return host.store.ReadString(PerformanceSettings::kSection, "Last Open File");
    }
    std::vector<std::string> Rows() const { return view->taskTable().IdTexts(); }
};

TEST(ViewFileCommands, DialogsAskForTheirFileKindsAndACancelChangesNothing) {
    struct Case {
        void (CPerformanceView::*command)();
        const char* filter;
        const char* extension;
        bool save;
    };
    const Case cases[] = {
        {&CPerformanceView::OnSaveData, "ZUT RAW data files (*.zuta) | *.zuta", "zuta", true},
        {&CPerformanceView::OnLoadData, "ZUT RAW data files (*.zuta) | *.zuta", "zuta", false},
        {&CPerformanceView::OnImportRaw, "ZUT RAW data files (*.log) | *.log", "log", false},
        {&CPerformanceView::OnExportText, "ZUTA txt data files (*.txt) | *.txt", "txt", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        Rig rig("session_v2.zuta");
        rig.Run(c.command, std::nullopt);
        ASSERT_EQ(rig.host.fileDialog.asked.size(), 1U);
        const auto& [request, save] = rig.host.fileDialog.asked[0];
        EXPECT_EQ(request.filter, c.filter);
        EXPECT_EQ(request.defaultExtension, c.extension);
        EXPECT_EQ(save, c.save);
        // Saving dialogs ask before replacing a file, opening ones take existing files only.
        EXPECT_EQ(request.promptOverwrite, c.save);
        EXPECT_EQ(request.mustExist, !c.save);
        EXPECT_EQ(rig.Title(), "ZUTA Session: session_v2");
        EXPECT_EQ(rig.LastOpenFile(), kDataDir + "session_v2.zuta");
        EXPECT_EQ(rig.Rows().size(), 3U);
        EXPECT_TRUE(rig.host.messageBox.shown.empty());
        EXPECT_TRUE(std::filesystem::is_empty(rig.folder.path()));
    }
}

// Files may grow to `bytes` while it lives: a longer write fails with "File too large".
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        const rlimit limit{bytes, old_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

TEST(ViewFileCommands, SaveWritesTheSessionOrSaysWhyNotAndKeepsTheOldFile) {
    Rig rig("session_v2.zuta");
    const std::string saved = rig.folder / "run.1.zuta";
    rig.Run(&CPerformanceView::OnSaveData, saved);
    EXPECT_EQ(rig.Title(), "ZUTA Session: run");
    EXPECT_EQ(rig.LastOpenFile(), saved);
    EXPECT_EQ(test::ReadFileBytes(saved),
              test::ReadFileBytes(kDataDir + "session_v2.resaved.zuta"));

    const std::string kept = rig.folder / "kept.zuta";
    {
        std::ofstream(kept) << "the old file\n";
        FileSizeLimit limit(64);
        rig.Run(&CPerformanceView::OnSaveData, kept);
    }
    ASSERT_EQ(rig.host.messageBox.shown.size(), 1U);
    const test::ShownBox& box = rig.host.messageBox.shown[0];
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, host::MessageIcon::Error);
    EXPECT_NE(box.text.find("File too large"), std::string::npos) << box.text;
    EXPECT_EQ(test::ReadFileBytes(kept), "the old file\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rig.folder.path()), {}), 2);
    EXPECT_EQ(rig.Title(), "ZUTA Session: run");
    EXPECT_EQ(rig.LastOpenFile(), saved);
    EXPECT_EQ(rig.Rows().size(), 3U);
    EXPECT_FALSE(rig.view->waitCursorShown());
}

// Over an imported log: what a load or import brings (the clock, function names and memory words
// of a session file included) arrives only with a file read whole; a cancelled or failed one
// leaves everything as it was.
TEST(ViewFileCommands, OpeningAFileReplacesTheCollectionOnlyWhenItWasReadWhole) {
    struct Case {
        void (CPerformanceView::*command)();
        const char* file;
        bool cancel;
        const char* title; // null: unchanged
        const char* box;   // null: none
    };
    const auto load = &CPerformanceView::OnLoadData;
    const auto import = &CPerformanceView::OnImportRaw;
    const Case cases[] = {
        {load, "session_v3_crlf.zuta", false, "ZUTA Session: session_v3_crlf", nullptr},
        {import, "boot.log", false, "Exported Session: boot", nullptr},
        {load, "session_v3_crlf.zuta", true, nullptr, nullptr},
        {import, "boot.log", true, nullptr, nullptr},
        {load, "bad_version.zuta", false, nullptr, "Unsupported ZUTA file version"},
        {import, "no_such_file.log", false, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.cancel ? " cancelled" : ""));
        Rig rig("boot.log");
        const std::vector<std::string> rows = rig.Rows();
        const auto ticks = [&] {
            return rig.view->data()->Read([](const StoreState& s) { return s.sumTicks; });
        };
        const std::uint64_t ticksBefore = ticks();
        // The user presses Cancel as soon as the reading begins.
        if (c.cancel)
            QObject::connect(
                rig.view, &CPerformanceView::fileReadStarted,
                [](QProgressDialog* progress) { progress->findChild<QPushButton*>()->click(); });
        rig.Run(c.command, kDataDir + c.file);

        const bool opened = c.title != nullptr;
        const bool session = opened && c.command == load;
        EXPECT_EQ(rig.Title(), opened ? c.title : "ZUTA Session: boot");
        EXPECT_EQ(rig.LastOpenFile(), kDataDir + (opened ? c.file : "boot.log"));
        EXPECT_EQ(rig.view->fromRawLog(), !session);
        EXPECT_EQ(rig.BarText(&CPerformanceControlBar::userEventsEdit), session ? "1" : "0");
        if (!opened) {
            EXPECT_EQ(rig.Rows(), rows);
            EXPECT_EQ(ticks(), ticksBefore);
        }
        EXPECT_EQ(rig.view->settings()->armClockMhz, session ? 208.699997f : 200.0f);
        EXPECT_EQ(rig.host.store.ReadString(FunctionNameMap::kSection, "0"),
                  session ? "Fn12 , 12" : "");
        std::array<std::uint32_t, 4> words{};
        EXPECT_EQ(rig.view->memoryStats()->GetWords(0x3eb, words), session);
        EXPECT_EQ(words[1], session ? 4096U : 0U);
        EXPECT_EQ(rig.host.messageBox.shown.size(), c.box != nullptr ? 1U : 0U);
        if (c.box != nullptr) {
            EXPECT_EQ(rig.host.messageBox.shown[0].text, c.box);
            EXPECT_EQ(rig.host.messageBox.shown[0].caption, "Error");
            EXPECT_EQ(rig.host.messageBox.shown[0].icon, host::MessageIcon::Error);
        }
        const std::vector<std::string> lines = rig.host.output.Status();
        EXPECT_EQ(
            std::any_of(lines.begin(), lines.end(),
                        [](const std::string& line) { return line.rfind("Cannot ", 0) == 0; }),
            !opened);
        EXPECT_FALSE(rig.view->fileBusy());
        EXPECT_FALSE(rig.view->waitCursorShown());
    }
}

TEST(ViewFileCommands, TheTextExportWritesTheRowsAsShown) {
    Rig rig("session_v2.zuta");
    // By name: another order than the identifiers'.
    emit rig.view->taskList()->horizontalHeader()->sectionClicked(0);
    const std::vector<std::string> rows = rig.Rows();
    ASSERT_EQ(rows, (std::vector<std::string>{"0x3eb", "0x7", "0x3ec"}));
    const std::string path = rig.folder / "table.txt";
    rig.Run(&CPerformanceView::OnExportText, path);
    EXPECT_TRUE(rig.host.messageBox.shown.empty());

    std::istringstream lines(test::ReadFileBytes(path));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line + "\n", kTextExportHeader);
    for (const std::string& id : rows) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line.substr(line.find(';') + 1, id.size() + 1), id + ";");
    }
    EXPECT_FALSE(std::getline(lines, line));

    const std::string unwritable = rig.folder / "missing/table.txt";
    rig.Run(&CPerformanceView::OnExportText, unwritable);
    ASSERT_EQ(rig.host.messageBox.shown.size(), 1U);
    EXPECT_EQ(rig.host.messageBox.shown[0].text, "Error opening file");
    EXPECT_EQ(rig.host.messageBox.shown[0].caption, unwritable);
    EXPECT_EQ(rig.host.messageBox.shown[0].icon, host::MessageIcon::Error);
}

} // namespace
} // namespace zuta::performance
