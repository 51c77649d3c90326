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
    windowMenu_ = menuBar()->addMenu(QStringLiteral("&Window"));
    windowMenu_->addAction(QStringLiteral("&Cascade"), mdiArea_, &QMdiArea::cascadeSubWindows);
    windowMenu_->addAction(QStringLiteral("&Tile"), mdiArea_, &QMdiArea::tileSubWindows);
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, &MainWindow::ShowActiveFrameMenu);
    RebuildNewMenu();
    statusBar()->showMessage(QStringLiteral("Ready"));

    qApp->setProperty(host::kHostWindowProperty, QVariant::fromValue(static_cast<void*>(
                                                     static_cast<host::IHostWindow*>(this))));
}

MainWindow::~MainWindow() {
    // The area and the frames go with the base class, after this class: their signals must not
    // reach it any more.
    disconnect(mdiArea_, nullptr, this, nullptr);
    for (const auto& [frame, menu] : frameMenus_) {
        disconnect(frame, nullptr, this, nullptr);
    }
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

bool MainWindow::SetFrameMenu(host::WindowHandle frame, host::WindowHandle menu) {
    auto* window = static_cast<QWidget*>(frame);
    auto* frameMenu = static_cast<QMenu*>(menu);
    if (window == nullptr || frameMenu == nullptr) {
        return false;
    }
    if (frameMenus_.emplace(window, frameMenu).second) {
        connect(window, &QObject::destroyed, this, [this, window] {
            frameMenus_.erase(window);
            ShowActiveFrameMenu();
        });
    } else {
        frameMenus_[window] = frameMenu;
    }
    ShowActiveFrameMenu();
    return true;
}

void MainWindow::ShowActiveFrameMenu() {
    // The current child frame stays current while another application window has the focus, so
    // the menu does not come and go with it.
    QMenu* wanted = nullptr;
    if (QMdiSubWindow* current = mdiArea_->currentSubWindow()) {
        if (const auto it = frameMenus_.find(current); it != frameMenus_.end()) {
            wanted = it->second;
        }
    }
    if (wanted == shownFrameMenu_) {
        return;
    }
    if (shownFrameMenu_ != nullptr) {
        menuBar()->removeAction(shownFrameMenu_->menuAction());
    }
    shownFrameMenu_ = wanted;
    if (wanted != nullptr) {
        // Between the host's own menus and its window menu, where a frame's menu goes.
        menuBar()->insertAction(windowMenu_->menuAction(), wanted->menuAction());
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
