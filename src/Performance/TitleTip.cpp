#include "Performance/TitleTip.h"

#include "Performance/GraphPainter.h"
#include "graphs/TitleTipRules.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace zuta::performance {
namespace {

const QColor kBackground(255, 255, 212);

graphs::Rect OnScreen(const QRect& rect, const QPoint& origin) {
    return {origin.x() + rect.left(), origin.y() + rect.top(),
            origin.x() + rect.left() + rect.width(), origin.y() + rect.top() + rect.height()};
}

} // namespace

ZTitleTip::ZTitleTip(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus),
      owner_(owner) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
}

ZTitleTip::~ZTitleTip() {
    Hide();
}

void ZTitleTip::SetTransparent(bool transparent) {
    transparent_ = transparent;
    setAttribute(Qt::WA_TranslucentBackground, transparent);
}

void ZTitleTip::Show(const QRect& rectInOwner, const QString& text, int textOffset,
                     const QRect* stayInOwner, const QFont* font) {
    if (owner_ == nullptr) {
        return;
    }
    const QPoint origin = owner_->mapToGlobal(QPoint(0, 0));
    const graphs::Rect rect = OnScreen(rectInOwner, origin);
    const graphs::TipShow decision =
        graphs::DecideTipShow(rect, isVisible(), QApplication::activeWindow() != nullptr);
    if (decision == graphs::TipShow::Ignore) {
        return;
    }
    stay_ = OnScreen(stayInOwner != nullptr ? *stayInOwner : rectInOwner, origin);
    if (decision == graphs::TipShow::KeepStay) {
        return;
    }

    text_ = QString::fromStdString(graphs::TipText(text.toStdString()));
    setFont(font != nullptr ? *font : owner_->font());
    const int textWidth = QFontMetrics(this->font()).horizontalAdvance(text_);
    setGeometry(ToQRect(graphs::TipWindowRect(rect, textOffset, textWidth, 0)));
    show();
    grabMouse();
    if (!filtering_) {
        qApp->installEventFilter(this);
        filtering_ = true;
    }
}

void ZTitleTip::Hide() {
    if (filtering_) {
        qApp->removeEventFilter(this);
        filtering_ = false;
    }
    if (QWidget::mouseGrabber() == this) {
        releaseMouse();
    }
    hide();
}

void ZTitleTip::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (!transparent_) {
        painter.fillRect(rect(), kBackground);
    }
    if (border_) {
        painter.setPen(Qt::black);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    painter.setPen(Qt::black);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                     text_);
}

// The window beneath the pointer gets what the tip intercepted; the tip itself stands for its
// owner.
QWidget* ZTitleTip::TargetAt(const QPoint& global) const {
    QWidget* under = QApplication::widgetAt(global);
    if (under == nullptr || under->window() == this) {
        return owner_;
    }
    return under;
}

void ZTitleTip::Forward(QWidget* target, const QMouseEvent& event, const QPoint& global) {
    if (target == nullptr) {
        return;
    }
    const QPointF local = target->mapFromGlobal(QPointF(global));
    const QEvent::Type type =
        event.type() == QEvent::MouseButtonDblClick ? QEvent::MouseButtonPress : event.type();
    QCoreApplication::postEvent(target,
                                new QMouseEvent(type, local, QPointF(global), event.button(),
                                                event.buttons(), event.modifiers()));
}

void ZTitleTip::mouseMoveEvent(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    if (stay_.contains(global.x(), global.y())) {
        return;
    }
    Hide();
    Forward(TargetAt(global), *event, global);
}

void ZTitleTip::mousePressEvent(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    QWidget* target = TargetAt(global);
    Hide();
    pressTarget_ = target;
    Forward(target, *event, global);
}

void ZTitleTip::mouseReleaseEvent(QMouseEvent* event) {
    if (pressTarget_ != nullptr) {
        Forward(pressTarget_, *event, event->globalPosition().toPoint());
        pressTarget_ = nullptr;
    }
}

void ZTitleTip::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

bool ZTitleTip::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        Hide();
        if (owner_ != nullptr) {
            QCoreApplication::postEvent(owner_, new QKeyEvent(QEvent::KeyPress, key->key(),
                                                              key->modifiers(), key->text(),
                                                              key->isAutoRepeat(), key->count()));
        }
        return true;
    }
    case QEvent::ApplicationDeactivate:
        Hide();
        return false;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace zuta::performance
