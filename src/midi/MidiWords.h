#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vkv::midi {

// A MIDI message in words, as the monitor shows it: "Note On ch 1 C4 (60) vel 100",
// "Controller ch 1 #7 = 64", "Pitch Bend ch 1 +1234", "Timing Clock", "SysEx 7 bytes: dump
// request". Plain C++: no port and no widget, so the words are tested on their own.

// What a message is, for the monitor's filters.
enum class MessageKind {
    Note,         // note off, note on, poly aftertouch
    Controller,   // control change
    OtherChannel, // program change, channel aftertouch, pitch bend
    System,       // system common: time code, song position and select, tune request
    RealTime,     // start, continue, stop, reset and the undefined real-time bytes
    Clock,        // timing clock and active sensing: tens a second, off in the monitor at first
    SysEx,
    Stray, // bytes that are no message: data bytes without a status, F7 alone
};

// A SysEx message the program knows by how it begins: its first bytes (F0 included) and, where it
// has one, its whole length (0: any).
struct SysExKind {
    std::vector<unsigned char> prefix;
    std::size_t length = 0;
    std::string name; // "configuration dump"
};

// The kind a message of this first byte is.
MessageKind kindOf(unsigned char status);

// "C4 (60)": the note's name, middle C being C4, and its number.
std::string noteName(int note);

// The bytes in upper-case hex, a blank between two; past `most` bytes, "... F7 (N bytes)" ends
// it with the last byte.
std::string hexBytes(const unsigned char *bytes, std::size_t length, std::size_t most = 32);
// The same for a message of `length` bytes of which only the first `shown` and the `last` are at
// hand (a SysEx still coming in pieces).
std::string hexStart(const unsigned char *start, std::size_t shown, std::size_t length,
                     unsigned char last);

// The known kind this SysEx begins as, or nullptr. Matched by its prefix alone.
const SysExKind *findSysExKind(const unsigned char *bytes, std::size_t length,
                               const std::vector<SysExKind> &kinds);

// One whole message in words: a short message (only the bytes its status calls for are read;
// missing ones are said), or a whole SysEx from F0 to F7, named after the kind it matches.
std::string describe(const unsigned char *bytes, std::size_t length,
                     const std::vector<SysExKind> &kinds = {});

// A whole SysEx of `length` bytes that began as `start` (at least its first bytes): "SysEx 1543
// bytes: configuration dump", "SysEx 9 bytes", and for a known kind of another length, that it
// is not one.
std::string describeSysEx(const unsigned char *start, std::size_t startLength, std::size_t length,
                          const std::vector<SysExKind> &kinds);

} // namespace vkv::midi
