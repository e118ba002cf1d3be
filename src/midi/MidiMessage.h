#pragma once

// What a MIDI status byte means: how long its message is, and its event type and channel as the
// editor pages show them. The one place these rules live; the pages and the ports use them.
namespace vkv::midi {

constexpr unsigned char SysExStart = 0xF0;
constexpr unsigned char SysExEnd = 0xF7;
constexpr unsigned char FirstRealTime = 0xF8; // F8..FF may stand anywhere, even inside a message

// How many bytes of a short message the status byte calls for; 0 for bytes that start no short
// message (data bytes, F0, F4, F5, F7).
constexpr int shortMessageLength(unsigned char status) {
    if (status < 0x80)
        return 0;
    if (status < 0xC0 || (status >= 0xE0 && status < 0xF0))
        return 3;
    if (status < 0xE0)
        return 2;
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    case 0xF0:
    case 0xF4:
    case 0xF5:
    case 0xF7:
        return 0;
    default: // F6, F8..FF
        return 1;
    }
}

// A status byte's parts as the editor shows them: the event type item 0..6 for the high digits
// 9..F (-1 below 0x90), the channel 1..16, and the status with another event type or channel put
// in. A channel outside 1..16 carries into or borrows from the event type, as typing one would.
constexpr int eventTypeIndex(int status) {
    return status / 16 >= 9 ? status / 16 - 9 : -1;
}
constexpr int channelOf(int status) {
    return status % 16 + 1;
}
constexpr int statusWithType(int status, int typeIndex) {
    return status % 16 + 16 * typeIndex + 144;
}
constexpr int statusWithChannel(int status, int channel) {
    return status - status % 16 + channel - 1;
}

} // namespace vkv::midi
