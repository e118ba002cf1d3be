#pragma once

#include "ConfigImage.h"

#include <QString>
#include <cstdint>
#include <span>

namespace vkv::image {

// The fields of pot and button records, in one table for everything that reads a record field by
// field: the comparison, the INI export, a search of stored configurations. Each field lies in one
// of the record's four bytes. The status byte holds two, the event type (its high digit) and the
// MIDI channel (its low digit), and is a field of its own as well, "Byte 0", which the pages edit
// whole; each other byte is one field. A field carries the word the pages caption it with and the
// values its control there takes: a stored value outside them shows bounded where a spin edit
// shows the field, and as nothing where a list does (no event type for a status below 90, no mode
// above 2).
class RecordFields {
public:
    enum class Field { EventType, Channel, Status, Byte1, Byte2, Min, Max, Mode };

    struct Entry {
        Field field;
        int byte;    // which of the record's bytes holds it, 0..3
        int lowest;  // the values the pages' control for it takes,
        int highest; // in the terms of value()
    };

    // The records of each kind: 256 pots, 128 buttons.
    static const RecordFields &pots();
    static const RecordFields &buttons();

    bool pot() const { return isPot; }
    int count() const { return isPot ? PotCount : ButtonCount; }
    // "Pot", "Button".
    const char *kind() const { return isPot ? "Pot" : "Button"; }
    // The fields in the order the pages show them; the status's two come before it.
    std::span<const Entry> fields() const { return entries; }
    // Where record `record` (from 0) begins in the dump, and its bank and number (from 1).
    int offset(int record) const { return isPot ? potOffset(record) : buttonOffset(record); }
    int bank(int record) const { return isPot ? potBank(record) : buttonBank(record); }
    int number(int record) const { return isPot ? potNumber(record) : buttonNumber(record); }

    // Whether the field is a whole byte of the record, rather than a digit of the status.
    static bool wholeByte(Field field) {
        return field != Field::EventType && field != Field::Channel;
    }
    // "Event Type", "MIDI Channel", "Byte 0", "Byte 1", "Byte 2", "Min", "Max", "Mode".
    static QString word(Field field);
    // The field's value in its stored byte: the status with bit 7 set (it is stored cleared),
    // the event type as that status's high digit (8..F), the channel as its low digit (0..F), any
    // other field the byte itself.
    static int value(Field field, std::uint8_t stored);
    // A value as the pages show it: the event type's and the mode's names, the channel counted
    // from 1, any other field as two hexadecimal digits. Empty for an event type or a mode the
    // pages' lists do not hold; any other value outside the pages' range is written as it is.
    static QString text(Field field, int value);

private:
    RecordFields(bool pot, std::span<const Entry> entries) : isPot(pot), entries(entries) {}

    bool isPot;
    std::span<const Entry> entries;
};

} // namespace vkv::image
