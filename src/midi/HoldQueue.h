#pragma once

#include <cstddef>
#include <list>
#include <unordered_map>
#include <vector>

namespace vkv::midi {

// The messages an output keeps back while a paced dump goes out, to send in their order once its
// last piece has gone: a status byte between two pieces would cut the dump on the wire.
//
// A slow send lasts minutes, and a stream of controller moves (a motorized fader echoing what it
// gets) would pile up without bound. So a message whose latest value is all that matters replaces
// the one held before it for the same thing: a controller or a poly aftertouch for the same
// channel and number, a channel aftertouch or a pitch bend for the same channel. The new one goes
// to the end, where it came. Notes, program changes, system and SysEx messages are kept in order,
// each of them. Past Cap messages the oldest replaceable ones go, and failing those the oldest
// short ones; SysEx messages (a dump request, a whole dump) are never dropped.
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
    // Messages replaced by newer ones or dropped at the cap since the last take or clear.
    std::size_t replaced() const { return replacedCount; }
    std::size_t dropped() const { return droppedCount; }

private:
    struct Entry {
        Message message;
        int key = -1; // what a newer message replaces it by; -1 when nothing does
    };
    static int keyOf(const Message &message);
    void dropOldest();

    std::list<Entry> held;
    std::unordered_map<int, std::list<Entry>::iterator> latest; // by key
    std::size_t replacedCount = 0;
    std::size_t droppedCount = 0;
};

} // namespace vkv::midi
