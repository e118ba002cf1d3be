#pragma once

#include <cstdint>
#include <functional>

namespace vkv::transfer {

// Which bytes of the dump a paced send puts on the wire next: a 6-byte header slice, then one
// slice of 3 bytes a tick, and the last 4 bytes (the end of button 127's record and F7) together
// on the 512th tick. Each slice is one piece of the same SysEx message, read from the image at
// the moment it goes, so an edit made during the send goes out with the value it holds then.
//
// No timer here: the owner starts it, waits the header pause, and calls tick() on each tick of
// its tempo timer. Plain C++, tested directly.
class PacedSend {
public:
    static constexpr int HeaderSlice = 6;
    static constexpr int SliceSize = 3;
    static constexpr int HeaderPauseMs = 250;

    using SendFunction = std::function<void(const char *data, int length)>;

    explicit PacedSend(SendFunction send = {}) : send(std::move(send)) {}
    void setOutput(SendFunction f) { send = std::move(f); }

    // Begins a send of the DumpSize bytes at `dump` anew from byte 0: sends the header slice.
    void start(const std::uint8_t *dump);
    // Sends the next slice; true when that was the last one. A tick after the last slice sends
    // nothing and returns true again.
    bool tick();

    // Image bytes still to send; 0 when idle.
    int bytesLeft() const { return left; }
    bool sending() const { return left > 0; }

private:
    SendFunction send;
    const std::uint8_t *position = nullptr;
    int left = 0;
};

} // namespace vkv::transfer
