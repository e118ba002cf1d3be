#include "TKnob.h"

#include "KnobAccessible.h"
#include "KnobMath.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace knob = vkv::controls::knob;

namespace {

// The pen path for a figure that covers the pixels of the box (l, t, r, b), right and bottom
// excluded, with a pen of the given width.
QRectF penBox(int l, int t, int r, int b, qreal penWidth) {
    const qreal h = penWidth / 2;
    return {l + h, t + h, r - l - penWidth, b - t - penWidth};
}

// The arc of the ellipse in the box from the radial through `from` counter-clockwise to the
// radial through `to`.
void drawArc(QPainter &p, int l, int t, int r, int b, QPointF from, QPointF to) {
    const QRectF box = penBox(l, t, r, b, p.pen().widthF());
    const QPointF c = box.center();
    const auto degrees = [&](QPointF q) {
        return std::atan2(c.y() - q.y(), q.x() - c.x()) * 180 / std::numbers::pi;
    };
    const double start = degrees(from);
    double span = degrees(to) - start;
    if (span <= 0)
        span += 360;
    p.drawArc(box, qRound(start * 16), qRound(span * 16));
}

int saturated(long long v) {
    return static_cast<int>(
        std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool isArrow(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
}

} // namespace

TKnob::TKnob(QWidget *owner) : QWidget(owner) {
    vkv::controls::KnobAccessible::install();
    // Tab focus only: a click takes the focus itself, and only inside the round face.
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true); // the label previews the value under the mouse without a press
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(40, 40);
    scale_ = knob::scaleOf(min_, max_);
    angle_ = knob::angleOf(position_, min_, scale_);
}

QColor TKnob::LineColor() const {
    return lineColor_.isValid() ? lineColor_ : palette().color(QPalette::Highlight);
}

void TKnob::SetSpringLoaded(bool b) {
    springLoaded_ = b;
    if (b)
        SetPosition(0);
}

void TKnob::SetLineColor(const QColor &k) {
    if (k == LineColor() || k == palette().color(QPalette::Button))
        return;
    lineColor_ = k;
    update();
}

void TKnob::SetPositionLabel(QLabel *label) {
    positionLabel_ = label;
    if (label) {
        label->setEnabled(isEnabled());
        writeLabel(position_);
    }
}

void TKnob::SetCaption(const QString &text) {
    if (text == caption_)
        return;
    caption_ = text;
    writeLabel(position_);
}

void TKnob::setVisible(bool visible) {
    QWidget::setVisible(visible);
    if (positionLabel_)
        positionLabel_->setVisible(visible);
}

void TKnob::SetParams(int pos, int min, int max) {
    if (min != min_) {
        min_ = min;
        scale_ = knob::scaleOf(min_, max_);
    }
    if (max != max_) {
        max_ = max;
        scale_ = knob::scaleOf(min_, max_);
    }
    position_ = knob::clampPosition(pos, min_, max_, scale_);
    angle_ = knob::angleOf(position_, min_, scale_);
    // The handler first: on the virtual box it sends the knob's MIDI message, which should not
    // wait for the label's text layout and the repaint request.
    if (OnChange) {
        const NotifyEvent handler = OnChange; // survives a handler that replaces itself
        handler(this);
    }
    update();
    writeLabel(position_);
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, position_);
        QAccessible::updateAccessibility(&changed);
    }
}

void TKnob::writeLabel(int value) {
    // The caption is appended as plain text, never read as a format.
    if (positionLabel_)
        positionLabel_->setText(QString::number(value) + u' ' + caption_);
}

int TKnob::valueUnderMouse() const {
    return knob::valueOf(mouseAngle_, min_, max_, scale_);
}

bool TKnob::event(QEvent *e) {
    // Arrow keys turn the knob; no shortcut or focus move may take them first.
    if (e->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(e);
        if (isArrow(key->key()) && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            e->accept();
            return true;
        }
    }
    return QWidget::event(e);
}

void TKnob::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const int w = width();
    const int h = height();
    const QColor face = palette().color(QPalette::Button);
    const QColor light = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);

    // The corners outside the round face show the parent's colour.
    p.fillRect(rect(), palette().brush(backgroundRole()));
    p.setRenderHint(QPainter::Antialiasing);

    // Face, lit from the upper left.
    p.setPen(QPen(face, 1));
    p.setBrush(face);
    p.drawEllipse(penBox(2, 2, w - 2, h - 2, 1));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(light, 2));
    drawArc(p, 2, 2, w, h, QPointF(w, 0), QPointF(0, h));
    p.setPen(QPen(shadow, 2));
    drawArc(p, 1, 1, w - 1, h - 1, QPointF(0, h), QPointF(w, 0));

    // Ring: its upper-left half turns black while the knob has the focus.
    p.setPen(QPen(isEnabled() ? QColor(Qt::black) : shadow, 1));
    p.drawEllipse(penBox(0, 0, w, h, 1));
    p.setPen(QPen(hasFocus() ? QColor(Qt::black) : shadow, 1));
    drawArc(p, 0, 0, w, h, QPointF(w, 0), QPointF(0, h));

    // Pointer, with a highlight beside it one pixel down and right.
    const knob::PointerEnds e = knob::pointerEnds(angle_, radius_);
    const auto line = [&](const QColor &colour, qreal offset) {
        p.setPen(QPen(colour, 1));
        p.drawLine(QPointF(e.innerX + offset, e.innerY + offset),
                   QPointF(e.outerX + offset, e.outerY + offset));
    };
    line(light, 1.5);
    line(LineColor(), 0.5);
}

void TKnob::resizeEvent(QResizeEvent *e) {
    QWidget::resizeEvent(e);
    const int s = knob::squareSide(e->size().width(), e->size().height(), side_);
    side_ = s;
    radius_ = s / 2;
    if (e->size() != QSize(s, s))
        resize(s, s); // the nested resize finds the side already set and changes nothing
    update();
}

void TKnob::mousePressEvent(QMouseEvent *e) {
    const QPoint at = e->position().toPoint();
    if (e->button() == Qt::LeftButton && knob::insideEllipse(at.x(), at.y(), width(), height())) {
        mouseAngle_ = knob::mouseAngle(at.x(), at.y(), width(), height());
        setFocus(Qt::MouseFocusReason);
        dragging_ = true;
        SetPosition(valueUnderMouse());
    }
    e->accept();
    if (OnMouseDown) {
        const MouseEvent handler = OnMouseDown;
        handler(this, e->button(), e->modifiers(), at.x(), at.y());
    }
}

void TKnob::mouseMoveEvent(QMouseEvent *e) {
    const QPoint at = e->position().toPoint();
    mouseAngle_ = knob::mouseAngle(at.x(), at.y(), width(), height());
    const int v = valueUnderMouse();
    if (dragging_ && v != position_)
        SetPosition(v);
    writeLabel(v);
    e->accept();
}

void TKnob::mouseReleaseEvent(QMouseEvent *e) {
    if (dragging_) {
        const QPoint at = e->position().toPoint();
        mouseAngle_ = knob::mouseAngle(at.x(), at.y(), width(), height());
        if (springLoaded_) {
            SetPosition(0);
        } else {
            const int v = valueUnderMouse();
            if (v != position_)
                SetPosition(v);
        }
        dragging_ = false;
    }
    e->accept();
}

void TKnob::keyPressEvent(QKeyEvent *e) {
    long long target = 0;
    switch (e->key()) {
    case Qt::Key_PageUp:
        target = static_cast<long long>(position_) + pageSize_;
        break;
    case Qt::Key_PageDown:
        target = static_cast<long long>(position_) - pageSize_;
        break;
    case Qt::Key_End:
        target = max_;
        break;
    case Qt::Key_Home:
        target = min_;
        break;
    case Qt::Key_Up:
    case Qt::Key_Right:
        target = static_cast<long long>(position_) + 1;
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        target = static_cast<long long>(position_) - 1;
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    SetPosition(saturated(target));
}

void TKnob::focusInEvent(QFocusEvent *e) {
    QWidget::focusInEvent(e);
    update();
}

void TKnob::focusOutEvent(QFocusEvent *e) {
    QWidget::focusOutEvent(e);
    dragging_ = false;
    if (springLoaded_)
        SetPosition(0);
    update();
}

void TKnob::leaveEvent(QEvent *e) {
    QWidget::leaveEvent(e);
    writeLabel(position_);
}

void TKnob::changeEvent(QEvent *e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) {
        if (positionLabel_)
            positionLabel_->setEnabled(isEnabled());
        update();
    } else if (e->type() == QEvent::PaletteChange) {
        update();
    }
}
