#pragma once

#include <QString>

namespace vkv::image {

// The words the Pots and Buttons pages show a record's fields in, for everything that shows a
// record away from them (the pages' own lists, the INI export, the comparison): the event type a
// status byte's high digit names, the button's mode, and the hexadecimal read-out of a byte. One
// table of each, so a record reads the same wherever it is shown.
class FieldText {
public:
    static constexpr int EventTypeCount = 7; // high digits 9 to F
    static constexpr int ModeCount = 3;

    // "Note On", "Poly Aftertouch", "Controller", "Program Change", "Channel Aftertouch",
    // "Pitch Bender" or "Meta Event" for a status 0x90 to 0xFF; "" below 0x90, where the pages'
    // type list selects nothing.
    static QString eventType(int status);
    // "ON/OFF", "ON ONLY" or "TOGGLE" for mode 0 to 2; "" for any other, where the mode list
    // selects nothing.
    static QString mode(int mode);
    // Two upper-case hexadecimal digits, as the read-out beside a byte shows it ("0A").
    static QString hex(int value);

    // For texts made by the hundred, written into a buffer of the caller's, each returning where
    // it ended: a byte 0..255 as two hexadecimal digits, and a bank and number 1..16 as "2.16".
    static char *hexDigits(char *at, int value);
    static char *bankNumber(char *at, int bank, int number);
};

} // namespace vkv::image
