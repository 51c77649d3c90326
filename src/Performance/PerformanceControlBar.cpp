#include "Performance/PerformanceControlBar.h"

#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceView.h"
#include "Performance/ViewCommands.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace zuta::performance {

namespace {

QToolButton* MakeImageButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& text,
                             const QString& toolTip) {
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setIconSize(QSize(32, 32));
    button->setText(text);
    button->setToolTip(toolTip);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setMinimumWidth(64);
    button->setEnabled(false);
    return button;
}

QLineEdit* MakeDetailEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    return edit;
}

QPushButton* MakeActionButton(QWidget* parent, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setEnabled(false);
    return button;
}

} // namespace

CPerformanceControlBar::CPerformanceControlBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ZutaControlBar"));

    auto* control = new QGroupBox(QStringLiteral("Control"), this);
    start_ = MakeImageButton(control, QStyle::SP_MediaPlay, QStringLiteral("Start"),
                             QStringLiteral("Start Data Collecting"));
    stop_ = MakeImageButton(control, QStyle::SP_MediaStop, QStringLiteral("Stop"),
                            QStringLiteral("Stop Data Collecting"));
    auto* controlLayout = new QHBoxLayout(control);
    controlLayout->addWidget(start_);
    controlLayout->addWidget(stop_);
    controlLayout->addStretch();

    auto* details = new QGroupBox(QStringLiteral("Session Details"), this);
    taskCount_ = MakeDetailEdit(details);
    samplingDuration_ = MakeDetailEdit(details);
    cpuLoad_ = MakeDetailEdit(details);
    userEvents_ = MakeDetailEdit(details);
    version_ = MakeDetailEdit(details);
    auto* detailsLayout = new QFormLayout(details);
    detailsLayout->addRow(QStringLiteral("No. of Task/HISR/IRQ:"), taskCount_);
    detailsLayout->addRow(QStringLiteral("Sampling Duration:"), samplingDuration_);
    detailsLayout->addRow(QStringLiteral("CPU Load:"), cpuLoad_);
    detailsLayout->addRow(QStringLiteral("No of User Events:"), userEvents_);
    detailsLayout->addRow(QStringLiteral("ZUTA version:"), version_);

    auto* actions = new QGroupBox(QStringLiteral("Actions"), this);
    data_ = MakeActionButton(actions, QStringLiteral("Data"));
    graph_ = MakeActionButton(actions, QStringLiteral("Graph"));
    settings_ = MakeActionButton(actions, QStringLiteral("Settings"));
    auto* actionsLayout = new QHBoxLayout(actions);
    actionsLayout->addWidget(data_);
    actionsLayout->addWidget(graph_);
    actionsLayout->addWidget(settings_);

    runVtune_ = MakeActionButton(this, QStringLiteral("Run Vtune"));
    runVtune_->hide();

    dataMenu_ = new QMenu(data_);
    data_->setMenu(dataMenu_);
    graphMenu_ = new QMenu(graph_);
    graph_->setMenu(graphMenu_);

    // Every control forwards to the view it serves at the moment it is used.
    const auto run = [this](Command command) {
        return [this, command] {
            if (view_ != nullptr) {
                view_->RunCommand(command);
            }
        };
    };
    const std::map<std::string_view, QAbstractButton*> buttons = {
        {"Start", start_}, {"Stop", stop_}, {"Settings", settings_}, {"Run Vtune", runVtune_}};
    for (const ViewCommand& row : ViewCommands()) {
        if (row.barItem.empty()) {
            continue;
        }
        if (const auto button = buttons.find(row.barItem); button != buttons.end()) {
            connect(button->second, &QAbstractButton::clicked, this, run(row.command));
            controls_[row.command] = button->second;
            continue;
        }
        const QString item =
            QString::fromUtf8(row.barItem.data(), static_cast<qsizetype>(row.barItem.size()));
        const qsizetype slash = item.indexOf(QLatin1Char('/'));
        QMenu* menu = item.left(slash) == QStringLiteral("Data") ? dataMenu_ : graphMenu_;
        QAction* action = menu->addAction(item.mid(slash + 1));
        action->setEnabled(false);
        connect(action, &QAction::triggered, this, run(row.command));
        controls_[row.command] = action;
    }
    const auto actionOf = [this](Command command) {
        return qobject_cast<QAction*>(controls_.at(command));
    };
    saveData_ = actionOf(Command::BarSaveData);
    loadData_ = actionOf(Command::BarLoadData);
    importRaw_ = actionOf(Command::ImportRawLog);
    exportText_ = actionOf(Command::ExportToText);
    taskGraph_ = actionOf(Command::BarTaskGraph);
    cpuGraph_ = actionOf(Command::BarCpuGraph);
    functionGraph_ = actionOf(Command::BarFunctionGraph);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(control);
    layout->addWidget(details);
    layout->addWidget(actions);
    layout->addWidget(runVtune_);
    layout->addStretch();
}

void CPerformanceControlBar::SetView(CPerformanceView* view) {
    view_ = view;
    // The menu buttons themselves stay usable whenever the view is there: their entries carry
    // the enabling.
    data_->setEnabled(view_ != nullptr);
    graph_->setEnabled(view_ != nullptr);
}

void CPerformanceControlBar::ShowState(const ViewState& state) {
    for (const auto& [command, control] : controls_) {
        const ViewCommand* row = FindViewCommand(command);
        const bool enabled = row != nullptr && state.IsEnabled(row->rule);
        if (auto* action = qobject_cast<QAction*>(control)) {
            action->setEnabled(enabled);
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            button->setEnabled(enabled);
        }
    }
}

void CPerformanceControlBar::closeEvent(QCloseEvent* event) {
    // Posted, not sent: the frame closes after the pane has finished closing, and a frame that is
    // already closing ignores it.
    if (view_ != nullptr) {
        if (CPerformanceFrame* frame = view_->frame()) {
            QPointer<CPerformanceFrame> target(frame);
            QMetaObject::invokeMethod(
                frame,
                [target] {
                    if (target != nullptr) {
                        target->close();
                    }
                },
                Qt::QueuedConnection);
        }
    }
    QWidget::closeEvent(event);
}

} // namespace zuta::performance
