// The function call graph painted offscreen and driven through its controls.
#include "Performance/FunctionGraphDlg.h"
#include "Performance/GraphPainter.h"
#include "Performance/ViewRender.h"
#include "Performance/ViewWindows.h"
#include "ViewHost.h"
#include "engine/PerformanceData.h"
#include "namemaps/FunctionNameMap.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <string>

namespace zuta::performance {
namespace {

std::string Cell(const QTableWidget* list, int row, int column = 1) {
    const QTableWidgetItem* item = list->item(row, column);
    return item == nullptr ? std::string() : item->text().toStdString();
}

QColor Colour(graphs::ColorRef colour) {
    return ToQColor(colour);
}

TEST(FunctionGraphTest, BarsArePlacedByTimeAndDepth) {
    test::ViewInHost rig;
    FunctionNameMap names(&rig.host.store);
    names.SetName(1, "Outer");
    names.SetName(2, "Inner");
    names.Save();
    // Outer encloses Inner: 110 ticks of span over 710 pixels.
    rig.view->data()->Write([](StoreState& s) {
        s.AddOrUpdateTask("TaskA", 1001, kTypeTask);
        const auto kind = [](RecordKind k) { return static_cast<std::uint32_t>(k); };
        s.samples.push_back({1001, 0, 0, 0, 0, 0, kind(RecordKind::TaskSwitch)});
        s.samples.push_back({5001, 0, 0, 0, 0, 10, kind(RecordKind::FunctionEnter)});
        s.samples.push_back({5002, 0, 0, 0, 0, 20, kind(RecordKind::FunctionEnter)});
        s.samples.push_back({5002, 0, 0, 0, 0, 30, kind(RecordKind::FunctionExit)});
        s.samples.push_back({5001, 0, 0, 0, 0, 40, kind(RecordKind::FunctionExit)});
    });
    QPointer<QWidget> window = FindViewWindow("function-graph")->open(*rig.view);
    auto* dialog = qobject_cast<CFunctionGraphDlg*>(window.data());
    ASSERT_NE(dialog, nullptr);
    test::RunPostedEvents();
    const QImage image = dialog->grab().toImage();
    // Inner's box is 139 to 332 on row 34 to 46, Outer's (selected, so shadowed) 10 to 590.
    EXPECT_EQ(image.pixelColor(139, 40), Colour(graphs::Rgb(51, 102, 255)));
    EXPECT_EQ(image.pixelColor(136, 40), Colour(graphs::kFunctionGraphBackground));
    EXPECT_EQ(image.pixelColor(592, 28), Colour(graphs::kShadowInner));
    EXPECT_EQ(Cell(dialog->functionDetails(), 0), "1/Outer");

    QTest::mouseClick(dialog, Qt::LeftButton, {}, QPoint(200, 40));
    EXPECT_EQ(dialog->model().selected(), 1u);
    // The default clock, 200 MHz: Inner starts 20 ticks after Outer.
    EXPECT_EQ(dialog->timeDeltaEdit()->text(), QStringLiteral("0.10 uSec"));
    EXPECT_EQ(Cell(dialog->functionDetails(), 0), "2/Inner");
    dialog->close();
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
    ASSERT_EQ(rig.host.messageBox.shown.size(), 1u);
    EXPECT_EQ(rig.host.messageBox.shown[0].text, "No function found");
    EXPECT_EQ(rig.host.messageBox.shown[0].caption, "Message");

    dialog->scrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(dialog->model().firstVisible(), 1u);
    EXPECT_EQ(Cell(dialog->sessionDetails(), 2), "1");
    dialog->close();
    test::RunPostedEvents();
    EXPECT_TRUE(dialog.isNull());
}

TEST(FunctionGraphTest, PicturesOfTheGraphTakeZoomFirstCallAndSelection) {
    test::ViewInHost rig;
    const std::string png = rig.folder / "calls.png";
    const std::string file = "file=" ZUTA_TEST_DATA_DIR "/tools/calls-small.zuta\n";
    const std::pair<const char*, RenderStatus> cases[] = {
        {"zoom=1\nfirst=5\nselect=6", RenderStatus::Ok},
        {"first=7", RenderStatus::Usage},
        {"select=4", RenderStatus::Ok},
    };
    for (const auto& [options, status] : cases) {
        std::string error;
        EXPECT_EQ(RenderViewWindow(*rig.view, "function-graph", file + options, png, error), status)
            << options << ": " << error;
    }
    // The last picture: Fn4's call (the fifth colour) spans the graph, its frame at the row's top.
    const QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(400, 22), Colour(graphs::Rgb(102, 204, 51)));
}

} // namespace
} // namespace zuta::performance
