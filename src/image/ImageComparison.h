#pragma once

#include "ConfigImage.h"

#include <QString>
#include <vector>

namespace vkv::image {

// One field of a record that differs between two configurations: its name as the pages caption
// it and both values as the pages show them, {"Event Type", "Controller", "Note On"}.
struct FieldDifference {
    QString field, a, b;
};

// One pot or button record that differs, with the fields that differ in it.
struct RecordDifference {
    bool pot = true; // a pot record, else a button record
    int id = 0;      // pot 0..255, button 0..127
    QString name;    // "Pot 1.3 (ID 2)", "Button 2.1 (ID 8)"
    std::vector<FieldDifference> fields;
    QString lineA, lineB; // the record as the INI export writes its line, " 1.3 = B0 02 [00-7F]"
};

// What differs between two configurations, record by record, in the words of the Pots and
// Buttons pages: the one comparison behind the comparison window and `vkvela --diff`.
//
// Records are compared byte for byte, so every difference the box would act on is found, and
// each is named by the fields it touches: for a pot Event Type, MIDI Channel (both of the status
// byte), Byte 1, Min and Max; for a button Event Type, MIDI Channel, Byte 1, Byte 2 and Mode.
// Event types and modes are named as the pages' lists name them, channels counted from 1, and the
// other bytes written in hexadecimal as the read-outs beside them write them. Where the pages
// would show two different bytes alike, the values still differ: a status below 0x90 (the type
// list selects nothing) is of type "none", a mode other than the three shows as its byte, a Min
// or Max above 7F as stored, and a status whose stored bytes differ only in bit 7 (a file may hold
// it set) as "Byte 0" with both bytes as stored.
class ImageComparison {
public:
    // The records that differ (bytes 6 to 1541 only: the header and the end byte are framing),
    // in image order, each with the fields that differ.
    static std::vector<RecordDifference> compare(const DumpBytes &a, const DumpBytes &b);
    // The rows as `vkvela --diff` prints them and the window copies them: for each record
    // "-" and lineA, then "+" and lineB, one a line ("- 1.3 = B0 02 [00-7F]").
    static QString asText(const std::vector<RecordDifference> &differences);
    // The fields of one record as a row shows them:
    // "Event Type: Controller / Note On, Byte 1: 07 / 0A".
    static QString fieldsText(const RecordDifference &difference);
};

} // namespace vkv::image
