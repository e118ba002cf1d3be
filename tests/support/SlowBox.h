#pragma once

// A stand-in box with a real input limit, as plain C++ for the JACK and the ALSA stand-ins to
// share: what comes in waits in an input buffer of a fixed size, which the box empties into its
// memory at a fixed rate; what does not fit is dropped, as a box whose input buffer overruns
// drops it. It writes a dump's bytes into its memory one after the other as it takes them, so a
// dump that lost bytes on the way leaves the rest of the records shifted; or, as a box that checks
// a dump's length, it keeps only whole dumps, and one that came incomplete leaves what it held. A
// dump request is answered, once the box gets to it, with the configuration it holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

class SlowBox {
public:
    static constexpr std::size_t DumpSize = 1543;

    // `bytesPerSecond` 0: no limit, every byte is taken at once. `answers` false: requests go
    // unanswered, as a box on the wrong port. `wholeOnly`: it keeps only whole dumps.
    SlowBox(std::size_t bufferBytes, double bytesPerSecond, bool answers = true,
            bool wholeOnly = false)
        : capacity(bufferBytes), rate(bytesPerSecond), answering(answers), whole(wholeOnly) {
        memory.assign(DumpSize, 0);
        std::copy(Header, Header + 6, memory.begin());
        memory.back() = 0xF7;
    }

    // Holds `dump` (DumpSize bytes), as a box that took it before.
    void load(const std::vector<std::uint8_t> &dump) {
        if (dump.size() == DumpSize)
            memory = dump;
    }

    // Bytes that come in at `seconds` (any clock that only moves on): what was due is taken from
    // the buffer first, then they join it as far as there is room.
    void arrive(const std::uint8_t *bytes, std::size_t size, double seconds) {
        drain(seconds);
        for (std::size_t i = 0; i < size; ++i) {
            if (rate <= 0) {
                take(bytes[i]);
            } else if (buffer.size() < capacity) {
                buffer.push_back(bytes[i]);
            } else {
                ++lost;
            }
        }
    }

    // Takes what is due by `seconds` from the buffer.
    void drain(double seconds) {
        if (rate > 0 && last >= 0)
            credit += (seconds - last) * rate;
        last = seconds;
        while (credit >= 1 && !buffer.empty()) {
            credit -= 1;
            const std::uint8_t b = buffer.front();
            buffer.pop_front();
            take(b);
        }
        if (buffer.empty())
            credit = std::min(credit, 1.0); // an idle box saves up no time
    }

    // Answers due, each a whole dump, in order; taken out.
    std::vector<std::vector<std::uint8_t>> answers() { return std::exchange(pending, {}); }

    const std::vector<std::uint8_t> &holds() const { return memory; }
    std::size_t dropped() const { return lost; }
    int dumpsTaken() const { return dumps; }
    int requestsSeen() const { return requests; }

private:
    static constexpr std::uint8_t Header[6] = {0xF0, 0x00, 0x00, 0x7E, 0x42, 0x02};
    static constexpr std::uint8_t RequestCommand = 0x01;

    void take(std::uint8_t b) {
        if (b >= 0xF8)
            return; // real-time messages may come between a SysEx's bytes
        if (b == 0xF0) {
            message.assign(1, b);
            position = 6;
            if (whole)
                incoming = memory;
            return;
        }
        if (message.empty())
            return; // not in a SysEx: short messages are none of the box's business
        if (b == 0xF7) {
            ended();
            message.clear();
            return;
        }
        if (b & 0x80) {
            message.clear(); // a status byte cuts the SysEx
            return;
        }
        if (message.size() < 6) {
            message.push_back(b);
            return;
        }
        // A dump: its record bytes go into the memory as they come, or aside until it is whole.
        if (std::equal(Header, Header + 6, message.begin()) && position < DumpSize - 1)
            (whole ? incoming : memory)[position++] = b;
    }

    void ended() {
        if (message.size() < 6)
            return;
        if (std::equal(Header, Header + 6, message.begin())) {
            ++dumps;
            if (whole && position == DumpSize - 1)
                memory = incoming;
            return;
        }
        if (std::equal(Header, Header + 5, message.begin()) && message[5] == RequestCommand) {
            ++requests;
            if (answering)
                pending.push_back(memory);
        }
    }

    const std::size_t capacity;
    const double rate;
    const bool answering;
    const bool whole;
    std::deque<std::uint8_t> buffer;
    double credit = 0;
    double last = -1;
    std::vector<std::uint8_t> memory;
    std::vector<std::uint8_t> message;  // the SysEx under way: its header
    std::vector<std::uint8_t> incoming; // a dump under way, when only whole ones are kept
    std::size_t position = 0;           // where its next record byte goes
    std::vector<std::vector<std::uint8_t>> pending;
    std::size_t lost = 0;
    int dumps = 0;
    int requests = 0;
};
