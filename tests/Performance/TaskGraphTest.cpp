// The task graph dialog on a view in a host of its own: opened from the command table on a loaded
// session file, painted offscreen and checked pixel by pixel against the graph's geometry and
// palette, and driven through its buttons.
#include "Performance/TaskGraphDlg.h"
#include "Performance/TitleTip.h"
#include "Performance/ViewCommands.h"
#include "Performance/ViewWindows.h"
#include "ViewHost.h"
#include "engine/PerformanceData.h"
#include "support/TempFolder.h"

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace zuta::performance {
namespace {

const std::string kSession = std::string(ZUTA_TEST_DATA_DIR) + "/files/session_v2.zuta";

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xffffffu;
}

QRgb Colour(int red, int green, int blue) {
    return qRgb(red, green, blue) & 0xffffffu;
}

struct TaskGraphTest : ::testing::Test {
    CTaskGraphDlg* OpenFromCommand() {
        if (!view.view->OpenDataFile(kSession))
            return nullptr;
        view.view->RunCommand(Command::TaskGraph);
        test::RunPostedEvents();
        return view.view->findChild<CTaskGraphDlg*>();
    }
    // Twelve tasks, one run each.
    void StoreTwelveTasks() {
        view.view->data()->Write([](StoreState& s) {
            for (std::uint32_t i = 0; i < 12; ++i) {
                s.AddOrUpdateTask("T" + std::to_string(i), 1000 + i, kTypeTask);
                s.samples.push_back({1000 + i, 0, 0, 0, 0, 208, 1});
            }
        });
    }
    QImage Picture(QWidget& dialog) { return dialog.grab().toImage(); }

    test::ViewInHost view;
};

// session_v2.zuta holds a task, a function entry, a user event, a HISR, an IRQ and the task again.
TEST_F(TaskGraphTest, PaintsEveryKindOfSampleWhereTheGeometrySaysInItsColour) {
    CTaskGraphDlg* dialog = OpenFromCommand();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Performance Graph");
    const graphs::Rect graph = dialog->GraphRect();
    ASSERT_EQ(graph, (graphs::Rect{50, 10, 700, 124}));
    const QImage image = Picture(*dialog);
    // A framed box's frame starts on its top row; a user event's gradient starts in its colour.
    struct Box {
        QPoint inside, outside;
        QRgb colour;
    };
    const Box boxes[] = {
        {{52, 14}, {52, 12}, Colour(0, 51, 255)},     {{143, 68}, {143, 66}, Colour(51, 102, 255)},
        {{232, 88}, {232, 97}, Colour(153, 51, 204)}, {{256, 32}, {256, 30}, Colour(204, 51, 204)},
        {{347, 50}, {347, 48}, Colour(102, 204, 51)}, {{438, 14}, {438, 12}, Colour(0, 51, 255)},
    };
    for (const Box& box : boxes) {
        EXPECT_EQ(Pixel(image, box.inside.x(), box.inside.y()), box.colour) << box.inside.x();
        EXPECT_EQ(Pixel(image, box.outside.x(), box.outside.y()), Colour(250, 250, 254))
            << box.inside.x();
    }
    EXPECT_EQ(Pixel(image, 600, 100), Colour(250, 250, 254));
    EXPECT_EQ(dialog->sampleCountEdit()->text(), "6");
    EXPECT_EQ(dialog->rangeEdit()->text(), "0 - 5");
    EXPECT_TRUE(dialog->pauseButton()->isHidden());
    EXPECT_FALSE(dialog->beginButton()->isEnabled());
    EXPECT_EQ(dialog->detailsList()->item(0, 1)->text(), "IDLE_TASK");
}

TEST_F(TaskGraphTest, TheTwelfthTaskTakesTheFirstColourPlusOne) {
    StoreTwelveTasks();
    CTaskGraphDlg dialog(*view.view, false);
    dialog.show();
    Picture(dialog);
    dialog.ShowPage(1);
    const QImage image = Picture(dialog);
    // Seven boxes a page: the twelfth task is the fifth box of the second page.
    EXPECT_EQ(Pixel(image, 52 + 4 * 91, 14), Colour(1, 51, 255));
    EXPECT_EQ(dialog.rangeEdit()->text(), "7 - 11");
    EXPECT_TRUE(dialog.beginButton()->isEnabled());
    EXPECT_FALSE(dialog.endButton()->isEnabled());
}

TEST_F(TaskGraphTest, FindSaysWhenThereIsNoFurtherRun) {
    CTaskGraphDlg* dialog = OpenFromCommand();
    ASSERT_NE(dialog, nullptr);
    dialog->findList()->setCurrentText("IDLE_TASK");
    dialog->findButton()->click();
    EXPECT_EQ(dialog->model().selected(), 5u);
    EXPECT_TRUE(view.host.messageBox.shown.empty());
    dialog->findButton()->click();
    ASSERT_EQ(view.host.messageBox.shown.size(), 1u);
    EXPECT_EQ(view.host.messageBox.shown[0].text, "No task found");
    EXPECT_EQ(view.host.messageBox.shown[0].caption, "No Tasks");
    dialog->ClickBox(5);
    EXPECT_EQ(dialog->timeDeltaEdit()->text(), "0.00 uSec");
}

TEST_F(TaskGraphTest, ThePointerShowsTheTextOfTheBoxUnderIt) {
    CTaskGraphDlg* dialog = OpenFromCommand();
    ASSERT_NE(dialog, nullptr);
    QApplication::setActiveWindow(dialog);
    const QPointF at(160, 70);
    QMouseEvent move(QEvent::MouseMove, at, dialog->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(dialog, &move);
    EXPECT_TRUE(dialog->titleTip().isVisible());
    EXPECT_EQ(dialog->titleTip().shownText(), " (Fn12 ");
}

TEST_F(TaskGraphTest, LiveRefreshesUntilPaused) {
    CTaskGraphDlg dialog(*view.view, true);
    EXPECT_FALSE(dialog.findButton()->isEnabled());
    EXPECT_FALSE(dialog.continueButton()->isEnabled());
    ASSERT_TRUE(test::PumpUntil([&] { return dialog.liveTimer().interval() == 700; }));
    EXPECT_EQ(dialog.model().sampleCount(), 0u); // nothing before there are more than ten
    StoreTwelveTasks();
    dialog.RefreshLive();
    EXPECT_EQ(dialog.model().sampleCount(), 10u);
    EXPECT_EQ(dialog.rangeEdit()->text(), "0 - 6");
    dialog.pauseButton()->click();
    EXPECT_FALSE(dialog.liveTimer().isActive());
    EXPECT_TRUE(dialog.continueButton()->isEnabled());
    dialog.continueButton()->click();
    EXPECT_TRUE(dialog.liveTimer().isActive());
    EXPECT_FALSE(dialog.continueButton()->isEnabled());
}

TEST_F(TaskGraphTest, OpensByNameWithoutWaiting) {
    const ViewWindow* window = FindViewWindow("task-graph");
    ASSERT_NE(window, nullptr);
    QWidget* dialog = window->open(*view.view);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->isModal());
    dialog->close();
}

// The command line has the host picture the dialog; the host's status names the cause.
TEST(TaskGraphRenderTest, ZutaRenderDrawsTheDialogOfAFile) {
    test::TestApplication();
    test::TempFolder folder;
    const std::string png = (folder.path() / "graph.png").string();
    struct Case {
        std::string arguments;
        int status;
        QPoint boxPixel; // where the picture shows a box of this colour
        QRgb colour;
    };
    const Case cases[] = {
        {"'" + kSession + "' --select 3", 0, {256, 32}, Colour(204, 51, 204)},
        {"'" + kSession + "' --page 1", 2, {}, 0},
        {"'" + std::string(ZUTA_EXAMPLES_DIR) + "/modem-full.zcap' --live",
         0,
         {52, 14},
         Colour(0, 51, 255)},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(png);
        const std::string command = std::string("'") + ZUTA_TOOL_PATH + "' render task-graph " +
                                    c.arguments + " -o '" + png + "' --host '" + ZUTA_HOST_PATH +
                                    "' 2>/dev/null";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << c.arguments;
        EXPECT_EQ(WEXITSTATUS(status), c.status) << c.arguments;
        const QImage picture(QString::fromStdString(png));
        EXPECT_EQ(picture.isNull(), c.status != 0) << c.arguments;
        if (c.status != 0)
            continue;
        EXPECT_EQ(picture.size(), QSize(710, 340));
        EXPECT_EQ(Pixel(picture, c.boxPixel.x(), c.boxPixel.y()), c.colour) << c.arguments;
    }
}

} // namespace
} // namespace zuta::performance
