#include "Performance/FunctionGraphDlg.h"

#include "Performance/DetailList.h"
#include "Performance/GraphPainter.h"
#include "Performance/PerformanceView.h"
#include "Performance/TitleTip.h"
#include "Performance/ViewCommands.h"
#include "Performance/ViewWindows.h"
#include "engine/PerformanceData.h"
#include "graphs/CpuSessions.h"
#include "host/HostWindow.h"
#include "host/MessageBox.h"
#include "settings/PerformanceSettings.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <qdrawutil.h>
#include <utility>
#include <vector>

namespace zuta::performance {

namespace {

constexpr int kDialogWidth = 866;
constexpr int kDialogHeight = 390;
constexpr int kControlsLeft = graphs::kFunctionGraphRect.right + 14;

QPushButton* Button(QWidget* parent, const char* text, const QRect& geometry) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

// The calls of the store's samples as they are now, named as the view's data asks.
std::unique_ptr<graphs::FunctionGraphView> BuildModel(CPerformanceView& view) {
    CPerformanceData& data = *view.data();
    std::vector<GraphSample> samples;
    data.BuildGraphSamples(samples, true);
    graphs::FunctionCallSet set = graphs::BuildFunctionCalls(samples);
    const double divisor = graphs::TicksPerMicrosecond(*view.settings());
    if (view.fromRawLog())
        return std::make_unique<graphs::FunctionGraphView>(std::move(set),
                                                           graphs::FunctionNames(data), divisor);
    FunctionNameMap names(view.host() != nullptr ? &view.host()->SettingsStore() : nullptr);
    names.Load();
    return std::make_unique<graphs::FunctionGraphView>(
        std::move(set), graphs::FunctionNames(data, std::move(names)), divisor);
}

} // namespace

CFunctionGraphDlg::CFunctionGraphDlg(CPerformanceView& view, QWidget* parent)
    : QDialog(parent), view_(view), model_(BuildModel(view)),
      nameFont_(ArialFont(12, QFont::DemiBold)), listFont_(ArialFont(11, QFont::Normal)) {
    setWindowTitle(QStringLiteral("Function Call Graph"));
    setObjectName(QStringLiteral("functionGraph"));
    setFixedSize(kDialogWidth, kDialogHeight);
    setMouseTracking(true);
    tip_ = new ZTitleTip(this);
    BuildControls();
    for (const graphs::FindChoice& choice : model_->findChoices())
        findList_->addItem(QString::fromStdString(choice.name));
    findList_->setCurrentIndex(0);
    if (model_->calls().empty()) {
        scroll_->setEnabled(false);
        return;
    }
    scroll_->setRange(0, static_cast<int>(model_->scrollMaximum()));
    ShowView();
}

CFunctionGraphDlg::~CFunctionGraphDlg() = default;

void CFunctionGraphDlg::BuildControls() {
    const graphs::Rect& graph = graphs::kFunctionGraphRect;
    scroll_ = new QScrollBar(Qt::Horizontal, this);
    scroll_->setGeometry(graph.left, graph.bottom, graph.width(), 16);
    scroll_->setPageStep(1);
    scroll_->setRange(0, 0);
    connect(scroll_, &QScrollBar::actionTriggered, this, &CFunctionGraphDlg::OnScrollAction);

    zoomIn_ = Button(this, "+", QRect(kControlsLeft, 10, 36, 26));
    zoomOut_ = Button(this, "-", QRect(kControlsLeft + 40, 10, 36, 26));
    fit_ = Button(this, "Fit", QRect(kControlsLeft + 80, 10, 40, 26));
    auto* findGroup = new QGroupBox(QStringLiteral("Find Function"), this);
    findGroup->setGeometry(kControlsLeft, 44, 120, 80);
    findList_ = new QComboBox(findGroup);
    findList_->setGeometry(6, 18, 108, 22);
    find_ = Button(findGroup, "Find", QRect(6, 46, 108, 24));
    auto* deltaLabel = new QLabel(QStringLiteral("Time Delta"), this);
    deltaLabel->setGeometry(kControlsLeft, 132, 120, 18);
    timeDelta_ = new QLineEdit(this);
    timeDelta_->setReadOnly(true);
    timeDelta_->setGeometry(kControlsLeft, 150, 120, 22);

    const int lower = graph.bottom + 16 + 10;
    auto* functionGroup = new QGroupBox(QStringLiteral("Function Details"), this);
    functionGroup->setGeometry(10, lower, 262, 150);
    functionDetails_ = MakeDetailList(functionGroup, QRect(8, 18, 246, 124), 100, listFont_);
    auto* sessionGroup = new QGroupBox(QStringLiteral("Session Details"), this);
    sessionGroup->setGeometry(282, lower, 262, 150);
    sessionDetails_ = MakeDetailList(sessionGroup, QRect(8, 18, 246, 124), 100, listFont_);

    connect(zoomIn_, &QPushButton::clicked, this, &CFunctionGraphDlg::OnZoomIn);
    connect(zoomOut_, &QPushButton::clicked, this, &CFunctionGraphDlg::OnZoomOut);
    connect(fit_, &QPushButton::clicked, this, &CFunctionGraphDlg::OnFit);
    connect(find_, &QPushButton::clicked, this, &CFunctionGraphDlg::OnFind);
}

void CFunctionGraphDlg::ShowView() {
    const QSignalBlocker quiet(scroll_);
    scroll_->setSliderPosition(static_cast<int>(model_->firstVisible()));
    ShowDetailRows(functionDetails_, model_->FunctionDetails());
    ShowDetailRows(sessionDetails_, model_->SessionDetails());
    update();
}

void CFunctionGraphDlg::OnZoomIn() {
    model_->ZoomIn();
    ShowView();
}

void CFunctionGraphDlg::OnZoomOut() {
    model_->ZoomOut();
    ShowView();
}

void CFunctionGraphDlg::OnFit() {
    model_->Fit();
    ShowView();
}

void CFunctionGraphDlg::OnScrollAction(int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepSub:
        model_->ScrollBack();
        break;
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderPageStepAdd:
        model_->ScrollOn();
        break;
    default:
        // Dragging the thumb moves nothing: the graph pages one call at a time.
        break;
    }
    // The slider shows the first call shown, whatever the action computed.
    ShowView();
}

void CFunctionGraphDlg::OnFind() {
    const int choice = findList_->currentIndex();
    if (choice < 0)
        return;
    const std::optional<std::string> delta = model_->Find(static_cast<std::size_t>(choice));
    if (!delta) {
        if (host::IHostWindow* host = view_.host())
            host->MessageBox().Show("No function found", "Message", host::MessageIcon::Information);
        return;
    }
    timeDelta_->setText(QString::fromStdString(*delta));
    ShowView();
}

void CFunctionGraphDlg::ClickCall(std::uint32_t index) {
    if (index >= model_->calls().size())
        return;
    timeDelta_->setText(QString::fromStdString(model_->Select(index)));
    ShowView();
}

void CFunctionGraphDlg::ShowFrom(std::uint32_t index) {
    if (model_->ScrollTo(index))
        ShowView();
}

void CFunctionGraphDlg::paintEvent(QPaintEvent*) {
    const graphs::Rect& graph = graphs::kFunctionGraphRect;
    QPainter painter(this);
    painter.fillRect(ToQRect(graph), ToQColor(graphs::kFunctionGraphBackground));
    painter.setPen(ToQColor(graphs::kFunctionGraphLine));
    const int lines = (graph.height() + graphs::kCallRowHeight - 1) / graphs::kCallRowHeight;
    for (int i = 0; i < lines; ++i) {
        const int y = graph.top + i * graphs::kCallRowHeight;
        painter.drawLine(graph.left, y, graph.right - 1, y);
    }
    painter.save();
    // Deep calls stay inside the graph rather than run over the lists below it.
    painter.setClipRect(ToQRect(graph));
    painter.setFont(nameFont_);
    const std::uint32_t end = model_->firstVisible() + model_->visibleCount();
    for (std::uint32_t i = model_->firstVisible(); i < end; ++i) {
        const graphs::FunctionCall& call = model_->calls()[i];
        const graphs::Rect box = model_->CallRect(i);
        DrawGradientBar(painter, box, colours_.ColourOf(call.function), graphs::kCallHighlight,
                        i == model_->selected(), true, true);
        painter.setPen(Qt::black);
        painter.drawText(ToQRect(box), Qt::AlignCenter | Qt::TextSingleLine,
                         QString::fromStdString(model_->FunctionName(call.function)));
    }
    painter.restore();
    qDrawShadeRect(&painter, ToQRect(graph), palette(), true, 1);
}

void CFunctionGraphDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    if (const auto hit = model_->HitTest(at.x(), at.y()))
        ClickCall(*hit);
}

void CFunctionGraphDlg::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const auto hit = model_->HitTest(at.x(), at.y());
    if (!hit)
        return;
    tip_->Hide();
    tip_->Show(QRect(at.x(), at.y(), 40, 15), QString::fromStdString(model_->Tip(*hit)));
}

CFunctionGraphDlg* OpenFunctionGraph(CPerformanceView& view, bool modal) {
    if (view.session() == nullptr)
        return nullptr;
    auto* dialog = new CFunctionGraphDlg(view, &view);
    return ShowViewWindow(dialog, modal);
}

void RunFunctionGraph(CPerformanceView& view, const ViewCommand&) {
    OpenFunctionGraph(view, true);
}

} // namespace zuta::performance
