#pragma once

class QComboBox;
class QLabel;
class QSpinBox;

namespace vkv::editor {

// A page's status byte and its parts: the Byte 0 spin edit, its hexadecimal read-out, the event
// type list and the channel spin edit. Both pages show and edit a status the same way; the
// type list's and the channel's "Tag" property is 1 while the page sets them itself, so their
// change handlers know the change is no choice of the user's.
struct StatusControls {
    QSpinBox *byte0 = nullptr;
    QLabel *hex = nullptr;
    QComboBox *type = nullptr;
    QSpinBox *channel = nullptr;

    // Shows the status that byte0 holds in the read-out, the type list (no selection below 0x90)
    // and the channel; returns its event type index, -1 below 0x90.
    int showParts() const;
    // The user chose an event type or a channel: byte0 gets the status with it put in.
    void typeChosen() const;
    void channelChosen() const;
};

} // namespace vkv::editor
