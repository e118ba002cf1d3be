#pragma once

#include "ConfigImage.h"
#include "RecordId.h"

#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace vkv::records {

// The words for a record, in one place for everything that writes records as text or reads them
// back: the record sheet, the overview's cells, the list of records that send the same message,
// the labels of the printed sheet.
//
// A record is named "pot 3.5" or "button 2.1" (bank.number). Its fields are the sheet's columns:
// the event type by the name the pages show ("Controller"), the channel 1..16, the number (byte
// 1), min and max of a pot, value (byte 2) and mode ("ON/OFF", "ON ONLY", "TOGGLE") of a button,
// the numbers 0..127 in decimal. A stored byte that the pages cannot show as it is, and that would
// change if it were written back the way they show it, is written as the stored byte in
// hexadecimal ("0x85"), and read back only in that form: a status byte outside 0x10..0x7F (below
// 0x90 once read, or stored with bit 7 set), a data byte above 127, a mode above 2. So a record
// read back from its own words has the bytes it had.
class RecordWords {
public:
    enum class Column { Record, Type, Channel, Number, Min, Max, Value, Mode };
    static constexpr int ColumnCount = 8;
    // A record's four stored bytes, as the dump holds them.
    using Bytes = std::array<std::uint8_t, image::RecordSize>;

    // "record", "type", "channel", "number", "min", "max", "value", "mode".
    static QString columnWord(Column column);
    // Whether a pot (or a button) has the column: min and max are a pot's, value and mode a
    // button's; the others both have.
    static bool has(bool pot, Column column);
    // Which of the record's bytes the column is written from; the type and the channel share the
    // status byte; the record's name has none (-1).
    static int byteOf(Column column);

    // "pot 3.5", "button 2.1".
    static QString name(RecordId record);
    // The record a name names; case and blanks around it do not count. Nothing for any other
    // text, a bank outside 1..16 or a number outside the bank.
    static std::optional<RecordId> readName(QStringView text);

    // "16 pots", "1 button", "3 records" (pots and buttons together).
    static QString count(const std::vector<RecordId> &records);
    // The records in the box's order, worded: "pot 3.5", or "16 pots: pot 3.1 to pot 3.16".
    static QString span(const std::vector<RecordId> &records);

    static Bytes bytes(const image::ConfigImage &image, RecordId record);
    // The column's text for `record` holding `bytes`; "" for a column the record does not have.
    static QString text(const Bytes &bytes, RecordId record, Column column);
    // What the record sends, worded: "Controller 7 on channel 1", "Note Off 60 on channel 6" (a
    // status below 0x90), "Meta Event 7, Meta ID 1".
    static QString message(const Bytes &bytes);

    // What a record sends in a few words, as the printed sheet labels its knob or button: "CC 74
    // ch 1", "Note C4 ch 10" (the note named as the MIDI monitor names it), "Prog 5 ch 1" (the
    // program number as the pages show it), "Poly AT C4 ch 2", "Ch AT 64 ch 1", "Bend 0 ch 1",
    // "Meta 7 ID 1", and "Note Off C4 ch 6" for a status below 0x90. A number above 127 is
    // written as the stored byte ("CC 0xC8 ch 1").
    static QString brief(const Bytes &bytes);
    // A pot's range where it is not the whole of 0-127, "20-100"; "" where it is.
    static QString range(const Bytes &bytes);
    // What a button sends as its second byte: "vel 127" for a note, "value 64" for the others
    // that have one, "" for a program change or channel aftertouch.
    static QString buttonValue(const Bytes &bytes);

    // The stored status byte a type and a channel text give, read as text() writes them; nothing,
    // with `why` set, for texts that give none.
    static std::optional<std::uint8_t> readStatus(QStringView type, QStringView channel,
                                                  QString *why);
    // The stored byte of a number, min, max, value or mode text; nothing, with `why` set, for a
    // text that gives none.
    static std::optional<std::uint8_t> readByte(Column column, QStringView text, QString *why);
};

} // namespace vkv::records
