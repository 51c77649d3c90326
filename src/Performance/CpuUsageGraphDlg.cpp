#include "Performance/CpuUsageGraphDlg.h"

#include "Performance/DetailList.h"
#include "Performance/GraphPainter.h"
#include "Performance/PerformanceView.h"
#include "Performance/TitleTip.h"
#include "Performance/ViewCommands.h"
#include "Performance/ViewWindows.h"
#include "collection/CollectionSession.h"
#include "collection/TaskTable.h"
#include "engine/PerformanceData.h"
#include "host/HostWindow.h"
#include "host/MessageBox.h"
#include "host/TextNumbers.h"
#include "settings/PerformanceSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>
#include <utility>

namespace zuta::performance {

namespace {

constexpr int kDialogWidth = 810;
constexpr int kDialogHeight = 429;
// The chart's rectangle follows the scroll bar under it; the timeline and the frame around the
// lower half follow its bottom edge.
const QRect kScrollBar(10, 142, 690, 16);
constexpr int kTimelineWidth = 790;
constexpr int kTimelineHeight = 60;
constexpr int kFrameHeight = 240;
constexpr graphs::ColorRef kChartBackground = graphs::Rgb(20, 30, 70);
constexpr graphs::ColorRef kChartGrid = graphs::Rgb(0, 200, 23);
constexpr graphs::ColorRef kChartLine = graphs::Rgb(255, 0, 70);

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QGroupBox* Group(QWidget* parent, const char* title, const QRect& geometry) {
    auto* group = new QGroupBox(QString::fromLatin1(title), parent);
    group->setGeometry(geometry);
    return group;
}

QPushButton* Button(QWidget* parent, const char* text, const QRect& geometry) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

std::uint32_t EditNumber(const QLineEdit* edit) {
    return text::LeadingInt(edit->text().toStdString());
}

} // namespace

CCpuUsageGraphDlg::CCpuUsageGraphDlg(CPerformanceView& view, std::vector<std::string> taskNames,
                                     QWidget* parent)
    : QDialog(parent), view_(view), data_(*view.data()), session_(*view.session()),
      taskNames_(std::move(taskNames)), divisor_(graphs::TicksPerMicrosecond(*view.settings())),
      nameFont_(ArialFont(12, QFont::Normal)), listFont_(ArialFont(14, QFont::Light)) {
    setWindowTitle(QStringLiteral("CPU Usage Graph"));
    setObjectName(QStringLiteral("cpuUsageGraph"));
    resize(kDialogWidth, kDialogHeight);
    setMouseTracking(true);
    BuildControls();
    ComputeGeometry();

    for (const std::string& name : taskNames_) {
        TaskRecord task;
        if (data_.GetTaskById(data_.GetTaskIdByName(name), task) && task.runs != 0) {
            maskList_->addItem(Text(name));
            findList_->addItem(Text(name));
            activeNames_.push_back(name);
        }
    }
    ChooseInitialMask();
    findList_->setCurrentIndex(0);

    tip_ = new ZTitleTip(this);
    chart_.Create(chartRect_.left, chartRect_.top, chartRect_.width(), chartRect_.height());
    chart_.SetBackgroundColour(kChartBackground);
    chart_.SetGridColour(kChartGrid);
    chart_.SetLineColour(kChartLine);
    threshold_->setText(Text(text::FormatUnsigned(view.settings()->threshold)));

    if (!BuildSessions())
        return;
    FillBookmarks();
    ShowChartPage();
    ShowSessionDetails();
    ShowTaskDetails();
    UpdateStepButtons();
}

CCpuUsageGraphDlg::~CCpuUsageGraphDlg() {
    ClosePie();
}

void CCpuUsageGraphDlg::BuildControls() {
    scroll_ = new QScrollBar(Qt::Horizontal, this);
    scroll_->setGeometry(kScrollBar);
    scroll_->setPageStep(1);
    scroll_->setRange(0, 0);
    connect(scroll_, &QScrollBar::actionTriggered, this, &CCpuUsageGraphDlg::OnScrollAction);

    const int right = kScrollBar.right() + 14;
    more_ = Button(this, "+", QRect(right, 12, 28, 26));
    all_ = Button(this, "o", QRect(right + 34, 12, 28, 26));
    fewer_ = Button(this, "-", QRect(right + 68, 12, 28, 26));
    pieButton_ = Button(this, "Session Pie", QRect(right, 48, 96, 26));
    timeSequenceButton_ = Button(this, "Time Sequence", QRect(right, 80, 96, 26));
    note_ = new QLineEdit(this);
    note_->setReadOnly(true);
    note_->setGeometry(right, 114, 96, 22);

    // The threshold search is kept but not offered.
    thresholdGroup_ = Group(this, "TrashHold", QRect(right, 40, 96, 80));
    threshold_ = new QLineEdit(thresholdGroup_);
    threshold_->setValidator(new QIntValidator(0, 2147483647, threshold_));
    threshold_->setGeometry(6, 18, 84, 22);
    thresholdPrevious_ = Button(thresholdGroup_, "<", QRect(6, 46, 40, 24));
    thresholdNext_ = Button(thresholdGroup_, ">", QRect(50, 46, 40, 24));
    thresholdGroup_->setEnabled(false);
    thresholdGroup_->hide();

    const int lower = kScrollBar.bottom() + 1 + 86;
    auto* taskGroup = Group(this, "Task Details", QRect(12, lower, 262, 164));
    taskDetails_ = MakeDetailList(taskGroup, QRect(8, 18, 246, 138), 100, listFont_);
    auto* sessionGroup = Group(this, "Session Details", QRect(280, lower, 272, 164));
    sessionDetails_ = MakeDetailList(sessionGroup, QRect(8, 18, 256, 138), 110, listFont_);

    auto* maskGroup = Group(this, "Mask Event", QRect(558, lower, 118, 80));
    maskList_ = new QComboBox(maskGroup);
    maskList_->setGeometry(6, 18, 106, 22);
    refresh_ = Button(maskGroup, "Refresh ", QRect(6, 46, 106, 24));

    auto* goGroup = Group(this, "Go to Session", QRect(558, lower + 84, 118, 80));
    goTo_ = new QLineEdit(QStringLiteral("0"), goGroup);
    goTo_->setValidator(new QIntValidator(0, 2147483647, goTo_));
    goTo_->setGeometry(6, 18, 50, 22);
    go_ = Button(goGroup, "Go", QRect(60, 18, 52, 22));
    previous_ = Button(goGroup, "<", QRect(6, 46, 50, 24));
    next_ = Button(goGroup, ">", QRect(62, 46, 50, 24));

    auto* findGroup = Group(this, "Find Task", QRect(682, lower, 118, 80));
    findList_ = new QComboBox(findGroup);
    findList_->setGeometry(6, 18, 106, 22);
    find_ = Button(findGroup, "Find", QRect(6, 46, 106, 24));

    auto* bookmarkGroup = Group(this, "Find BookMark", QRect(682, lower + 84, 118, 80));
    bookmarkList_ = new QComboBox(bookmarkGroup);
    bookmarkList_->setGeometry(6, 18, 106, 22);
    bookmarkPrevious_ = Button(bookmarkGroup, "<", QRect(6, 46, 30, 24));
    bookmarkNext_ = Button(bookmarkGroup, ">", QRect(40, 46, 30, 24));
    hex_ = new QCheckBox(QStringLiteral("Hex"), bookmarkGroup);
    hex_->setGeometry(74, 46, 42, 24);

    connect(more_, &QPushButton::clicked, this, &CCpuUsageGraphDlg::OnMore);
    connect(all_, &QPushButton::clicked, this, &CCpuUsageGraphDlg::OnToggleAll);
    connect(fewer_, &QPushButton::clicked, this, &CCpuUsageGraphDlg::OnFewer);
    connect(refresh_, &QPushButton::clicked, this, &CCpuUsageGraphDlg::OnRefresh);
    connect(timeSequenceButton_, &QPushButton::clicked, this, &CCpuUsageGraphDlg::OnTimeSequence);
    connect(go_, &QPushButton::clicked, this, &CCpuUsageGraphDlg::OnGo);
    connect(previous_, &QPushButton::clicked, this, &CCpuUsageGraphDlg::OnPrevious);
    connect(next_, &QPushButton::clicked, this, &CCpuUsageGraphDlg::OnNext);
    connect(pieButton_, &QPushButton::clicked, this, &CCpuUsageGraphDlg::OnSessionPie);
    connect(find_, &QPushButton::clicked, this, &CCpuUsageGraphDlg::OnFindTask);
    connect(thresholdPrevious_, &QPushButton::clicked, this, [this] { OnThresholdSearch(false); });
    connect(thresholdNext_, &QPushButton::clicked, this, [this] { OnThresholdSearch(true); });
    connect(bookmarkPrevious_, &QPushButton::clicked, this, [this] { OnBookmarkSearch(false); });
    connect(bookmarkNext_, &QPushButton::clicked, this, [this] { OnBookmarkSearch(true); });
    connect(hex_, &QCheckBox::clicked, this, &CCpuUsageGraphDlg::OnHex);
}

void CCpuUsageGraphDlg::ComputeGeometry() {
    const QRect bar = scroll_->geometry();
    const int barBottom = bar.top() + bar.height();
    chartRect_ = {10, bar.left(), 10 + bar.width() - 10, bar.left() + bar.top() - 12};
    timelineRect_ = {10, barBottom + 20, 10 + kTimelineWidth, barBottom + 20 + kTimelineHeight};
    frameRect_ = {5, barBottom + 15, 805, barBottom + 15 + kFrameHeight};
    initialTimelineRight_ = timelineRect_.right;
    initialFrameRight_ = frameRect_.right;
}

void CCpuUsageGraphDlg::ChooseInitialMask() {
    const std::optional<std::size_t> chosen =
        graphs::ChooseMaskEvent(activeNames_, view_.settings()->maskEvent);
    // Without a match the list shows its first entry, and that entry is what the sessions use.
    const std::size_t position = chosen.value_or(0);
    if (position < activeNames_.size())
        maskId_ = data_.GetTaskIdByName(activeNames_[position]);
    maskList_->setCurrentIndex(static_cast<int>(position));
}

bool CCpuUsageGraphDlg::BuildSessions() {
    samples_.clear();
    userEventSamples_.clear();
    data_.BuildGraphSamples(samples_, false);
    idleId_ = data_.Read([](const StoreState& s) { return s.idleTaskId; });
    const graphs::SessionBuild result =
        graphs::BuildCpuSessions(samples_, maskId_, idleId_, divisor_, set_);
    built_ = result == graphs::SessionBuild::Built;
    if (result == graphs::SessionBuild::NoSamples) {
        scroll_->setEnabled(false);
        return false;
    }
    if (result == graphs::SessionBuild::NoIdleTask) {
        ShowMessage("No Idle Task found", "Error");
        return false;
    }
    for (std::size_t i = 0; i < samples_.size(); ++i)
        if (samples_[i].kind == graphs::kSampleUserEvent)
            userEventSamples_.push_back(static_cast<std::uint32_t>(i));
    paging_.SetSessionCount(static_cast<std::uint32_t>(set_.sessions.size()));
    scroll_->setEnabled(true);
    scroll_->setRange(0, static_cast<int>(paging_.pageCount()));
    scroll_->setSliderPosition(0);
    chart_.SetRange(0, static_cast<int>(paging_.perPage()));
    return true;
}

void CCpuUsageGraphDlg::FillBookmarks() {
    bookmarkList_->clear();
    for (const auto& [id, name] : set_.bookmarkNames)
        bookmarkList_->addItem(Text(name));
    bookmarkList_->setCurrentIndex(0);
    const bool any = !set_.bookmarkNames.empty();
    bookmarkList_->setEnabled(any);
    bookmarkPrevious_->setEnabled(any);
    bookmarkNext_->setEnabled(any);
    hex_->setEnabled(any);
}

void CCpuUsageGraphDlg::ShowChartPage() {
    chart_.Clear();
    chart_.SetPointsPerPage(static_cast<int>(paging_.sessionsShown()));
    const std::uint32_t first = paging_.firstSession();
    for (std::uint32_t s = first; s < first + paging_.sessionsShown(); ++s)
        chart_.AddPoint(set_.sessions[s].cpuPercent);
    const QSignalBlocker quiet(scroll_);
    scroll_->setSliderPosition(static_cast<int>(paging_.page()));
    update();
}

void CCpuUsageGraphDlg::ShowPageRange() {
    const std::uint32_t first = paging_.page() * paging_.perPage();
    chart_.SetRange(static_cast<int>(first),
                    static_cast<int>(std::min(paging_.sessionCount(), first + paging_.perPage())));
    ShowChartPage();
}

void CCpuUsageGraphDlg::ShowSessionDetails() {
    ShowDetailRows(sessionDetails_, graphs::SessionDetails(set_, selectedSession_, divisor_));
}

void CCpuUsageGraphDlg::ShowTaskDetails() {
    ShowDetailRows(taskDetails_,
                   graphs::TaskDetails(data_, samples_, selectedSample_, set_, selectedSession_,
                                       divisor_, hexIds_, view_.settings()->simpleMode));
}

void CCpuUsageGraphDlg::UpdateStepButtons() {
    const auto count = static_cast<std::uint32_t>(set_.sessions.size());
    previous_->setEnabled(selectedSession_ > 0);
    next_->setEnabled(count > 0 && selectedSession_ + 1 < count);
}

void CCpuUsageGraphDlg::ShowSelection(bool taskDetailsToo) {
    goTo_->setText(Text(text::FormatUnsigned(selectedSession_)));
    if (taskDetailsToo)
        ShowTaskDetails();
    ShowSessionDetails();
    paging_.ShowSession(selectedSession_);
    ShowPageRange();
    RelaunchPie();
    UpdateStepButtons();
    update();
}

void CCpuUsageGraphDlg::SelectSession(std::uint32_t session) {
    if (session >= set_.sessions.size())
        return;
    selectedSession_ = session;
    ShowSelection(false);
}

void CCpuUsageGraphDlg::OnScrollAction(int action) {
    bool moved = false;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepSub:
        moved = paging_.PageBack();
        break;
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderPageStepAdd:
        moved = paging_.PageOn();
        break;
    case QAbstractSlider::SliderMove:
        moved = paging_.MoveTo(static_cast<std::uint32_t>(std::max(scroll_->sliderPosition(), 0)));
        break;
    default:
        return;
    }
    if (moved)
        ShowPageRange();
    // The slider shows the page the paging settled on, whatever the action computed.
    scroll_->setSliderPosition(static_cast<int>(paging_.page()));
}

void CCpuUsageGraphDlg::ShowZoom() {
    scroll_->setRange(0, static_cast<int>(paging_.pageCount()));
    const std::uint32_t first = paging_.page() * paging_.perPage();
    chart_.SetRange(static_cast<int>(first), static_cast<int>(first + paging_.perPage()));
    ShowChartPage();
}

void CCpuUsageGraphDlg::OnFewer() {
    paging_.Fewer();
    ShowZoom();
}

void CCpuUsageGraphDlg::OnMore() {
    paging_.More();
    ShowZoom();
}

void CCpuUsageGraphDlg::OnToggleAll() {
    paging_.ToggleAll();
    ShowZoom();
}

void CCpuUsageGraphDlg::OnGo() {
    const std::uint32_t number = EditNumber(goTo_);
    if (number >= set_.sessions.size())
        return;
    SelectSession(number);
}

void CCpuUsageGraphDlg::OnPrevious() {
    if (selectedSession_ > 0)
        SelectSession(selectedSession_ - 1);
}

void CCpuUsageGraphDlg::OnNext() {
    SelectSession(selectedSession_ + 1);
}

void CCpuUsageGraphDlg::ShowMessage(const char* text, const char* caption) {
    if (host::IHostWindow* host = view_.host())
        host->MessageBox().Show(text, caption, host::MessageIcon::Error);
}

void CCpuUsageGraphDlg::OnFindTask() {
    const int position = findList_->currentIndex();
    if (position < 0)
        return;
    if (set_.sessions.empty() || activeNames_.empty()) {
        ShowMessage("No Tasks", "No Tasks");
        return;
    }
    const std::uint32_t taskId =
        data_.GetTaskIdByName(activeNames_[static_cast<std::size_t>(position)]);
    const auto hit = graphs::FindTaskRun(set_, samples_, taskId, selectedSession_, selectedSample_);
    if (!hit) {
        ShowMessage("No task found", "No Tasks");
        return;
    }
    selectedSession_ = hit->session;
    selectedSample_ = hit->sample;
    foundTask_ = taskId;
    ShowSelection(true);
}

void CCpuUsageGraphDlg::OnThresholdSearch(bool forward) {
    if (findList_->currentIndex() < 0)
        return;
    if (set_.sessions.empty() || activeNames_.empty()) {
        ShowMessage("No Tasks", "No Tasks");
        return;
    }
    const auto hit = graphs::FindLongRun(set_, samples_, EditNumber(threshold_), divisor_,
                                         selectedSession_, selectedSample_, forward);
    if (!hit) {
        ShowMessage("No task found", "No Tasks");
        return;
    }
    selectedSession_ = hit->session;
    selectedSample_ = hit->sample;
    ShowSelection(true);
}

void CCpuUsageGraphDlg::OnBookmarkSearch(bool forward) {
    if (set_.sessions.empty() || activeNames_.empty()) {
        ShowMessage("No Tasks", "No Tasks");
        return;
    }
    if (!forward && selectedSession_ == 0)
        return;
    std::uint32_t id = 0;
    if (text::ScanHex(bookmarkList_->currentText().toStdString(), 0, id) == text::kNoField)
        return;
    const auto found = graphs::FindBookmark(set_, id, selectedSession_, bookmarkPosition_, forward);
    if (!found) {
        ShowMessage("No marker found", "No Markers");
        return;
    }
    selectedSession_ = found->session;
    bookmarkPosition_ = found->position;
    // The timeline marks the bookmark itself.
    const std::size_t rank = graphs::BookmarkRank(set_, *found);
    if (rank < userEventSamples_.size())
        selectedSample_ = userEventSamples_[rank];
    ShowSelection(true);
}

void CCpuUsageGraphDlg::OnRefresh() {
    const int position = maskList_->currentIndex();
    if (position < 0 || static_cast<std::size_t>(position) >= activeNames_.size())
        return;
    goTo_->setText(QStringLiteral("0"));
    selectedSession_ = 0;
    selectedSample_ = 0;
    bookmarkPosition_ = 0;
    const std::uint32_t previous = maskId_;
    const std::string& name = activeNames_[static_cast<std::size_t>(position)];
    maskId_ = data_.GetTaskIdByName(name);
    view_.settings()->maskEvent = name;
    session_.SaveSettings();
    if (!BuildSessions()) {
        maskId_ = previous;
        return;
    }
    FillBookmarks();
    ShowChartPage();
    ShowSessionDetails();
    ShowTaskDetails();
    UpdateStepButtons();
    update();
}

void CCpuUsageGraphDlg::OnHex() {
    hexIds_ = hex_->isChecked();
    ShowTaskDetails();
    update();
}

void CCpuUsageGraphDlg::done(int result) {
    ClosePie();
    view_.settings()->threshold = EditNumber(threshold_);
    session_.SaveSettings();
    QDialog::done(result);
}

CCpuUsageGraphDlg* OpenCpuUsageGraph(CPerformanceView& view, bool modal) {
    if (view.session() == nullptr)
        return nullptr;
    auto* dialog = new CCpuUsageGraphDlg(view, view.RowTaskNames(), &view);
    return ShowViewWindow(dialog, modal);
}

void RunCpuGraph(CPerformanceView& view, const ViewCommand&) {
    OpenCpuUsageGraph(view, true);
}

} // namespace zuta::performance
