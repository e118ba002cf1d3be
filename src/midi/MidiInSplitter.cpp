#include "MidiInSplitter.h"

#include "MidiMessage.h"

#include <algorithm>

namespace vkv::midi {

void MidiInSplitter::split(const unsigned char *data, std::size_t size,
                           std::vector<MidiInEvent> &out) {
    if (data == nullptr)
        return;
    std::vector<unsigned char> piece;
    unsigned char message[3] = {0, 0, 0};
    int have = 0;              // bytes of an unfinished short message
    int need = 0;              // its full length; 0 when none is under way
    unsigned char running = 0; // the running status; 0 when none

    auto flushPiece = [&] {
        if (piece.empty())
            return;
        out.push_back({true, std::move(piece)});
        piece.clear();
    };
    auto flushShort = [&] {
        if (need == 0)
            return;
        for (int i = have; i < 3; ++i)
            message[i] = 0;
        out.push_back({false, {message[0], message[1], message[2]}});
        have = need = 0;
    };
    // Where the pieces of the SysEx under way begin in `out`, as far as they lie in this delivery:
    // pieces of earlier deliveries are handed on already.
    std::size_t firstPiece = out.size();

    // Drops what of the SysEx under way lies in this delivery.
    auto dropSysEx = [&] {
        piece.clear();
        out.erase(std::remove_if(out.begin() + static_cast<std::ptrdiff_t>(firstPiece), out.end(),
                                 [](const MidiInEvent &e) { return e.sysEx; }),
                  out.end());
    };
    // The latest byte other than a real-time one went into the SysEx under way. Real-time bytes
    // may stand anywhere, between the pieces of a SysEx too, so they never end one: a delivery of
    // nothing else leaves a SysEx open as it found it.
    bool sysExLast = inSysEx_;

    auto addSysEx = [&](unsigned char b) {
        piece.push_back(b);
        sysExLast = true;
        if (piece.size() == ChunkSize)
            flushPiece();
    };

    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char b = data[i];
        if (b >= FirstRealTime) {
            // Real-time bytes may stand anywhere, even inside another message.
            flushPiece();
            out.push_back({false, {b, 0, 0}});
            continue;
        }
        sysExLast = false;
        if (b == SysExStart) {
            flushShort();
            // A SysEx cut off before its end, such as one the back end kept from before a
            // close: drop what of it has not been handed on.
            if (inSysEx_)
                dropSysEx();
            running = 0;
            inSysEx_ = true;
            firstPiece = out.size();
            addSysEx(b);
        } else if (b == SysExEnd) {
            flushShort();
            running = 0;
            if (inSysEx_) {
                addSysEx(b);
                flushPiece();
                inSysEx_ = false;
            }
        } else if (b & 0x80) {
            flushShort();
            flushPiece();
            message[0] = b;
            have = 1;
            need = std::max(1, shortMessageLength(b)); // F4, F5: a status byte alone
            // A message glued into a SysEx is whole; the data bytes after it are the SysEx's.
            if (!inSysEx_)
                running = b < SysExStart ? b : 0;
            if (need == 1)
                flushShort();
        } else if (need != 0) {
            message[have++] = b;
            if (have == need)
                flushShort();
        } else if (inSysEx_) {
            addSysEx(b);
        } else if (running != 0) {
            message[0] = running;
            message[1] = b;
            have = 2;
            need = shortMessageLength(running);
            if (have == need)
                flushShort();
        }
    }
    flushShort();
    flushPiece();
    if (inSysEx_ && size > 0 && !sysExLast) {
        dropSysEx();
        inSysEx_ = false;
        out.push_back({true, {}, true});
    }
}

} // namespace vkv::midi
