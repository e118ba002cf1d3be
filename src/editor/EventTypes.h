#pragma once

#include <QString>
#include <QStringList>

namespace vkv::editor {

// The event types of a status byte's high digit, 9 to F, as both pages list them.
const QStringList &eventTypeItems();
// What byte 1 means for event type index 0..6, as both pages caption it.
QString byte1Caption(int typeIndex);
// The pages' hexadecimal read-out of a byte value ("%02X").
QString hexText(int value);

} // namespace vkv::editor
