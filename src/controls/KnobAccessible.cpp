#include "KnobAccessible.h"

#include "TKnob.h"

#include <algorithm>

namespace vkv::controls {

namespace {

QAccessibleInterface *knobFactory(const QString &className, QObject *object) {
    if (className == QLatin1String("TKnob") && object && object->isWidgetType())
        return new KnobAccessible(static_cast<TKnob *>(object));
    return nullptr;
}

} // namespace

KnobAccessible::KnobAccessible(TKnob *knob) : QAccessibleWidget(knob, QAccessible::Dial) {}

void KnobAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(knobFactory);
        return true;
    }();
    (void)installed;
}

TKnob *KnobAccessible::knob() const {
    return static_cast<TKnob *>(widget());
}

void *KnobAccessible::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString KnobAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value)
        return QString::number(knob()->Position());
    QString s = QAccessibleWidget::text(t);
    if (t == QAccessible::Name && s.isEmpty())
        s = knob()->Caption();
    return s;
}

QVariant KnobAccessible::currentValue() const {
    return knob()->Position();
}

void KnobAccessible::setCurrentValue(const QVariant &value) {
    knob()->SetPosition(value.toInt());
}

// A reversed knob still reports its lower end as the minimum.
QVariant KnobAccessible::maximumValue() const {
    return std::max(knob()->Min(), knob()->Max());
}

QVariant KnobAccessible::minimumValue() const {
    return std::min(knob()->Min(), knob()->Max());
}

QVariant KnobAccessible::minimumStepSize() const {
    return 1;
}

} // namespace vkv::controls
