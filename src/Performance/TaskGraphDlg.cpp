#include "Performance/TaskGraphDlg.h"

#include "Performance/DetailList.h"
#include "Performance/GraphPainter.h"
#include "Performance/PerformanceView.h"
#include "Performance/TitleTip.h"
#include "Performance/ViewCommands.h"
#include "Performance/ViewWindows.h"
#include "engine/PerformanceData.h"
#include "host/HostWindow.h"
#include "host/MessageBox.h"
#include "host/TextNumbers.h"
#include "settings/PerformanceSettings.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <qdrawutil.h>

namespace zuta::performance {

namespace {

constexpr int kDialogWidth = 710;
constexpr int kDialogHeight = 340;
constexpr int kGraphTop = 10;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

graphs::TaskGraphOptions OptionsOf(const CPerformanceView& view, bool live) {
    graphs::TaskGraphOptions options;
    options.live = live;
    options.rawLog = view.fromRawLog();
    if (const PerformanceSettings* settings = view.settings()) {
        options.simpleMode = settings->simpleMode;
        options.externalTsMode = settings->externalTsMode;
        options.armClockMhz = settings->armClockMhz;
    }
    return options;
}

} // namespace

CTaskGraphDlg::CTaskGraphDlg(CPerformanceView& view, bool live, QWidget* parent)
    : QDialog(parent), view_(view), model_(std::make_unique<graphs::TaskGraphModel>(
                                        *view.data(), OptionsOf(view, live), view.RowTaskNames())) {
    setWindowTitle(QStringLiteral("Performance Graph"));
    setFixedSize(kDialogWidth, kDialogHeight);
    setMouseTracking(true);
    BuildControls();
    tip_ = new ZTitleTip(this);
    model_->SetGraphRect(GraphRect());

    liveTimer_.setSingleShot(true);
    liveTimer_.setTimerType(Qt::CoarseTimer);
    connect(&liveTimer_, &QTimer::timeout, this, &CTaskGraphDlg::RefreshLive);
    if (live) {
        scroll_->setEnabled(false);
        continue_->setEnabled(false);
        find_->setEnabled(false);
        begin_->setEnabled(false);
        end_->setEnabled(false);
        liveTimer_.start(1);
    } else {
        sampleCount_->setText(Text(text::FormatUnsigned(model_->sampleCount())));
        pause_->hide();
        continue_->hide();
        begin_->setEnabled(false);
        scroll_->setRange(0, static_cast<int>(model_->scrollMaximum()));
    }
    for (const std::string& name : model_->findNames())
        findList_->addItem(Text(name));
    findList_->setCurrentIndex(0);
    ShowPageState();
    ShowDetails();
}

CTaskGraphDlg::~CTaskGraphDlg() = default;

void CTaskGraphDlg::BuildControls() {
    const int graphLeft = 50;
    const int graphRight = kDialogWidth - 10;
    const char* captions[] = {"Task", "HISR", "LISR"};
    const int captionRows[] = {graphs::kTaskRow, graphs::kHisrRow, graphs::kIrqRow};
    for (int i = 0; i < 3; ++i) {
        auto* caption = new QLabel(QString::fromLatin1(captions[i]), this);
        caption->setGeometry(8, kGraphTop + captionRows[i], graphLeft - 10, graphs::kBoxHeight);
    }
    scroll_ = new QScrollBar(Qt::Horizontal, this);
    scroll_->setGeometry(graphLeft, 125, graphRight - graphLeft, 16);
    scroll_->setPageStep(1);
    connect(scroll_, &QScrollBar::actionTriggered, this, &CTaskGraphDlg::OnScrollAction);

    auto* detailsGroup = new QGroupBox(QStringLiteral("Task Details"), this);
    detailsGroup->setGeometry(10, 148, 266, 184);
    details_ =
        MakeDetailList(detailsGroup, QRect(8, 20, 252, 156), 100, ArialFont(14, QFont::Light));
    details_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    details_->verticalHeader()->setDefaultSectionSize(18);

    auto labelled = [this](const char* caption, int x, int y, int width) {
        auto* label = new QLabel(QString::fromLatin1(caption), this);
        label->setGeometry(x, y, 100, 22);
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(true);
        edit->setGeometry(x + 104, y, width, 22);
        return edit;
    };
    sampleCount_ = labelled("No. of Samples", 284, 156, 90);
    range_ = labelled("Tasks Displayed:", 284, 186, 90);
    pause_ = new QPushButton(QStringLiteral("Pause"), this);
    pause_->setGeometry(284, 222, 90, 26);
    continue_ = new QPushButton(QStringLiteral("Continue"), this);
    continue_->setGeometry(384, 222, 90, 26);
    const QFont buttonFont = ArialFont(12, QFont::Normal);
    begin_ = new QPushButton(QStringLiteral("<<"), this);
    begin_->setGeometry(284, 262, 44, 26);
    begin_->setFont(buttonFont);
    begin_->setToolTip(QStringLiteral("Begin"));
    end_ = new QPushButton(QStringLiteral(">>"), this);
    end_->setGeometry(334, 262, 44, 26);
    end_->setFont(buttonFont);
    end_->setToolTip(QStringLiteral("End"));

    auto* findGroup = new QGroupBox(QStringLiteral("Find Task"), this);
    findGroup->setGeometry(490, 148, 210, 80);
    findList_ = new QComboBox(findGroup);
    findList_->setGeometry(8, 22, 194, 24);
    find_ = new QPushButton(QStringLiteral("Find"), findGroup);
    find_->setGeometry(112, 50, 90, 24);
    timeDelta_ = labelled("Time Delta", 490, 240, 106);

    connect(pause_, &QPushButton::clicked, this, &CTaskGraphDlg::OnPause);
    connect(continue_, &QPushButton::clicked, this, &CTaskGraphDlg::OnContinue);
    connect(begin_, &QPushButton::clicked, this, &CTaskGraphDlg::OnBegin);
    connect(end_, &QPushButton::clicked, this, &CTaskGraphDlg::OnEnd);
    connect(find_, &QPushButton::clicked, this, &CTaskGraphDlg::OnFind);
}

graphs::Rect CTaskGraphDlg::GraphRect() const {
    const QRect bar = scroll_->geometry();
    return {bar.left(), kGraphTop, bar.right() + 1, bar.top() - 1};
}

void CTaskGraphDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const graphs::Rect graph = GraphRect();
    const QRect area = ToQRect(graph);
    painter.fillRect(area, ToQColor(graphs::kGraphBackground));
    painter.setPen(ToQColor(graphs::kGuideLine));
    for (int k = 1; k <= graphs::kGuideLines; ++k) {
        const int y = graph.top + k * (graph.height() / graphs::kGuideLines);
        painter.drawLine(graph.left, y, graph.right - 1, y);
    }
    // Boxes of a full page may reach past the right edge: the graph keeps them inside.
    painter.setClipRect(area);
    painter.setPen(Qt::black);
    const int align = Qt::AlignVCenter | Qt::TextSingleLine |
                      (model_->options().rawLog ? Qt::AlignLeft : Qt::AlignHCenter);
    for (const graphs::TaskGraphBox& box : model_->PageBoxes()) {
        DrawGradientBar(painter, box.rect, box.colour, graphs::kBoxHighlight, box.selected,
                        box.border, box.gradient);
        painter.drawText(ToQRect(box.rect), align, Text(box.text));
    }
    painter.setClipping(false);
    qDrawShadeRect(&painter, area, palette(), true, 1);
}

void CTaskGraphDlg::ShowDetails() {
    ShowDetailRows(details_, model_->SelectedDetails());
}

void CTaskGraphDlg::ShowPageState() {
    range_->setText(Text(model_->RangeText()));
    const QSignalBlocker quiet(scroll_);
    scroll_->setSliderPosition(static_cast<int>(model_->scrollPosition()));
}

void CTaskGraphDlg::ShowPage(std::size_t position) {
    model_->ScrollTo(position);
    begin_->setEnabled(model_->scrollPosition() > 0);
    end_->setEnabled(model_->scrollPosition() < model_->scrollMaximum());
    ShowPageState();
    ShowDetails();
    update();
}

void CTaskGraphDlg::ClickBox(std::size_t box) {
    if (box >= model_->pageCount())
        return;
    timeDelta_->setText(Text(model_->Select(box)));
    ShowDetails();
    update();
}

void CTaskGraphDlg::RightClickBox(std::size_t box) {
    if (box >= model_->pageCount())
        return;
    const std::string delta = model_->NextRun(box);
    if (delta.empty())
        return;
    timeDelta_->setText(Text(delta));
    ShowPageState();
    ShowDetails();
    update();
}

void CTaskGraphDlg::RefreshLive() {
    model_->Refresh();
    ShowPageState();
    ShowDetails();
    update();
    liveTimer_.start(graphs::kLiveRefreshMs);
}

void CTaskGraphDlg::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const int box = model_->HitTest(at.x(), at.y());
    if (box < 0) {
        QDialog::mousePressEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton)
        ClickBox(static_cast<std::size_t>(box));
    else if (event->button() == Qt::RightButton)
        RightClickBox(static_cast<std::size_t>(box));
}

void CTaskGraphDlg::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const int box = model_->HitTest(at.x(), at.y());
    if (box < 0)
        return;
    tip_->Hide();
    tip_->Show(QRect(at.x(), at.y(), 40, 15), Text(model_->BoxText(static_cast<std::size_t>(box))));
}

void CTaskGraphDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    model_->SetGraphRect(GraphRect());
}

void CTaskGraphDlg::OnScrollAction(int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepSub:
        model_->ScrollLeft();
        end_->setEnabled(true);
        begin_->setEnabled(model_->scrollPosition() != 0);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderPageStepAdd:
        model_->ScrollRight();
        begin_->setEnabled(true);
        end_->setEnabled(model_->scrollPosition() != model_->scrollMaximum());
        break;
    case QAbstractSlider::SliderMove:
        ShowPage(static_cast<std::size_t>(std::max(scroll_->sliderPosition(), 0)));
        return;
    default:
        return;
    }
    // The slider takes the model's position instead of the one the action computed.
    scroll_->setSliderPosition(static_cast<int>(model_->scrollPosition()));
    range_->setText(Text(model_->RangeText()));
    ShowDetails();
    update();
}

void CTaskGraphDlg::OnBegin() {
    model_->ShowFirstPage();
    end_->setEnabled(true);
    begin_->setEnabled(false);
    ShowPageState();
    ShowDetails();
    update();
}

void CTaskGraphDlg::OnEnd() {
    model_->ShowLastPage();
    begin_->setEnabled(true);
    end_->setEnabled(false);
    ShowPageState();
    ShowDetails();
    update();
}

void CTaskGraphDlg::OnFind() {
    std::string delta;
    const graphs::FindResult result = model_->Find(findList_->currentText().toStdString(), delta);
    if (result != graphs::FindResult::Found) {
        if (host::IHostWindow* host = view_.host())
            host->MessageBox().Show(result == graphs::FindResult::NoSamples ? "No Tasks"
                                                                            : "No task found",
                                    "No Tasks", host::MessageIcon::Error);
        return;
    }
    timeDelta_->setText(Text(delta));
    begin_->setEnabled(true);
    ShowPageState();
    ShowDetails();
    update();
}

void CTaskGraphDlg::OnPause() {
    liveTimer_.stop();
    pause_->setEnabled(false);
    continue_->setEnabled(true);
}

void CTaskGraphDlg::OnContinue() {
    liveTimer_.start(graphs::kLiveRefreshMs);
    continue_->setEnabled(false);
    pause_->setEnabled(true);
}

CTaskGraphDlg* OpenTaskGraph(CPerformanceView& view, bool modal) {
    if (view.session() == nullptr)
        return nullptr;
    auto* dialog = new CTaskGraphDlg(view, view.flags().collecting, &view);
    return ShowViewWindow(dialog, modal);
}

void RunTaskGraph(CPerformanceView& view, const ViewCommand&) {
    OpenTaskGraph(view, true);
}

} // namespace zuta::performance
