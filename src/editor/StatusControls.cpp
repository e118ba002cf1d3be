#include "StatusControls.h"

#include "EventTypes.h"
#include "MidiMessage.h"

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>

namespace vkv::editor {

namespace {

bool setByPage(const QObject *control) {
    return control->property("Tag").toInt() == 1;
}

} // namespace

int StatusControls::showParts() const {
    const int s = byte0->value();
    hex->setText(hexText(s));

    const int typeIndex = midi::eventTypeIndex(s);
    type->setProperty("Tag", 1);
    type->setCurrentIndex(typeIndex);
    type->setProperty("Tag", 0);

    channel->setProperty("Tag", 1);
    channel->setValue(midi::channelOf(s));
    channel->setProperty("Tag", 0);
    return typeIndex;
}

void StatusControls::typeChosen() const {
    if (setByPage(type) || type->currentIndex() < 0)
        return;
    byte0->setValue(midi::statusWithType(byte0->value(), type->currentIndex()));
}

void StatusControls::channelChosen() const {
    if (setByPage(channel))
        return;
    byte0->setValue(midi::statusWithChannel(byte0->value(), channel->value()));
}

} // namespace vkv::editor
