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

TEST(HoldQueue, LatestValuesReplaceEarlierOnesAndEverythingElseKeepsItsOrder) {
    const Bytes request = {0xF0, 0x00, 0x00, 0x7E, 0x42, 0x01, 0xF7};
    HoldQueue queue;
    for (const Bytes &m : std::vector<Bytes>{
             {0x90, 0x3C, 0x64}, // note on
             {0xB0, 0x07, 0x01}, // volume, replaced below
             {0xC0, 0x05},       // program change
             {0xB0, 0x07, 0x02}, // volume again: the value that goes, where it came
             {0xE0, 0x00, 0x40}, // pitch bend, replaced below
             {0x80, 0x3C, 0x00}, // note off
             {0xE0, 0x10, 0x50}, // pitch bend: its first data byte is part of the value
             {0xB1, 0x07, 0x03}, // volume on another channel: its own
             {0xA0, 0x3C, 0x10}, // poly aftertouch, per note
             {0xA0, 0x3D, 0x11},
             {0xD2, 0x20}, // channel aftertouch, replaced below
             {0xA0, 0x3C, 0x12},
             {0xD2, 0x30},
             {0x90, 0x3C, 0x64}, // a note repeated is a note played again
         })
        add(queue, m);
    add(queue, request, true);
    EXPECT_EQ(queue.replaced(), 4u);
    EXPECT_EQ(released(queue), (std::vector<Bytes>{{0x90, 0x3C, 0x64},
                                                   {0xC0, 0x05},
                                                   {0xB0, 0x07, 0x02},
                                                   {0x80, 0x3C, 0x00},
                                                   {0xE0, 0x10, 0x50},
                                                   {0xB1, 0x07, 0x03},
                                                   {0xA0, 0x3D, 0x11},
                                                   {0xA0, 0x3C, 0x12},
                                                   {0xD2, 0x30},
                                                   {0x90, 0x3C, 0x64},
                                                   request}));
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(queue.replaced(), 0u);

    // A controller stream of a slow send's 13 minutes keeps one message a controller.
    for (int i = 0; i < 78000; ++i)
        add(queue, {0xB0, static_cast<unsigned char>(i % 8), static_cast<unsigned char>(i % 128)});
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
