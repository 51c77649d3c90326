#pragma once

#include <QMdiSubWindow>
#include <QPointer>
#include <QRect>

namespace zuta::host {
class IHostWindow;
}

namespace zuta::performance {

class CPerformanceControlBar;
class CPerformanceDoc;
class CPerformanceView;

// The module's child frame in the host's multi-document area. It owns the document and the view,
// and docks its control bar into the host as the pane "ZUT Tool". Closing the frame closes the
// pane and closing the pane closes the frame, each once.
class CPerformanceFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    // Records itself as the manager's frame and takes ownership of `document`.
    explicit CPerformanceFrame(CPerformanceDoc* document);
    ~CPerformanceFrame() override;

    // Creates the control bar when there is none and docks it into the host.
    void Create(host::IHostWindow& host);

    CPerformanceDoc* document() const { return document_; }
    CPerformanceView* view() const { return view_; }
    void SetView(CPerformanceView* view);
    CPerformanceControlBar* controlBar() const { return controlBar_; }
    bool closing() const { return closing_; }

    // The rectangle of the frame in its normal (neither maximized nor minimized) state.
    QRect normalRect() const { return normalRect_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RememberNormalRect();

    CPerformanceDoc* document_;
    CPerformanceView* view_ = nullptr;
    QPointer<CPerformanceControlBar> controlBar_;
    bool closing_ = false;
    QRect normalRect_;
};

} // namespace zuta::performance
