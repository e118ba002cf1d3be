// What an output keeps back during a paced send, and what it lets go of on a long hold.
#include "HoldQueue.h"

#include <gtest/gtest.h>

using vkv::midi::HoldQueue;
using Bytes = std::vector<unsigned char>;

namespace {

void add(HoldQueue &queue, const Bytes &bytes, bool sysEx = false) {
    queue.add(bytes.data(), bytes.size(), sysEx);
}

std::vector<Bytes> released(HoldQueue &queue) {
    std::vector<Bytes> out;
    for (auto &message : queue.take())
        out.push_back(message.bytes);
    return out;
}

} // namespace

TEST(HoldQueue, LatestValuesMergeWhereTheyStandAndNothingPassesAMessageWhoseOrderCounts) {
    const Bytes request = {0xF0, 0x00, 0x00, 0x7E, 0x42, 0x01, 0xF7};
    const struct {
        const char *what;
        std::vector<Bytes> in, out; // no `out`: all of `in`, in its order
        std::size_t merged;
    } rows[] = {
        {"a controller, a bend, a channel and a poly aftertouch merge",
         {{0xB0, 0x07, 0x01},
          {0xB0, 0x0A, 0x40},
          {0xB0, 0x07, 0x02},
          {0xE0, 0x00, 0x40},
          {0xE0, 0x10, 0x50},
          {0xD2, 0x20},
          {0xD2, 0x30},
          {0xA0, 0x3C, 0x10},
          {0xA0, 0x3D, 0x11},
          {0xA0, 0x3C, 0x12}},
         {{0xB0, 0x07, 0x02},
          {0xB0, 0x0A, 0x40},
          {0xE0, 0x10, 0x50},
          {0xD2, 0x30},
          {0xA0, 0x3C, 0x12},
          {0xA0, 0x3D, 0x11}},
         4},
        {"bank select, then program change, twice: the synth must load the right sound",
         {{0xB0, 0x00, 0x01},
          {0xB0, 0x20, 0x02},
          {0xC0, 0x05},
          {0xB0, 0x00, 0x03},
          {0xB0, 0x20, 0x04},
          {0xC0, 0x06}},
         {},
         0},
        {"a parameter number and its data entry, twice",
         {{0xB0, 0x65, 0x00},
          {0xB0, 0x64, 0x00},
          {0xB0, 0x06, 0x02},
          {0xB0, 0x26, 0x00},
          {0xB0, 0x63, 0x01},
          {0xB0, 0x62, 0x08},
          {0xB0, 0x06, 0x40},
          {0xB0, 0x60, 0x00}},
         {},
         0},
        {"no value passes a note, a program change, a reset or a SysEx",
         {{0xB0, 0x07, 0x01},
          {0x90, 0x3C, 0x64},
          {0xB0, 0x07, 0x02},
          {0xC0, 0x05},
          {0xB0, 0x07, 0x03},
          {0xB0, 0x79, 0x00},
          {0xB0, 0x07, 0x04},
          request,
          {0xB0, 0x07, 0x05},
          {0xF8},
          {0xB0, 0x07, 0x06}},
         {{0xB0, 0x07, 0x01},
          {0x90, 0x3C, 0x64},
          {0xB0, 0x07, 0x02},
          {0xC0, 0x05},
          {0xB0, 0x07, 0x03},
          {0xB0, 0x79, 0x00},
          {0xB0, 0x07, 0x04},
          request,
          {0xB0, 0x07, 0x06},
          {0xF8}},
         1},
        {"another channel's note is no bar; a note repeated is played again",
         {{0xB0, 0x07, 0x01},
          {0x91, 0x3C, 0x64},
          {0xB0, 0x07, 0x02},
          {0xB1, 0x07, 0x03},
          {0x91, 0x3C, 0x64}},
         {{0xB0, 0x07, 0x02}, {0x91, 0x3C, 0x64}, {0xB1, 0x07, 0x03}, {0x91, 0x3C, 0x64}},
         1},
    };
    for (const auto &row : rows) {
        HoldQueue queue;
        for (const Bytes &m : row.in)
            add(queue, m, m.front() == 0xF0);
        EXPECT_EQ(queue.replaced(), row.merged) << row.what;
        EXPECT_EQ(released(queue), row.out.empty() ? row.in : row.out) << row.what;
        EXPECT_TRUE(queue.empty());
        EXPECT_EQ(queue.replaced(), 0u);
    }

    HoldQueue queue;
    // A controller stream of a slow send's 13 minutes keeps one message a controller (general
    // purpose ones: a bank select or a data entry is never merged).
    for (int i = 0; i < 78000; ++i)
        add(queue,
            {0xB0, static_cast<unsigned char>(16 + i % 8), static_cast<unsigned char>(i % 128)});
    EXPECT_EQ(queue.size(), 8u);
    EXPECT_EQ(queue.dropped(), 0u);
    EXPECT_EQ(queue.clear(), 8u);
    EXPECT_TRUE(queue.take().empty());
}

TEST(HoldQueue, PastTheCapTheOldestReplaceableGoFirstThenTheOldestShortOnesNeverSysEx) {
    HoldQueue queue;
    add(queue, {0xF0, 0x01, 0xF7}, true);
    add(queue, {0xB0, 0x07, 0x64});
    add(queue, {0xE5, 0x00, 0x40});
    for (int i = 0; i < 5000; ++i)
        add(queue,
            {0x90, static_cast<unsigned char>(i % 128), static_cast<unsigned char>(i / 128)});
    EXPECT_EQ(queue.size(), HoldQueue::Cap);
    EXPECT_EQ(queue.dropped(), 5003u - HoldQueue::Cap);
    const auto kept = queue.take();
    ASSERT_EQ(kept.size(), HoldQueue::Cap);
    EXPECT_TRUE(kept.front().sysEx); // the SysEx stays; the controller and the bend went first
    const int firstNote = 5000 - static_cast<int>(HoldQueue::Cap - 1);
    EXPECT_EQ(kept[1].bytes, (Bytes{0x90, static_cast<unsigned char>(firstNote % 128),
                                    static_cast<unsigned char>(firstNote / 128)}));
    EXPECT_EQ(kept.back().bytes, (Bytes{0x90, 4999 % 128, 4999 / 128}));
}
