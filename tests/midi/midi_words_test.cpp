// A message in words, as the monitor shows it: every status kind, cut-short messages, stray
// bytes and the SysEx kinds the program knows.
#include "MidiWords.h"
#include "TapQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using vkv::midi::MessageKind;

const std::vector<vkv::midi::SysExKind> Kinds{
    {{0xF0, 0x00, 0x00, 0x7E, 0x42, 0x01, 0xF7}, 7, "dump request"},
    {{0xF0, 0x00, 0x00, 0x7E, 0x42, 0x02}, 12, "configuration dump"},
};

} // namespace

TEST(MidiWords, EveryKindOfMessageInWords) {
    const struct {
        Bytes bytes;
        const char *words;
        MessageKind kind;
    } rows[] = {
        {{0x90, 60, 100}, "Note On ch 1 C4 (60) vel 100", MessageKind::Note},
        {{0x9F, 0, 1}, "Note On ch 16 C-1 (0) vel 1", MessageKind::Note},
        {{0x93, 61, 0}, "Note On ch 4 C#4 (61) vel 0 (off)", MessageKind::Note},
        {{0x80, 127, 64}, "Note Off ch 1 G9 (127) vel 64", MessageKind::Note},
        {{0xA2, 69, 33}, "Poly Aftertouch ch 3 A4 (69) = 33", MessageKind::Note},
        {{0xB0, 7, 64}, "Controller ch 1 #7 = 64", MessageKind::Controller},
        {{0xC9, 5}, "Program Change ch 10 5", MessageKind::OtherChannel},
        {{0xD1, 90}, "Channel Aftertouch ch 2 = 90", MessageKind::OtherChannel},
        {{0xE0, 0x52, 0x49}, "Pitch Bend ch 1 +1234", MessageKind::OtherChannel},
        {{0xE0, 0x00, 0x40}, "Pitch Bend ch 1 0", MessageKind::OtherChannel},
        {{0xE5, 0x00, 0x00}, "Pitch Bend ch 6 -8192", MessageKind::OtherChannel},
        {{0xF1, 0x35}, "Time Code Quarter Frame piece 3 = 5", MessageKind::System},
        {{0xF2, 0x10, 0x01}, "Song Position 144", MessageKind::System},
        {{0xF3, 4}, "Song Select 4", MessageKind::System},
        {{0xF6}, "Tune Request", MessageKind::System},
        {{0xF4}, "Undefined System F4", MessageKind::System},
        {{0xF8}, "Timing Clock", MessageKind::Clock},
        {{0xFE}, "Active Sensing", MessageKind::Clock},
        {{0xFA}, "Start", MessageKind::RealTime},
        {{0xFB}, "Continue", MessageKind::RealTime},
        {{0xFC}, "Stop", MessageKind::RealTime},
        {{0xFF}, "System Reset", MessageKind::RealTime},
        {{0xFD}, "Undefined Real-Time FD", MessageKind::RealTime},
        // No running status: bytes without their own status byte are no message.
        {{0x3C, 0x40}, "Data bytes without a status", MessageKind::Stray},
        {{0xF7}, "End Of SysEx without its start", MessageKind::Stray},
        {{0x90, 60},
         "Note On ch 1 C4 (60) vel 0 (off), cut short: 2 of 3 bytes",
         MessageKind::Note},
        {{0xF0, 0x00, 0x00, 0x7E, 0x42, 0x01, 0xF7},
         "SysEx 7 bytes: dump request",
         MessageKind::SysEx},
        {{0xF0, 0x00, 0x00, 0x7E, 0x42, 0x02, 1, 2, 3, 4, 5, 0xF7},
         "SysEx 12 bytes: configuration dump",
         MessageKind::SysEx},
        {{0xF0, 0x00, 0x00, 0x7E, 0x42, 0x02, 1, 0xF7},
         "SysEx 8 bytes: begins as a configuration dump of 12 bytes",
         MessageKind::SysEx},
        {{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, "SysEx 6 bytes", MessageKind::SysEx},
        {{0xF0, 0x43, 0x10}, "SysEx 3 bytes without its end (F7)", MessageKind::SysEx},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.words);
        EXPECT_EQ(vkv::midi::describe(row.bytes.data(), row.bytes.size(), Kinds), row.words);
        EXPECT_EQ(vkv::midi::kindOf(row.bytes[0]), row.kind);
    }
}

TEST(MidiWords, LongMessagesShowTheirStartEndAndLength) {
    Bytes dump(1543, 0x11);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    EXPECT_EQ(vkv::midi::hexBytes(dump.data(), dump.size(), 4), "F0 11 11 11 ... F7 (1543 bytes)");
    EXPECT_EQ(vkv::midi::hexBytes(dump.data(), 3, 4), "F0 11 11");
}

TEST(TapQueue, KeepsTheNewestUpToItsCapAndCountsWhatWent) {
    vkv::midi::TapQueue queue(3);
    for (unsigned char n = 0; n < 5; ++n) {
        const unsigned char message[3] = {0xB0, 7, n};
        queue.passed(vkv::midi::MidiTap::Direction::Out, "port", vkv::midi::MidiTap::Piece::Message,
                     message, 3);
    }
    auto taken = queue.take();
    ASSERT_EQ(taken.entries.size(), 3u);
    EXPECT_EQ(taken.dropped, 2u);
    EXPECT_EQ(taken.entries.front().bytes, (Bytes{0xB0, 7, 2}));
    EXPECT_EQ(taken.entries.back().bytes, (Bytes{0xB0, 7, 4}));
    taken = queue.take();
    EXPECT_TRUE(taken.entries.empty());
    EXPECT_EQ(taken.dropped, 0u);
}
