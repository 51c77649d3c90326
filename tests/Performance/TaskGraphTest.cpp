// The task graph dialog on a view in a host of its own: opened from the command table on a loaded
// session file, painted offscreen and driven through its buttons.
#include "Performance/TaskGraphDlg.h"
#include "Performance/TitleTip.h"
#include "Performance/ViewCommands.h"
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

    test::ViewInHost view;
};

// session_v2.zuta holds a task, a function entry, a user event, a HISR, an IRQ and the task again.
TEST_F(TaskGraphTest, PaintsTheBoxesAndFindSaysWhenThereIsNoFurtherRun) {
    CTaskGraphDlg* dialog = OpenFromCommand();
    ASSERT_NE(dialog, nullptr);
    const QImage image = dialog->grab().toImage();
    // A framed box's frame starts on its top row; a user event's gradient starts in its colour.
    EXPECT_EQ(Pixel(image, 52, 14), Colour(0, 51, 255));
    EXPECT_EQ(Pixel(image, 52, 12), Colour(250, 250, 254));
    EXPECT_EQ(Pixel(image, 232, 88), Colour(153, 51, 204));
    EXPECT_EQ(dialog->rangeEdit()->text(), "0 - 5");
    // "No. of Samples" counts the samples, not something else.
    EXPECT_EQ(dialog->sampleCountEdit()->text(), "6");
    EXPECT_FALSE(dialog->beginButton()->isEnabled());

    dialog->findList()->setCurrentText("IDLE_TASK");
    dialog->findButton()->click();
    EXPECT_EQ(dialog->model().selected(), 5u);
    EXPECT_TRUE(view.host.messageBox.shown.empty());
    dialog->findButton()->click();
    ASSERT_EQ(view.host.messageBox.shown.size(), 1u);
    EXPECT_EQ(view.host.messageBox.shown[0].text, "No task found");
    EXPECT_EQ(view.host.messageBox.shown[0].caption, "No Tasks");
    EXPECT_EQ(dialog->detailsList()->item(0, 1)->text(), "IDLE_TASK");
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

// The command line has the host picture the dialog; the host's status names the cause.
TEST(TaskGraphRenderTest, ZutaRenderDrawsTheDialogOfAFile) {
    test::TestApplication();
    test::TempFolder folder;
    const std::string png = (folder.path() / "graph.png").string();
    for (const auto& [arguments, status] : {std::pair<std::string, int>{"--select 3", 0},
                                            std::pair<std::string, int>{"--page 1", 2}}) {
        std::filesystem::remove(png);
        const std::string command = std::string("'") + ZUTA_TOOL_PATH + "' render task-graph '" +
                                    kSession + "' " + arguments + " -o '" + png + "' --host '" +
                                    ZUTA_HOST_PATH + "' 2>/dev/null";
        const int result = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(result)) << arguments;
        EXPECT_EQ(WEXITSTATUS(result), status) << arguments;
        const QImage picture(QString::fromStdString(png));
        EXPECT_EQ(picture.isNull(), status != 0) << arguments;
        if (status == 0) {
            EXPECT_EQ(Pixel(picture, 256, 32), Colour(204, 51, 204)) << arguments;
        }
    }
}

} // namespace
} // namespace zuta::performance
