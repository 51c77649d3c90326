#include "Performance/PerformanceControlBar.h"

#include "Performance/PerformanceFrame.h"
#include "Performance/PerformanceView.h"

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
    saveData_ = dataMenu_->addAction(QStringLiteral("Save Data"));
    loadData_ = dataMenu_->addAction(QStringLiteral("Load Data"));
    importRaw_ = dataMenu_->addAction(QStringLiteral("Import RAW "));
    exportText_ = dataMenu_->addAction(QStringLiteral("Export to txt"));
    data_->setMenu(dataMenu_);
    graphMenu_ = new QMenu(graph_);
    taskGraph_ = graphMenu_->addAction(QStringLiteral("Task Graph"));
    cpuGraph_ = graphMenu_->addAction(QStringLiteral("CPU Graph"));
    functionGraph_ = graphMenu_->addAction(QStringLiteral("Function Graph"));
    graph_->setMenu(graphMenu_);
    for (QAction* action :
         {saveData_, loadData_, importRaw_, exportText_, taskGraph_, cpuGraph_, functionGraph_}) {
        action->setEnabled(false);
    }

    // Every control forwards to the view it serves at the moment it is used.
    const auto run = [this](Command command) {
        return [this, command] {
            if (view_ != nullptr) {
                view_->RunCommand(command);
            }
        };
    };
    connect(start_, &QAbstractButton::clicked, this, run(Command::Start));
    connect(stop_, &QAbstractButton::clicked, this, run(Command::Stop));
    connect(settings_, &QAbstractButton::clicked, this, run(Command::Settings));
    connect(runVtune_, &QAbstractButton::clicked, this, run(Command::ConvertToVtune));
    connect(saveData_, &QAction::triggered, this, run(Command::BarSaveData));
    connect(loadData_, &QAction::triggered, this, run(Command::BarLoadData));
    connect(importRaw_, &QAction::triggered, this, run(Command::ImportRawLog));
    connect(exportText_, &QAction::triggered, this, run(Command::ExportToText));
    connect(taskGraph_, &QAction::triggered, this, run(Command::BarTaskGraph));
    connect(cpuGraph_, &QAction::triggered, this, run(Command::BarCpuGraph));
    connect(functionGraph_, &QAction::triggered, this, run(Command::BarFunctionGraph));

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

void CPerformanceControlBar::ShowFlags(const ViewFlags& flags) {
    stop_->setEnabled(flags.collecting);
    start_->setEnabled(flags.canStart);
    settings_->setEnabled(flags.canStart);
    runVtune_->setEnabled(flags.canRunVtune);
    taskGraph_->setEnabled(flags.canShowGraphs);
    cpuGraph_->setEnabled(flags.canShowGraphs);
    functionGraph_->setEnabled(false);
    saveData_->setEnabled(flags.canSave);
    loadData_->setEnabled(flags.canLoad);
    exportText_->setEnabled(flags.canLoad);
    // An import resets the store, which a running collection is filling.
    importRaw_->setEnabled(flags.canLoad);
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
