#include "MidiWords.h"

#include "MidiMessage.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vkv::midi {

namespace {

std::string number(long value) {
    return std::to_string(value);
}

std::string hexByte(unsigned char byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

std::string channelWords(const char *name, unsigned char status) {
    return std::string(name) + " ch " + number(channelOf(status));
}

// System and real-time messages have a name each; the undefined ones are named by their byte.
std::string systemName(unsigned char status) {
    switch (status) {
    case 0xF1:
        return "Time Code Quarter Frame";
    case 0xF2:
        return "Song Position";
    case 0xF3:
        return "Song Select";
    case 0xF6:
        return "Tune Request";
    case 0xF8:
        return "Timing Clock";
    case 0xFA:
        return "Start";
    case 0xFB:
        return "Continue";
    case 0xFC:
        return "Stop";
    case 0xFE:
        return "Active Sensing";
    case 0xFF:
        return "System Reset";
    default:
        return (status >= FirstRealTime ? "Undefined Real-Time " : "Undefined System ") +
               hexByte(status);
    }
}

// The words of a short message whose bytes are all there.
std::string shortWords(const unsigned char *m) {
    const unsigned char status = m[0];
    switch (status & 0xF0) {
    case 0x80:
        return channelWords("Note Off", status) + " " + noteName(m[1]) + " vel " + number(m[2]);
    case 0x90:
        return channelWords("Note On", status) + " " + noteName(m[1]) + " vel " + number(m[2]) +
               (m[2] == 0 ? " (off)" : "");
    case 0xA0:
        return channelWords("Poly Aftertouch", status) + " " + noteName(m[1]) + " = " +
               number(m[2]);
    case 0xB0:
        return channelWords("Controller", status) + " #" + number(m[1]) + " = " + number(m[2]);
    case 0xC0:
        return channelWords("Program Change", status) + " " + number(m[1]);
    case 0xD0:
        return channelWords("Channel Aftertouch", status) + " = " + number(m[1]);
    case 0xE0: {
        const long bend = (m[1] | m[2] << 7) - 8192;
        return channelWords("Pitch Bend", status) + " " + (bend > 0 ? "+" : "") + number(bend);
    }
    default:
        break;
    }
    switch (status) {
    case 0xF1:
        return systemName(status) + " piece " + number(m[1] >> 4) + " = " + number(m[1] & 0x0F);
    case 0xF2:
        return systemName(status) + " " + number(m[1] | m[2] << 7);
    case 0xF3:
        return systemName(status) + " " + number(m[1]);
    default:
        return systemName(status);
    }
}

} // namespace

MessageKind kindOf(unsigned char status) {
    if (status < 0x80 || status == SysExEnd)
        return MessageKind::Stray;
    if (status < 0xB0)
        return MessageKind::Note;
    if (status < 0xC0)
        return MessageKind::Controller;
    if (status < 0xF0)
        return MessageKind::OtherChannel;
    if (status == SysExStart)
        return MessageKind::SysEx;
    if (status == 0xF8 || status == 0xFE)
        return MessageKind::Clock;
    return status >= FirstRealTime ? MessageKind::RealTime : MessageKind::System;
}

std::string noteName(int note) {
    static constexpr std::array<const char *, 12> names{"C",  "C#", "D",  "D#", "E",  "F",
                                                        "F#", "G",  "G#", "A",  "A#", "B"};
    return names[static_cast<std::size_t>(note % 12)] + number(note / 12 - 1) + " (" +
           number(note) + ")";
}

std::string hexBytes(const unsigned char *bytes, std::size_t length, std::size_t most) {
    return length == 0 ? std::string()
                       : hexStart(bytes, length > most ? most : length, length, bytes[length - 1]);
}

std::string hexStart(const unsigned char *start, std::size_t shown, std::size_t length,
                     unsigned char last) {
    std::string text;
    text.reserve(shown * 3 + 24);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0)
            text += ' ';
        text += hexByte(start[i]);
    }
    if (shown < length)
        text += " ... " + hexByte(last) + " (" + number(static_cast<long>(length)) + " bytes)";
    return text;
}

const SysExKind *findSysExKind(const unsigned char *bytes, std::size_t length,
                               const std::vector<SysExKind> &kinds) {
    for (const SysExKind &kind : kinds)
        if (!kind.prefix.empty() && length >= kind.prefix.size() &&
            std::equal(kind.prefix.begin(), kind.prefix.end(), bytes))
            return &kind;
    return nullptr;
}

std::string describeSysEx(const unsigned char *start, std::size_t startLength, std::size_t length,
                          const std::vector<SysExKind> &kinds) {
    std::string words = "SysEx " + number(static_cast<long>(length)) + " bytes";
    const SysExKind *kind = findSysExKind(start, startLength, kinds);
    if (kind == nullptr)
        return words;
    if (kind->length == 0 || kind->length == length)
        return words + ": " + kind->name;
    return words + ": begins as a " + kind->name + " of " +
           number(static_cast<long>(kind->length)) + " bytes";
}

std::string describe(const unsigned char *bytes, std::size_t length,
                     const std::vector<SysExKind> &kinds) {
    if (length == 0)
        return "Nothing";
    const unsigned char status = bytes[0];
    if (status == SysExStart) {
        if (length >= 2 && bytes[length - 1] == SysExEnd)
            return describeSysEx(bytes, length, length, kinds);
        return "SysEx " + number(static_cast<long>(length)) + " bytes without its end (F7)";
    }
    if (status == SysExEnd)
        return "End Of SysEx without its start";
    if (status < 0x80)
        return "Data bytes without a status";
    const int needed = shortMessageLength(status);
    if (static_cast<std::size_t>(needed) > length) {
        // Name it by what it would have been, with its missing bytes as zeros.
        std::array<unsigned char, 3> whole{};
        std::copy(bytes, bytes + length, whole.begin());
        return shortWords(whole.data()) + ", cut short: " + number(static_cast<long>(length)) +
               " of " + number(needed) + " bytes";
    }
    return shortWords(bytes);
}

} // namespace vkv::midi
