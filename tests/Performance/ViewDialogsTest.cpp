// The view's dialogs on a view in a host of its own, driven as the user drives them: the settings
// dialog and the two name dialogs (what they show, what OK and Cancel write to the settings store,
// what the view takes over afterwards); the task graph and the function call graph on session
// files, the CPU usage graph on the example capture, the pie chart and the distribution charts a
// double click on the task table opens, painted offscreen. What the plain models compute is theirs
// to check; these check the buttons, clicks and message boxes the models leave to the dialogs.
#include "Performance/CpuUsageGraphDlg.h"
#include "Performance/FunctionGraphDlg.h"
#include "Performance/FunctionNameDlg.h"
#include "Performance/GraphPainter.h"
#include "Performance/IrqNameDlg.h"
#include "Performance/PieChartDlg.h"
#include "Performance/SettingsDlg.h"
#include "Performance/TaskGraphDlg.h"
#include "Performance/TaskTableWidget.h"
#include "Performance/TimeSequenceDlg.h"
#include "Performance/TitleTip.h"
#include "Performance/ViewCommands.h"
#include "Performance/ViewWindows.h"
#include "ViewHost.h"
#include "collection/CollectionSession.h"
#include "engine/PerformanceData.h"
#include "namemaps/FunctionNameMap.h"
#include "namemaps/IrqNameMap.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest/QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <numbers>
#include <string>

namespace zuta::performance {
namespace {

const std::string kSession = std::string(ZUTA_TEST_DATA_DIR) + "/files/session_v2.zuta";

std::string Cell(const QTableWidget* list, int row, int column = 1) {
    const QTableWidgetItem* item = list->item(row, column);
    return item == nullptr ? std::string() : item->text().toStdString();
}

// A document with its view, in a host with file dialogs.
struct Rig : test::ViewInHost {
    explicit Rig(const test::ViewOptions& options = {}) : test::ViewInHost(options) {
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

// The counter scheme of the record is checked and the other one greyed; the port lists hold "1"
// to "31" with the stored entries selected.
TEST(SettingsDialog, ShowsTheRecordWithTheCounterSchemeLocked) {
    for (const std::uint32_t cpuType : {1u, 0u}) {
        Rig rig({.adjust = [&](PerformanceSettings& s) {
            s.cpuType = cpuType;
            s.diagPort = 2;
        }});
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
    Rig rig(test::LastFile("session_v2.zuta"));
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

// Browse makes the chosen folder and shows it; without an answer or a folder dialog nothing
// changes. Cancel writes nothing, whatever the dialog showed.
TEST(SettingsDialog, BrowseCreatesTheChosenFolderAndCancelWritesNothing) {
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
        dialog->externalTsCheck()->click();
        const std::size_t writes = rig.host.store.writeCount();
        Rig::Close(dialog->cancelButton());
        EXPECT_EQ(rig.host.store.writeCount(), writes);
        EXPECT_EQ(rig.view->settings()->dumpPath, start);
        EXPECT_FALSE(rig.view->settings()->externalTsMode);
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

// Each window opens by its name for a picture, shown without being modal.
TEST(ViewWindows, WindowsOpenForPictures) {
    Rig rig(test::LastFile("session_v2.zuta"));
    for (const ViewWindow& window : ViewWindows()) {
        SCOPED_TRACE(window.name);
        QPointer<QWidget> shown = FindViewWindow(window.name)->open(*rig.view);
        ASSERT_FALSE(shown.isNull());
        EXPECT_TRUE(shown->isVisible() && !shown->isModal());
        shown->close();
        test::RunPostedEvents();
        EXPECT_TRUE(shown.isNull());
    }
}

// session_v2.zuta holds a task, a function entry, a user event, a HISR, an IRQ and the task again.
TEST(TaskGraphTest, PaintsTheBoxesFindsRunsAndShowsTheTextUnderThePointer) {
    test::ViewInHost view;
    ASSERT_TRUE(view.view->OpenDataFile(kSession));
    view.view->RunCommand(Command::TaskGraph);
    test::RunPostedEvents();
    CTaskGraphDlg* dialog = view.view->findChild<CTaskGraphDlg*>();
    ASSERT_NE(dialog, nullptr);
    const QImage image = dialog->grab().toImage();
    // A framed box's frame starts on its top row; a user event's gradient starts in its colour.
    EXPECT_EQ(image.pixelColor(52, 14), QColor(0, 51, 255));
    EXPECT_EQ(image.pixelColor(52, 12), QColor(250, 250, 254));
    EXPECT_EQ(image.pixelColor(232, 88), QColor(153, 51, 204));
    EXPECT_EQ(dialog->rangeEdit()->text(), "0 - 5");
    // "No. of Samples" counts the samples, not something else.
    EXPECT_EQ(dialog->sampleCountEdit()->text(), "6");
    EXPECT_FALSE(dialog->beginButton()->isEnabled());

    dialog->findList()->setCurrentText("IDLE_TASK");
    dialog->findButton()->click();
    EXPECT_EQ(dialog->model().selected(), 5u);
    EXPECT_TRUE(view.host.messageBox.shown.empty());
    dialog->findButton()->click();
    EXPECT_EQ(view.host.Boxes(), std::vector<std::string>{"No Tasks: No task found"});
    EXPECT_EQ(Cell(dialog->detailsList(), 0), "IDLE_TASK");

    // The pointer shows the text of the box under it.
    QApplication::setActiveWindow(dialog);
    const QPointF at(160, 70);
    QMouseEvent move(QEvent::MouseMove, at, dialog->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(dialog, &move);
    EXPECT_TRUE(dialog->titleTip().isVisible());
    EXPECT_EQ(dialog->titleTip().shownText(), " (Fn12 ");
}

TEST(TaskGraphTest, LiveRefreshesUntilPaused) {
    test::ViewInHost view;
    CTaskGraphDlg dialog(*view.view, true);
    EXPECT_FALSE(dialog.findButton()->isEnabled());
    ASSERT_TRUE(test::PumpUntil([&] { return dialog.liveTimer().interval() == 700; }));
    view.view->data()->Write([](StoreState& s) {
        for (std::uint32_t i = 0; i < 12; ++i) {
            s.AddOrUpdateTask("T" + std::to_string(i), 1000 + i, kTypeTask);
            s.samples.push_back({1000 + i, 0, 0, 0, 0, 208, 1});
        }
    });
    dialog.RefreshLive();
    EXPECT_EQ(dialog.rangeEdit()->text(), "0 - 6");
    dialog.pauseButton()->click();
    EXPECT_FALSE(dialog.liveTimer().isActive());
    dialog.continueButton()->click();
    EXPECT_TRUE(dialog.liveTimer().isActive());
    EXPECT_FALSE(dialog.continueButton()->isEnabled());
}

TEST(FunctionGraphTest, OpensFromTheMenuOnALoadedSessionAndFindsCalls) {
    test::ViewInHost rig;
    ASSERT_TRUE(rig.view->OpenDataFile(ZUTA_TEST_DATA_DIR "/tools/calls-small.zuta"));
    rig.view->settings()->armClockMhz = 100.0f;
    rig.view->RunCommand(Command::FunctionGraph);
    test::RunPostedEvents();
    QPointer<CFunctionGraphDlg> dialog = rig.view->findChild<CFunctionGraphDlg*>();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(dialog->findList()->count(), 5);
    EXPECT_EQ(Cell(dialog->sessionDetails(), 0), "7");

    // Fn4's call spans the graph: a click on it measures from Fn12's call at the start.
    QTest::mouseClick(dialog, Qt::LeftButton, {}, QPoint(400, 28));
    EXPECT_EQ(dialog->model().selected(), 4u);
    EXPECT_EQ(dialog->timeDeltaEdit()->text(), QStringLiteral("5808.16 uSec"));
    EXPECT_EQ(Cell(dialog->functionDetails(), 1), "RR_Task");

    dialog->findList()->setCurrentText(QStringLiteral("Fn1"));
    dialog->findButton()->click();
    EXPECT_EQ(dialog->model().selected(), 5u);
    EXPECT_TRUE(rig.host.messageBox.shown.empty());
    dialog->findButton()->click();
    EXPECT_EQ(rig.host.Boxes(), std::vector<std::string>{"Message: No function found"});

    dialog->scrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(dialog->model().firstVisible(), 1u);
    EXPECT_EQ(Cell(dialog->sessionDetails(), 2), "1");
}

// The view with the example capture loaded and its table rows built.
struct GraphRig {
    explicit GraphRig(const char* idleTaskName = nullptr) {
        std::string error;
        EXPECT_TRUE(rig.view->session()->Open(ZUTA_EXAMPLES_DIR "/modem-full.zcap", error))
            << error;
        if (idleTaskName != nullptr)
            rig.view->data()->SetIdleTaskName(idleTaskName);
        rig.view->RefreshTableNow();
        test::RunPostedEvents();
        dialog = static_cast<CCpuUsageGraphDlg*>(FindViewWindow("cpu-graph")->open(*rig.view));
    }

    std::uint32_t IdOf(const char* name) const { return rig.view->data()->GetTaskIdByName(name); }
    PerformanceSettings StoredSettings() {
        PerformanceSettings settings;
        settings.load(rig.host.store);
        return settings;
    }

    test::ViewInHost rig;
    QPointer<CCpuUsageGraphDlg> dialog;
};

TEST(CpuUsageGraphTest, StepButtonsFollowTheSessionsAndRefreshAndClosingSaveTheMaskEvent) {
    GraphRig g;
    ASSERT_TRUE(g.dialog && g.dialog->built());
    CCpuUsageGraphDlg& d = *g.dialog;
    EXPECT_EQ(d.maskId(), g.IdOf("FrameInt"));
    struct Step {
        QPushButton* button;
        const char* goTo;
        std::uint32_t session;
    };
    const Step steps[] = {
        {d.goButton(), "5", 5},   {d.nextButton(), nullptr, 6}, {d.previousButton(), nullptr, 5},
        {d.goButton(), "217", 5}, {d.goButton(), "216", 216},
    };
    for (const Step& step : steps) {
        if (step.goTo != nullptr)
            d.goToEdit()->setText(QString::fromLatin1(step.goTo));
        step.button->click();
        ASSERT_EQ(d.selectedSession(), step.session);
        EXPECT_EQ(Cell(d.sessionDetails(), 1), std::to_string(step.session));
        EXPECT_EQ(d.paging().page(), step.session / 150);
        EXPECT_EQ(d.nextButton()->isEnabled(), step.session < 216);
    }
    // Refresh and closing save the mask event and the threshold; the next graph starts from them.
    d.maskList()->setCurrentText(QStringLiteral("Tmr1"));
    d.refreshButton()->click();
    EXPECT_EQ(d.sessions().sessions.size(), 100u);
    EXPECT_EQ(g.StoredSettings().maskEvent, "Tmr1");
    d.thresholdEdit()->setText(QStringLiteral("1500"));
    d.close();
    EXPECT_EQ(g.StoredSettings().threshold, 1500u);
    EXPECT_EQ(OpenCpuUsageGraph(*g.rig.view, false)->maskId(), g.IdOf("Tmr1"));
}

TEST(CpuUsageGraphTest, MessagesForMissingIdleTaskTasksAndMarkers) {
    {
        GraphRig g("NoSuchTask");
        EXPECT_FALSE(g.dialog->built());
        g.dialog->findButton()->click();
        EXPECT_EQ(g.rig.host.Boxes(),
                  (std::vector<std::string>{"Error: No Idle Task found", "No Tasks: No Tasks"}));
    }
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    const auto& shown = g.rig.host.messageBox.shown;
    // Find selects a run of the task inside a session and names it; after the last, it says so.
    d.findList()->setCurrentText(QStringLiteral("CC_Task"));
    d.findButton()->click();
    ASSERT_TRUE(shown.empty());
    EXPECT_EQ(d.samples()[d.selectedSample()].id, g.IdOf("CC_Task"));
    EXPECT_EQ(Cell(d.taskDetails(), 0), "CC_Task");
    int found = 1;
    for (; found < 8 && shown.empty(); ++found)
        d.findButton()->click();
    EXPECT_TRUE(found >= 2 && found <= 7) << found;
    // Nothing marked after the last session counts.
    d.goToEdit()->setText(QStringLiteral("216"));
    d.goButton()->click();
    d.bookmarkNextButton()->click();
    EXPECT_EQ(g.rig.host.Boxes(),
              (std::vector<std::string>{"No Tasks: No task found", "No Markers: No marker found"}));
}

TEST(CpuUsageGraphTest, BookmarksAreFoundAndClicksSelectAndToggleModesAndZoom) {
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    // The bookmark search selects the next occurrence; hex changes the texts of its details.
    d.bookmarkList()->setCurrentText(QStringLiteral("0x3"));
    // User events before an occurrence move it further from its count of switch samples.
    for (const auto& [session, data] : {std::pair{3u, 1u}, std::pair{5u, 3u}}) {
        d.bookmarkNextButton()->click();
        ASSERT_EQ(d.selectedSession(), session);
        const GraphSample& bookmark = d.samples()[d.selectedSample()];
        EXPECT_EQ(bookmark.kind, graphs::kSampleUserEvent);
        EXPECT_EQ(bookmark.value0, data);
    }
    for (const auto& [hex, id] : {std::pair{true, "0x3"}, std::pair{false, "3"}}) {
        if (d.hexCheck()->isChecked() != hex)
            d.hexCheck()->click();
        EXPECT_EQ(Cell(d.taskDetails(), 0), id);
        EXPECT_EQ(Cell(d.taskDetails(), 2), "DSP_Srv") << "parent task";
    }

    // A left click selects the session right of the point at or left of it, and a box.
    const graphs::Point point = d.chart().points().at(1);
    QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(point.x + 1, point.y));
    EXPECT_EQ(d.selectedSession(), 2u);
    EXPECT_EQ(d.goToEdit()->text(), QStringLiteral("2"));
    const graphs::TimelineBox box = d.TimelineBoxes().at(2);
    QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(box.rect.left, box.rect.top));
    EXPECT_EQ(d.selectedSample(), box.sample);
    d.allButton()->click();
    EXPECT_EQ(d.chart().points().size(), 217u);
    EXPECT_EQ(d.scrollBar()->maximum(), 1);
    // A right click toggles the mode of the part it lands in.
    const auto inside = [](const graphs::Rect& r) {
        return QPoint(r.left + r.width() / 2, r.top + 2);
    };
    const bool lineBefore = d.chart().lineMode();
    QTest::mouseClick(&d, Qt::RightButton, {}, inside(d.ChartRect()));
    EXPECT_NE(d.chart().lineMode(), lineBefore);
    QTest::mouseClick(&d, Qt::RightButton, {}, inside(d.TimelineRect()));
    EXPECT_EQ(d.timelineMode(), graphs::TimelineMode::EqualWidth);
}

TEST(CpuUsageGraphTest, ThePieFollowsTheSelectionAndClosesWithTheGraph) {
    GraphRig g;
    CCpuUsageGraphDlg& d = *g.dialog;
    d.pieButton()->click();
    QPointer<CPieChartDlg> first = d.pie();
    ASSERT_TRUE(first);
    first->move(40, 50);
    d.nextButton()->click();
    test::RunPostedEvents();
    EXPECT_FALSE(first);
    ASSERT_NE(d.pie(), nullptr);
    EXPECT_EQ(d.pie()->windowTitle(), QStringLiteral("Session Pos #1, CPU 57 %"));
    EXPECT_EQ(d.pie()->pos(), QPoint(40, 50));
    d.timeSequenceButton()->click();
    // The time sequence shades odd rows and paints the sessions off the period red.
    const CTimeSequenceDlg* timeSequence = d.findChild<CTimeSequenceDlg*>();
    const QAbstractItemModel* sequence = timeSequence->list()->model();
    EXPECT_EQ(sequence->rowCount(), static_cast<int>(timeSequence->sequence().entries().size()));
    EXPECT_EQ(sequence->index(1, 0).data(Qt::BackgroundRole), QVariant(QColor(220, 220, 254)));
    EXPECT_EQ(sequence->index(3, 0).data(Qt::BackgroundRole), QVariant(QColor(240, 10, 0)));
    EXPECT_EQ(sequence->index(3, 1).data().toString(), "4059.76");
    EXPECT_FALSE(d.timeSequenceButton()->isEnabled());
    QPointer<CPieChartDlg> second = d.pie();
    d.close();
    test::RunPostedEvents();
    EXPECT_FALSE(second);
    EXPECT_FALSE(g.dialog);
}

constexpr graphs::ColorRef kFirst = graphs::Rgb(200, 0, 0);
constexpr graphs::ColorRef kSecond = graphs::Rgb(0, 200, 0);

TEST(PieChartDlgTest, WedgesGoClockwiseFromTwelveAndLeaveTheBackgroundInTheGap) {
    test::TestApplication();
    CPieChartDlg chart;
    chart.AddSlice(kFirst, 0, 40.9f, "first");   // 0 to 147 degrees
    chart.AddSlice(kSecond, 0, 40.9f, "second"); // 147 to 294
    chart.resize(300, 330);                      // the pie fills (0, 0) to (300, 300)
    ASSERT_EQ(chart.Plan().pie, (graphs::Rect{0, 0, 300, 300}));
    const QImage image = chart.Render();

    const std::pair<int, graphs::ColorRef> cases[] = {
        {140, kFirst}, {155, kSecond}, {300, graphs::kPieCircleColour}};
    for (const auto& [angle, colour] : cases) {
        // Between the percentages' ring and the outline.
        const double radians = angle * std::numbers::pi / 180.0;
        const int x = static_cast<int>(150 + std::sin(radians) * 125);
        const int y = static_cast<int>(150 - std::cos(radians) * 125);
        EXPECT_EQ(image.pixelColor(x, y), ToQColor(colour)) << "angle " << angle;
    }
    EXPECT_EQ(image.pixelColor(2, 2), ToQColor(graphs::kPieClientColour));
    // The legend squares, inside their sunken edges.
    const int h = chart.textHeight();
    EXPECT_EQ(image.pixelColor(h / 2, 300 + h + h / 2), ToQColor(kSecond));
    EXPECT_EQ(image.pixelColor(0, 300), ToQColor(graphs::kEdgeShadow));
}

TEST(PieChartDlgTest, DoubleClickOnAStatisticOpensItsDistribution) {
    test::ViewInHost rig;
    CPerformanceView& view = *rig.view;
    ASSERT_TRUE(view.OpenDataFile(kSession));
    rig.frame->show();
    test::RunPostedEvents();
    CTaskTableWidget& list = *view.taskList();
    ASSERT_GT(list.model()->rowCount(), 0);
    const auto doubleClick = [&list](int column) {
        const QRect cell = list.visualRect(list.model()->index(0, column));
        // As the user's second press arrives: after the first press and release.
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, cell.center());
        test::RunPostedEvents();
    };

    doubleClick(0); // "Task Name"
    doubleClick(1); // "Task ID"
    EXPECT_EQ(view.findChild<CPieChartDlg*>(), nullptr);
    EXPECT_EQ(rig.host.output.CountStatus("Processing Data"), 0u);

    doubleClick(3); // "Active Time"
    QPointer<CPieChartDlg> chart = view.findChild<CPieChartDlg*>();
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->windowTitle(), "Mhz Distribution");
    EXPECT_TRUE(chart->isVisible());
    EXPECT_TRUE(chart->isModal());
    const std::size_t processing = rig.host.output.IndexOf("Processing Data");
    EXPECT_NE(rig.host.output.IndexOf("Loading ...", processing), std::string::npos);
    ASSERT_FALSE(chart->slices().empty());
    EXPECT_EQ(chart->slices()[0].label, "5.70%   IRQ7   4.00 uSec"); // 800 of 14020 ticks
    chart->reject();
    test::RunPostedEvents();
    EXPECT_TRUE(chart.isNull());
}

} // namespace
} // namespace zuta::performance
