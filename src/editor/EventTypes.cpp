#include "EventTypes.h"

#include <array>

namespace vkv::editor {

const QStringList &eventTypeItems() {
    static const QStringList items{
        "9 : Note On ",        "A : Poly Aftertouch ",    "B : Controller ",
        "C : Program Change ", "D : Channel Aftertouch ", "E : Pitch Bender ",
        "F : Meta Event "};
    return items;
}

QString byte1Caption(int typeIndex) {
    static const std::array<const char *, 7> captions{
        "Note Nr :",        "Note Nr :",   "Control Nr :",   "Program Nr :",
        "Pressure Value :", "Pitch MSB :", "Meta Event Nr :"};
    return captions.at(static_cast<std::size_t>(typeIndex));
}

QString hexText(int value) {
    return QString::asprintf("%02X", value);
}

} // namespace vkv::editor
