#include "EventTypes.h"

#include "FieldText.h"

#include <array>

namespace vkv::editor {

const QStringList &eventTypeItems() {
    // "9 : Note On ": the high digit, then the type's name.
    static const QStringList items = [] {
        QStringList list;
        for (int digit = 9; digit <= 0xF; ++digit)
            list << QStringLiteral("%1 : %2 ")
                        .arg(QString::number(digit, 16).toUpper(),
                             image::FieldText::eventType(digit * 16));
        return list;
    }();
    return items;
}

QString byte1Caption(int typeIndex) {
    static const std::array<const char *, 7> captions{
        "Note Nr :",        "Note Nr :",   "Control Nr :",   "Program Nr :",
        "Pressure Value :", "Pitch MSB :", "Meta Event Nr :"};
    return captions.at(static_cast<std::size_t>(typeIndex));
}

QString hexText(int value) {
    return image::FieldText::hex(value);
}

} // namespace vkv::editor
