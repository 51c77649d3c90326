#pragma once

#include <QWidget>

namespace zuta::performance {

class CPerformanceFrame;

// The module's window content. So far it carries the lifecycle only: built by the document
// template inside its frame, initial update once the frame shows it, destroyed with the frame.
class CPerformanceView : public QWidget {
    Q_OBJECT
public:
    explicit CPerformanceView(CPerformanceFrame* frame);

    // Runs once, when the frame first shows the view: connects the frame's control bar to it.
    void OnInitialUpdate();
    bool initialUpdateDone() const { return initialUpdateDone_; }

    CPerformanceFrame* frame() const { return frame_; }

private:
    CPerformanceFrame* frame_;
    bool initialUpdateDone_ = false;
};

} // namespace zuta::performance
