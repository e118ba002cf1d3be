#include "RecordFields.h"

#include "FieldText.h"

#include <array>

namespace vkv::image {

namespace {

using Field = RecordFields::Field;
using Entry = RecordFields::Entry;

// The pages' Byte 0 takes 90 to FF, the event type list 9 to F, Min and Max 0 to 7F.
constexpr Entry EventType{Field::EventType, 0, 0x9, 0xF};
constexpr Entry Channel{Field::Channel, 0, 0x0, 0xF};
constexpr Entry Status{Field::Status, 0, 0x90, 0xFF};

constexpr std::array<Entry, 6> PotEntries{EventType,
                                          Channel,
                                          Status,
                                          Entry{Field::Byte1, PotByte1, 0x00, 0xFF},
                                          Entry{Field::Min, PotMin, 0x00, 0x7F},
                                          Entry{Field::Max, PotMax, 0x00, 0x7F}};
constexpr std::array<Entry, 6> ButtonEntries{EventType,
                                             Channel,
                                             Status,
                                             Entry{Field::Byte1, ButtonByte1, 0x00, 0xFF},
                                             Entry{Field::Byte2, ButtonByte2, 0x00, 0xFF},
                                             Entry{Field::Mode, ButtonMode, 0, 2}};

} // namespace

const RecordFields &RecordFields::pots() {
    static const RecordFields pots(true, PotEntries);
    return pots;
}

const RecordFields &RecordFields::buttons() {
    static const RecordFields buttons(false, ButtonEntries);
    return buttons;
}

// The words are literals: handing one out copies no text, which a comparison of every record
// does hundreds of times.
QString RecordFields::word(Field field) {
    static const std::array<QString, 8> words{
        QStringLiteral("Event Type"), QStringLiteral("MIDI Channel"), QStringLiteral("Byte 0"),
        QStringLiteral("Byte 1"),     QStringLiteral("Byte 2"),       QStringLiteral("Min"),
        QStringLiteral("Max"),        QStringLiteral("Mode")};
    return words[static_cast<std::size_t>(field)];
}

int RecordFields::value(Field field, std::uint8_t stored) {
    switch (field) {
    case Field::EventType:
        return readStatus(stored) / 16;
    case Field::Channel:
        return stored % 16;
    case Field::Status:
        return readStatus(stored);
    default:
        return stored;
    }
}

QString RecordFields::text(Field field, int value) {
    switch (field) {
    case Field::EventType:
        return FieldText::eventType(value * 16);
    case Field::Channel:
        return QString::number(value + 1);
    case Field::Mode:
        return FieldText::mode(value);
    default:
        return FieldText::hex(value);
    }
}

} // namespace vkv::image
