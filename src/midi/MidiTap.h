#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace vkv::midi {

struct MidiInEvent;

// What passed through a MIDI port, for whoever watches the wire (the monitor window). A port with
// a tap reports each message after the back end took it (out) or as it is handed on to the
// program (in), on the thread that sent or handed it on; a port without one only tests a pointer.
// A tap copies what it needs and returns at once: it runs inside the port's send and receive.
class MidiTap {
public:
    enum class Direction { In, Out };
    enum class Piece {
        Message,     // a whole short message
        SysEx,       // a SysEx message or a piece of one (a paced send's slice, an input chunk);
                     // a message's first piece begins with F0, its last ends with F7
        SysExBroken, // the incoming SysEx under way broke off; no bytes
    };
    using Clock = std::chrono::steady_clock;

    virtual ~MidiTap() = default;
    virtual void passed(Direction direction, const std::string &port, Piece piece,
                        const unsigned char *bytes, std::size_t length) = 0;
    // Reports an event an input port hands on: a short one with as many bytes as its status
    // calls for, a SysEx piece as it is, a broken SysEx as such.
    void passedIn(const std::string &port, const MidiInEvent &event);
};

} // namespace vkv::midi
