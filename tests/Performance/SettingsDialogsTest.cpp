// The settings dialog and the two name dialogs, driven through their controls on a view in a
// host of its own: what they show, what OK and Cancel write to the settings store, and what the
// view takes over afterwards.
#include "Performance/FunctionNameDlg.h"
#include "Performance/IrqNameDlg.h"
#include "Performance/SettingsDlg.h"
#include "Performance/TaskTableWidget.h"
#include "Performance/ViewWindows.h"
#include "ViewHost.h"
#include "engine/PerformanceData.h"
#include "namemaps/FunctionNameMap.h"
#include "namemaps/IrqNameMap.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace zuta::performance {
namespace {

// A document with its view, the settings stored first as `adjust` leaves them.
struct Rig : test::ViewInHost {
    explicit Rig(const std::function<void(PerformanceSettings&)>& adjust = {})
        : test::ViewInHost([&] {
              test::ViewOptions options;
              options.adjust = adjust;
              return options;
          }()) {
        host.withFileDialog = true;
    }

    // Runs a command through the menu, as the user picks it, and gives the dialog it opened.
    template <class Dialog> Dialog* Open(Command command) const {
        view->menuAction(command)->trigger();
        auto* dialog = view->findChild<Dialog*>();
        EXPECT_TRUE(dialog != nullptr && dialog->isVisible());
        return dialog;
    }
    CSettingsDlg* OpenSettings() const { return Open<CSettingsDlg>(Command::Settings); }
    // Clicks a button that closes its dialog and lets the dialog go.
    static void Close(QPushButton* button) {
        QPointer<QWidget> dialog = button->window();
        button->click();
        test::RunPostedEvents();
        EXPECT_TRUE(dialog.isNull());
    }
    std::string Stored(const char* key) const {
        return host.store.ReadString(PerformanceSettings::kSection, key);
    }
};

void WithSession(PerformanceSettings& s) {
    s.lastOpenFile = test::kDataDir + "session_v2.zuta";
}

// The counter scheme of the record is checked and the other one greyed; the port lists hold "1"
// to "31" with the stored entries selected.
TEST(SettingsDialog, ShowsTheRecordWithTheCounterSchemeLocked) {
    for (const std::uint32_t cpuType : {1u, 0u}) {
        Rig rig([&](PerformanceSettings& s) {
            s.cpuType = cpuType;
            s.diagPort = 2;
        });
        CSettingsDlg* dialog = rig.OpenSettings();
        QRadioButton* own = cpuType == 1 ? dialog->armApdcRadio() : dialog->xscalePmuRadio();
        QRadioButton* other = cpuType == 1 ? dialog->xscalePmuRadio() : dialog->armApdcRadio();
        own->click();
        EXPECT_TRUE(own->isChecked() && own->isEnabled());
        EXPECT_FALSE(other->isChecked() || other->isEnabled());
        EXPECT_EQ(rig.view->settings()->cpuType, cpuType);
        QComboBox* diag = dialog->diagPortList();
        ASSERT_EQ(diag->count(), 31);
        EXPECT_EQ(diag->itemText(30), "31");
        EXPECT_EQ(diag->currentText(), "3");
        EXPECT_EQ(dialog->tlnPortList()->currentText(), "2");
        EXPECT_FALSE(dialog->tlnPortList()->isEnabled() || dialog->simpleModeCheck()->isEnabled());
    }
}

// OK saves every field and the view takes them over: simple-mode columns with external time
// stamps, percent figures, the idle task, the ports and the duration by the new clock.
TEST(SettingsDialog, OkSavesAndTheViewAppliesTheSettings) {
    Rig rig(WithSession);
    ASSERT_EQ(rig.view->taskList()->model()->columnCount(), 11);
    CSettingsDlg* dialog = rig.OpenSettings();
    dialog->externalTsCheck()->click();
    EXPECT_TRUE(dialog->simpleModeCheck()->isChecked());
    dialog->percentViewCheck()->click();
    dialog->diagPortList()->setCurrentIndex(dialog->diagPortList()->findText("3"));
    dialog->idleTaskEdit()->setText("IDLE_TASK");
    dialog->clockEdit()->setText("0");
    dialog->lowAddressEdit()->setText("d0000000");
    dialog->highAddressEdit()->setText("d0ffff00");
    Rig::Close(dialog->okButton());
    for (const auto& [key, value] : {std::pair{"simple Mode", "1"},
                                     {"USB Port num", "2"},
                                     {"APDC low Address", "0"}, // no "0x" in front
                                     {"APDC Hi Address", "3506437888"}})
        EXPECT_EQ(rig.Stored(key), value) << key;
    EXPECT_EQ(rig.view->samplingMode(), 3u);
    EXPECT_TRUE(rig.view->data()->externalTsMode());
    EXPECT_EQ(rig.view->taskList()->model()->columnCount(), 4);
    EXPECT_EQ(rig.view->data()->Read([](const StoreState& s) { return s.idleTaskId; }), 0x3EBu);
    EXPECT_TRUE(rig.view->taskTable().Cell(0, 3).ends_with(" %"));
    // External time stamps count 0.1 ns: the 14020 ticks of the file are 1.40 us.
    EXPECT_EQ(rig.frame->controlBar()->samplingDurationEdit()->text(), "1.40 uSec");
}

// A high address without a number is refused: the dialog names the field, stays open with the
// kept value in the field, and a second OK saves that value.
TEST(SettingsDialog, UnreadableHighAddressIsRefusedAndTheOldValueKept) {
    Rig rig;
    CSettingsDlg* dialog = rig.OpenSettings();
    dialog->highAddressEdit()->setText("top");
    const std::size_t commits = rig.host.store.commitCount();
    dialog->okButton()->click();
    ASSERT_EQ(rig.host.messageBox.shown.size(), 1u);
    EXPECT_NE(rig.host.messageBox.shown[0].text.find("\"Hight Address\": \"top\""),
              std::string::npos);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->highAddressEdit()->text(), "0xd0ffffff");
    EXPECT_EQ(rig.host.store.commitCount(), commits);
    Rig::Close(dialog->okButton());
    EXPECT_EQ(rig.Stored("APDC Hi Address"), std::to_string(0xD0FFFFFFu));
}

TEST(SettingsDialog, CancelWritesNothing) {
    Rig rig;
    CSettingsDlg* dialog = rig.OpenSettings();
    dialog->dumpPathEdit()->setText("/elsewhere");
    dialog->externalTsCheck()->click();
    const std::size_t writes = rig.host.store.writeCount();
    Rig::Close(dialog->cancelButton());
    EXPECT_EQ(rig.host.store.writeCount(), writes);
    EXPECT_EQ(rig.view->settings()->dumpPath, rig.folder.path().string());
    EXPECT_FALSE(rig.view->settings()->externalTsMode);
}

// Browse makes the chosen folder and shows it; without an answer or a folder dialog nothing
// changes.
TEST(SettingsDialog, BrowseCreatesTheChosenFolder) {
    Rig rig;
    const std::string start = rig.folder.path().string();
    const std::string chosen = rig.folder / "dumps";
    for (const auto& [withDialog, answer] :
         {std::pair<bool, std::optional<std::string>>{false, chosen},
          {true, std::nullopt},
          {true, chosen}}) {
        rig.host.withFileDialog = withDialog;
        rig.host.fileDialog.answer = answer;
        CSettingsDlg* dialog = rig.OpenSettings();
        dialog->browseButton()->click();
        const bool taken = withDialog && answer;
        EXPECT_EQ(dialog->dumpPathEdit()->text().toStdString(), taken ? chosen : start);
        EXPECT_EQ(std::filesystem::is_directory(chosen), taken);
        Rig::Close(dialog->cancelButton());
    }
    EXPECT_EQ(rig.host.fileDialog.folderStart, start);
}

// Types `text` into the name of `row` and presses Enter, as the user edits a name.
void EditName(QTableWidget* list, int row, const QString& text) {
    list->setCurrentCell(row, CNameMapDlg::kNameColumn);
    list->editItem(list->item(row, CNameMapDlg::kNameColumn));
    auto* editor = list->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    test::RunPostedEvents();
}

struct NameDialogCase {
    Command command;
    const char* section;
    int rows;
    QString firstName, firstNumber;
    QString clearedThenTyped; // a name cleared, then typed anew in the same dialog
};

// The store holds two function names; the IRQ names are the built-in ones. A cleared IRQ name
// cannot be given again, a cleared function name can.
const NameDialogCase kNameDialogs[] = {
    {Command::IrqMapping, IrqNameMap::kSection, 76, "SWSRC_0", "0", ""},
    {Command::FunctionNamesMapping, FunctionNameMap::kSection, 2, "InitL1", "3", "Again"},
};

// Names in column 0, the only one that can be edited, numbers in column 1, even rows shaded;
// Cancel after an edit and OK without a change write nothing, an edit and OK save the map.
TEST(NameDialogs, EditNamesAndSaveOnlyWhenModified) {
    for (const NameDialogCase& c : kNameDialogs) {
        SCOPED_TRACE(c.section);
        Rig rig;
        FunctionNameMap functions(&rig.host.store);
        functions.SetName(12, "Fn12");
        functions.SetName(3, "InitL1");
        functions.Save();
        const auto before = rig.host.store.Entries(c.section);

        for (const bool edit : {true, false}) {
            auto* dialog = rig.Open<CNameMapDlg>(c.command);
            QTableWidget* list = dialog->list();
            ASSERT_EQ(list->rowCount(), c.rows);
            EXPECT_EQ(list->item(0, 0)->text(), c.firstName);
            EXPECT_EQ(list->item(0, 1)->text(), c.firstNumber);
            EXPECT_EQ(list->item(0, 1)->background().color(), QColor(220, 220, 254));
            EXPECT_EQ(list->item(1, 0)->background().style(), Qt::NoBrush);
            EXPECT_FALSE(list->item(0, 1)->flags() & Qt::ItemIsEditable);
            EditName(list, 0, c.firstName); // typed as it was: no change
            EXPECT_FALSE(dialog->modified());
            if (edit)
                EditName(list, 1, "Renamed");
            Rig::Close(edit ? dialog->cancelButton() : dialog->okButton());
            EXPECT_EQ(rig.host.store.Entries(c.section), before);
        }

        auto* dialog = rig.Open<CNameMapDlg>(c.command);
        EditName(dialog->list(), 1, "");
        EditName(dialog->list(), 1, "Again");
        EXPECT_EQ(dialog->list()->item(1, 0)->text(), c.clearedThenTyped);
        EditName(dialog->list(), 0, "Renamed");
        Rig::Close(dialog->okButton());
        const auto after = rig.host.store.Entries(c.section);
        ASSERT_EQ(static_cast<int>(after.size()), c.rows);
        EXPECT_EQ(after[0].second.substr(0, 7), "Renamed");
    }
}

// Each dialog opens by its name for a picture, shown without being modal.
TEST(ViewWindows, DialogsOpenForPictures) {
    Rig rig(WithSession);
    for (const char* name : {"settings", "irq-names", "function-names", "distribution"}) {
        QPointer<QWidget> shown = FindViewWindow(name)->open(*rig.view);
        ASSERT_FALSE(shown.isNull()) << name;
        EXPECT_TRUE(shown->isVisible() && !shown->isModal()) << name;
        shown->close();
        test::RunPostedEvents();
        EXPECT_TRUE(shown.isNull()) << name;
    }
}

} // namespace
} // namespace zuta::performance
