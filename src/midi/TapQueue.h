#pragma once

#include "MidiTap.h"

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace vkv::midi {

// A tap that keeps what passed, stamped with the time it passed, until its reader takes it: the
// ports write from whatever thread they run on, the reader takes all at once from its own. It
// holds at most Cap entries; past that the oldest go and are counted, so a reader that stalls
// costs memory only up to the cap and learns what it missed.
class TapQueue : public MidiTap {
public:
    static constexpr std::size_t Cap = 50000;

    struct Entry {
        Clock::time_point at;
        Direction direction = Direction::In;
        Piece piece = Piece::Message;
        std::string port;
        std::vector<unsigned char> bytes;
    };

    explicit TapQueue(std::size_t cap = Cap) : cap(cap) {}

    void passed(Direction direction, const std::string &port, Piece piece,
                const unsigned char *bytes, std::size_t length) override;

    // Everything kept, oldest first, and how many entries went at the cap since the last take.
    struct Taken {
        std::vector<Entry> entries;
        std::size_t dropped = 0;
    };
    Taken take();

private:
    std::mutex mutex;
    std::deque<Entry> kept;
    std::size_t dropped = 0;
    std::size_t cap;
};

} // namespace vkv::midi
