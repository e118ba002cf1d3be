#pragma once

#include <QAccessibleWidget>

class TKnob;

namespace vkv::controls {

// What screen readers and UI automation see of a knob: a dial with its value and its range.
class KnobAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit KnobAccessible(TKnob *knob);

    // Registers the factory with Qt, once per process.
    static void install();

    void *interface_cast(QAccessible::InterfaceType t) override;
    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant &value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    TKnob *knob() const;
};

} // namespace vkv::controls
