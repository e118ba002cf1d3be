// The input port's splitter: any byte streams, cut into deliveries as a back end could hand them
// over. Each delivery is one length byte and that many bytes; a length of 0 is an empty delivery.
#include "MidiInSplitter.h"
#include "MidiMessage.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using vkv::midi::MidiInEvent;
using vkv::midi::MidiInSplitter;

namespace {

void check(bool holds, const char *what) {
    if (!holds) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

void checkEvent(const MidiInEvent &e, bool &inSysEx) {
    if (e.broken) {
        check(e.sysEx && e.bytes.empty(), "word of a broken SysEx carries no bytes");
        inSysEx = false;
        return;
    }
    if (!e.sysEx) {
        check(e.bytes.size() == 3, "a short message has three bytes");
        check(e.bytes[0] >= 0x80 && e.bytes[0] != 0xF0 && e.bytes[0] != 0xF7,
              "a short message starts with its status");
        check(e.bytes[1] < 0x80 && e.bytes[2] < 0x80, "and carries data bytes");
        return;
    }
    check(!e.bytes.empty() && e.bytes.size() <= MidiInSplitter::ChunkSize,
          "SysEx pieces hold 1 to 128 bytes");
    for (std::size_t i = 0; i < e.bytes.size(); ++i) {
        const unsigned char b = e.bytes[i];
        if (b == 0xF0)
            check(i == 0, "F0 only opens a piece");
        else if (b == 0xF7)
            check(i == e.bytes.size() - 1, "F7 only ends a piece");
        else
            check(b < 0x80, "no status byte inside SysEx");
    }
    check(e.bytes[0] == 0xF0 || inSysEx, "a piece without F0 goes on with an open SysEx");
    inSysEx = e.bytes.back() != 0xF7;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    MidiInSplitter splitter;
    std::vector<MidiInEvent> events;
    bool inSysEx = false;
    std::size_t at = 0;
    while (at < size) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        ++at;
        std::vector<unsigned char> delivery(data + at, data + at + length);
        at += length;
        events.clear();
        splitter.split(delivery.data(), delivery.size(), events);
        std::size_t bytes = 0;
        for (const MidiInEvent &e : events) {
            check(!e.broken || &e == &events.back(), "a SysEx breaks off at the end of a delivery");
            checkEvent(e, inSysEx);
            bytes += e.sysEx ? e.bytes.size() : 1;
        }
        check(bytes <= delivery.size(), "nothing is made up");
        check(splitter.inSysEx() == inSysEx, "the splitter and its events agree on an open SysEx");
    }
    return 0;
}
