#pragma once

#include "graphs/GradientBar.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QFont;

namespace zuta::performance {

// A small pop-up showing one line of text at the pointer inside a graph. It stays while the
// pointer remains in its stay rectangle, passes clicks and key presses on to the window beneath
// (key presses to the owner) and hides as soon as the pointer leaves or the user clicks or types.
// The owner is the widget whose client coordinates Show takes; the tip is a window of its own.
class ZTitleTip final : public QWidget {
    Q_OBJECT
public:
    explicit ZTitleTip(QWidget* owner);
    ~ZTitleTip() override;

    // Shows `text` in a tip covering `rectInOwner` (owner coordinates), `textOffset` pixels to
    // the right. The tip stays while the pointer is within `stayInOwner` (or `rectInOwner`).
    // While the tip is visible only the stay rectangle changes: hide first to move it. Nothing
    // is shown while no window of the application has the focus. `font` defaults to the
    // owner's.
    void Show(const QRect& rectInOwner, const QString& text, int textOffset = 0,
              const QRect* stayInOwner = nullptr, const QFont* font = nullptr);
    void Hide();

    // A black frame around the tip (the default).
    void SetBorder(bool border) { border_ = border; }
    bool border() const { return border_; }
    // No background fill (not the default).
    void SetTransparent(bool transparent);
    bool transparent() const { return transparent_; }

    // The text shown and the stay rectangle in screen coordinates, for the owner's tests.
    const QString& shownText() const { return text_; }
    graphs::Rect stayOnScreen() const { return stay_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* TargetAt(const QPoint& global) const;
    void Forward(QWidget* target, const QMouseEvent& event, const QPoint& global);

    QPointer<QWidget> owner_;
    // The window a click went on to: its button release follows it there.
    QPointer<QWidget> pressTarget_;
    QString text_;
    graphs::Rect stay_;
    bool border_ = true;
    bool transparent_ = false;
    bool filtering_ = false;
};

} // namespace zuta::performance
