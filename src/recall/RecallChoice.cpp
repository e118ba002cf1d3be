#include "RecallChoice.h"

namespace vkv::recall {

RecallChoice RecallChoice::of(const library::SetList &list, std::uint8_t status,
                              std::uint8_t data1) {
    RecallChoice choice;
    if ((status & 0xF0) != 0xC0 || data1 > 0x7F)
        return choice;
    choice.program = data1;
    choice.channel = (status & 0x0F) + 1;
    if (!list.takes(choice.channel))
        return choice;
    const library::SetList::Slot *slot = list.slot(choice.program);
    if (!slot) {
        choice.kind = Kind::Empty;
        return choice;
    }
    choice.slot = *slot;
    choice.kind = slot->missing ? Kind::Missing : Kind::Recall;
    return choice;
}

QString RecallChoice::change() const {
    return QStringLiteral("program change %1 on channel %2").arg(program).arg(channel);
}

QString RecallChoice::cause(const QString &list) const {
    return QStringLiteral("recalled by %1 (set list %2)").arg(change(), list);
}

QString RecallChoice::nothingSent(const QString &list) const {
    if (kind == Kind::Missing)
        return QStringLiteral("\"%1\" of the set list \"%2\" is missing from the library; nothing "
                              "was sent")
            .arg(slot.name, list);
    return QStringLiteral("the set list \"%1\" has no slot for program %2; nothing was sent")
        .arg(list)
        .arg(program);
}

} // namespace vkv::recall
