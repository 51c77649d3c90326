#include "MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QVariant>

namespace zuta::hostapp {

PaneDock::PaneDock(const QString& title, QWidget* parent) : QDockWidget(title, parent) {
    setObjectName(title);
    setAttribute(Qt::WA_DeleteOnClose);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
}

void PaneDock::closeEvent(QCloseEvent* event) {
    if (QWidget* pane = widget(); pane != nullptr && !pane->close()) {
        event->ignore();
        return;
    }
    QDockWidget::closeEvent(event);
}

MainWindow::MainWindow(std::string settingsPath, QWidget* parent)
    : QMainWindow(parent), mdiArea_(new QMdiArea(this)), output_(new OutputPane(this)),
      settings_(std::move(settingsPath)) {
    setObjectName(QStringLiteral("ZutaHostWindow"));
    setWindowTitle(QStringLiteral("ZUTA Host"));
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdiArea_);

    auto* outputDock = new QDockWidget(QStringLiteral("Output"), this);
    outputDock->setObjectName(QStringLiteral("OutputDock"));
    outputDock->setWidget(output_);
    addDockWidget(Qt::BottomDockWidgetArea, outputDock);

    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    newMenu_ = fileMenu->addMenu(QStringLiteral("&New"));
    fileMenu->addSeparator();
    fileMenu->addAction(QStringLiteral("E&xit"), QKeySequence::Quit, this, &QWidget::close);
    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu->addAction(outputDock->toggleViewAction());
    QMenu* windowMenu = menuBar()->addMenu(QStringLiteral("&Window"));
    windowMenu->addAction(QStringLiteral("&Cascade"), mdiArea_, &QMdiArea::cascadeSubWindows);
    windowMenu->addAction(QStringLiteral("&Tile"), mdiArea_, &QMdiArea::tileSubWindows);
    RebuildNewMenu();
    statusBar()->showMessage(QStringLiteral("Ready"));

    qApp->setProperty(host::kHostWindowProperty, QVariant::fromValue(static_cast<void*>(
                                                     static_cast<host::IHostWindow*>(this))));
}

MainWindow::~MainWindow() {
    if (qApp->property(host::kHostWindowProperty).value<void*>() ==
        static_cast<void*>(static_cast<host::IHostWindow*>(this))) {
        qApp->setProperty(host::kHostWindowProperty, QVariant());
    }
}

void MainWindow::DockPane(const host::DockPaneRecord& record) {
    auto* pane = static_cast<QWidget*>(record.pane);
    if (pane == nullptr) {
        return;
    }
    auto* dock = new PaneDock(QString::fromStdString(record.title), this);
    dock->setWidget(pane);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    dock->setVisible(record.visible);
}

void MainWindow::AddChildFrame(host::WindowHandle frame) {
    auto* window = static_cast<QWidget*>(frame);
    if (window == nullptr) {
        return;
    }
    if (auto* subWindow = qobject_cast<QMdiSubWindow*>(window)) {
        mdiArea_->addSubWindow(subWindow);
    } else {
        mdiArea_->addSubWindow(window);
    }
}

void MainWindow::AddDocumentTemplate(std::unique_ptr<host::IDocumentTemplate> documentTemplate) {
    if (documentTemplate == nullptr) {
        return;
    }
    // A module registering again after Term and Init replaces its earlier template.
    for (auto& existing : templates_) {
        if (existing->Name() == documentTemplate->Name()) {
            existing = std::move(documentTemplate);
            RebuildNewMenu();
            return;
        }
    }
    templates_.push_back(std::move(documentTemplate));
    RebuildNewMenu();
}

host::IDocumentTemplate* MainWindow::FindDocumentTemplate(std::string_view name) {
    for (const auto& documentTemplate : templates_) {
        if (documentTemplate->Name() == name) {
            return documentTemplate.get();
        }
    }
    return nullptr;
}

void MainWindow::SetTargetLinks(host::ICommandLink* commandLink, host::IDataLink* dataLink,
                                host::ISenderNameResolver* resolver) {
    commandLink_ = commandLink;
    dataLink_ = dataLink;
    resolver_ = resolver;
}

void MainWindow::RemoveDocumentTemplates() {
    templates_.clear();
    RebuildNewMenu();
}

void MainWindow::RebuildNewMenu() {
    newMenu_->clear();
    for (const auto& documentTemplate : templates_) {
        const std::string name(documentTemplate->Name());
        newMenu_->addAction(QString::fromStdString(name), this, [this, name] {
            if (host::IDocumentTemplate* found = FindDocumentTemplate(name)) {
                found->OpenNewDocument();
            }
        });
    }
    newMenu_->setEnabled(!templates_.empty());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeHandler_) {
        auto handler = std::move(closeHandler_);
        closeHandler_ = nullptr;
        handler();
    }
    QMainWindow::closeEvent(event);
}

} // namespace zuta::hostapp
