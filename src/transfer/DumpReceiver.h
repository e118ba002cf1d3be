#pragma once

#include "ConfigImage.h"

#include <cstdint>

namespace vkv::transfer {

// Collects an incoming SysEx message in the receive area, chunk by chunk, and says when exactly
// one dump's worth of bytes has arrived. Only the first byte of each chunk is looked at: F0
// starts a new message, whatever came before; anything else continues the one under way. Bytes
// beyond the area are counted but never stored.
class DumpReceiver {
public:
    enum class Outcome {
        Ignored,  // no message under way (waiting, or after an oversize one)
        Counting, // stored; bytesLeft() more make a dump
        Done,     // exactly DumpSize bytes: area() holds the dump
        TooLarge, // the message ran past DumpSize bytes
    };

    Outcome chunk(const std::uint8_t *data, int size);
    // The message under way broke off: it is forgotten, and nothing but a new F0 is stored.
    void abandon() { position = left = 0; }

    // Bytes still missing to complete a dump; negative after an oversize message.
    int bytesLeft() const { return left; }
    // The message collected so far begins as a dump does: its manufacturer and its command,
    // whatever the device number.
    bool holdsDumpStart() const;
    const image::DumpBytes &area() const { return receiveArea; }

private:
    image::DumpBytes receiveArea{};
    int position = 0;
    int left = 0;
};

} // namespace vkv::transfer
