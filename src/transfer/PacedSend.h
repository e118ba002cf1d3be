#pragma once

#include "ConfigImage.h"

#include <cstdint>
#include <functional>

namespace vkv::transfer {

// Which bytes of the dump a paced send puts on the wire next: a 6-byte header slice, then one
// slice of 3 bytes a tick, and the last 4 bytes (the end of button 127's record and F7) together
// on the 512th tick. Each slice is one piece of the same SysEx message, taken from a copy of the
// dump made when the send starts: an undo, a file opened or a dump received during a send that
// takes minutes must not give the box the start of one configuration and the rest of another.
//
// A slice the output refuses (the port is gone, or it takes no more) ends the send where it is:
// nothing after it would make a whole dump on the other side.
//
// No timer here: the owner starts it, waits the header pause, and calls tick() on each tick of
// its tempo timer. Plain C++, tested directly.
class PacedSend {
public:
    static constexpr int HeaderSlice = 6;
    static constexpr int SliceSize = 3;
    static constexpr int HeaderPauseMs = 250;

    // Hands a slice to the output; false when the output did not take it.
    using SendFunction = std::function<bool(const char *data, int length)>;

    explicit PacedSend(SendFunction send = {}) : send(std::move(send)) {}
    void setOutput(SendFunction f) { send = std::move(f); }

    // Begins a send of the DumpSize bytes at `dump` anew from byte 0: sends the header slice.
    // False when the output refused it, and then the send is over.
    bool start(const std::uint8_t *dump);
    // Sends the next slice; true when the send is over: that was the last slice, or the output
    // refused it (failed()). A tick after the end sends nothing and returns true again.
    bool tick();
    // Ends a send under way where it is.
    void stop() { running = false; }
    // Ends a send under way where it is, as a refused slice does: its output is no longer the one
    // it began on.
    void fail() { running = false, refused = true; }

    // Image bytes not sent: still to send while sending, 0 after a whole send, and what was left
    // of a send that stopped or failed.
    int bytesLeft() const { return left; }
    bool sending() const { return running; }
    // The latest send ended because the output refused a slice.
    bool failed() const { return refused; }
    // The dump the latest send goes out from, as it was when that send started. Only the first
    // DumpSize - bytesLeft() of them were sent.
    const image::DumpBytes &sentBytes() const { return dump; }

private:
    bool hand(int length);

    SendFunction send;
    image::DumpBytes dump{};
    int position = 0;
    int left = 0;
    bool running = false;
    bool refused = false;
};

} // namespace vkv::transfer
