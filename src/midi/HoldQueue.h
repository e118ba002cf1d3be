#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

namespace vkv::midi {

// The messages an output keeps back while a paced dump goes out, to send in their order once its
// last piece has gone: a status byte between two pieces would cut the dump on the wire.
//
// A slow send lasts minutes, and a stream of controller moves (a motorized fader echoing what it
// gets) would pile up without bound. So a message whose latest value is all that matters is
// merged into the one held before it for the same thing, where that one stands: a controller or
// a poly aftertouch for the same channel and number, a channel aftertouch or a pitch bend for the
// same channel. A merge never moves a value past a message whose order counts: a note, a program
// change or a controller that is never merged, of the same channel, or any system or SysEx
// message; after one of those the new value is kept as a message of its own. Controllers that
// are never merged, since their order or each of them counts: bank select (0, 32), data entry and
// increment (6, 38, 96, 97), the parameter numbers (98 to 101) and the channel mode messages (120
// to 127). Past Cap messages the oldest mergeable ones go, and failing those the oldest short
// ones; SysEx messages (a dump request, a whole dump) are never dropped.
//
// Plain C++, no thread of its own: its owner's thread alone uses it.
class HoldQueue {
public:
    static constexpr std::size_t Cap = 4096;
    struct Message {
        std::vector<unsigned char> bytes;
        bool sysEx = false;
        bool operator==(const Message &) const = default;
    };

    // Keeps a whole message: a short one (status first, as long as its status calls for) or a
    // SysEx message.
    void add(const unsigned char *bytes, std::size_t length, bool sysEx = false);
    // The kept messages in the order they go out; the queue is then empty.
    std::vector<Message> take();
    // Forgets what is kept; returns how many went.
    std::size_t clear();

    std::size_t size() const { return held.size(); }
    bool empty() const { return held.empty(); }
    // Messages merged into held ones, or dropped at the cap, since the last take or clear.
    std::size_t replaced() const { return replacedCount; }
    std::size_t dropped() const { return droppedCount; }
    // Those two counts in words for the log, as the held messages go; "" when both are 0.
    std::string summary() const;

private:
    struct Entry {
        Message message;
        int key = -1;          // what a newer message merges into it by; -1 when nothing does
        std::uint64_t seq = 0; // when it was added
    };
    using Position = std::list<Entry>::iterator;
    // The merge key of a short message; -1 for one never merged.
    static int keyOf(const Message &message);
    // The channel whose order a message bears (0 to 15), 16 for every channel's, -1 for none.
    static int orderOf(const Message &message);
    void dropOldest();

    std::list<Entry> held;
    std::unordered_map<int, Position> latest;    // by key
    std::array<std::uint64_t, 17> lastOrdered{}; // by channel, and [16] for every channel
    std::uint64_t added = 0;
    std::size_t replacedCount = 0;
    std::size_t droppedCount = 0;
};

} // namespace vkv::midi
