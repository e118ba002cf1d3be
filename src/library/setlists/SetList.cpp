#include "SetList.h"

#include <algorithm>

namespace vkv::library {

QString SetList::Slot::shown() const {
    return missing ? name + u' ' + Missing : name;
}

const SetList::Slot *SetList::slot(int program) const {
    const auto found = std::find_if(slotList.begin(), slotList.end(), [program](const Slot &slot) {
        return slot.program == program;
    });
    return found == slotList.end() ? nullptr : &*found;
}

std::optional<int> SetList::freeProgram() const {
    for (int program = 0; program < Programs; ++program)
        if (!slot(program))
            return program;
    return std::nullopt;
}

QString SetList::channelText(int channel) {
    return channel == AnyChannel ? QStringLiteral("any") : QString::number(channel);
}

std::optional<int> SetList::channelFrom(const QString &text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("any"), Qt::CaseInsensitive) == 0)
        return AnyChannel;
    bool number = false;
    const int channel = trimmed.toInt(&number);
    if (!number || channel < 1 || channel > 16)
        return std::nullopt;
    return channel;
}

} // namespace vkv::library
