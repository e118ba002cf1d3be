// The paced send's slices and the dump receiver's counting, without ports or timers.
#include "DumpReceiver.h"
#include "PacedSend.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

namespace vkv::transfer {

namespace {

using Bytes = std::vector<std::uint8_t>;

image::DumpBytes numberedDump() {
    image::DumpBytes dump{};
    for (int i = 0; i < image::DumpSize; ++i)
        dump[i] = static_cast<std::uint8_t>(i % 128);
    image::frameDump(dump.data());
    return dump;
}

Bytes message(int size, std::uint8_t first = 0xF0) {
    Bytes m(static_cast<std::size_t>(size));
    std::iota(m.begin(), m.end(), 0);
    for (auto &b : m)
        b &= 0x7F;
    if (size > 0)
        m.front() = first;
    return m;
}

// Feeds `m` in chunks of at most 128 bytes (an empty `m` as one chunk of 0 bytes); returns what
// each chunk made of the receiver.
std::vector<std::string> feed(DumpReceiver &r, const Bytes &m) {
    std::vector<std::string> shown;
    std::size_t at = 0;
    do {
        const int size = static_cast<int>(std::min<std::size_t>(128, m.size() - at));
        switch (r.chunk(m.data() + at, size)) {
        case DumpReceiver::Outcome::Ignored:
            shown.push_back("ignored");
            break;
        case DumpReceiver::Outcome::Counting:
            shown.push_back(std::to_string(r.bytesLeft()));
            break;
        case DumpReceiver::Outcome::Done:
            shown.push_back("done");
            break;
        case DumpReceiver::Outcome::TooLarge:
            shown.push_back("too large");
            break;
        }
        at += 128;
    } while (at < m.size());
    return shown;
}

} // namespace

TEST(PacedSend, HeaderThenSlicesOfThreeThenTheLastFourInImageOrder) {
    image::DumpBytes dump = numberedDump();
    const image::DumpBytes atStart = dump;
    std::vector<Bytes> slices;
    PacedSend send([&](const char *data, int length) {
        slices.emplace_back(reinterpret_cast<const std::uint8_t *>(data),
                            reinterpret_cast<const std::uint8_t *>(data) + length);
        return true;
    });
    send.start(dump.data());
    EXPECT_EQ(send.bytesLeft(), 1537);
    std::vector<int> left;
    int ticks = 0;
    while (!send.tick()) {
        left.push_back(send.bytesLeft());
        ++ticks;
        // The dump as it was when the send started goes out: the editor may change meanwhile.
        if (ticks == 100)
            dump[6 + 3 * 200] = 0x55;
    }
    EXPECT_EQ(ticks + 1, 512);
    EXPECT_EQ(left.front(), 1534);
    EXPECT_EQ(left.back(), 4);
    EXPECT_EQ(send.bytesLeft(), 0);
    ASSERT_EQ(slices.size(), 513u);
    EXPECT_EQ(slices.front().size(), 6u);
    EXPECT_EQ(slices.back().size(), 4u);
    EXPECT_EQ(slices.back().back(), 0xF7);
    Bytes joined;
    for (const auto &s : slices) {
        EXPECT_TRUE(s.size() == 3 || &s == &slices.front() || &s == &slices.back());
        joined.insert(joined.end(), s.begin(), s.end());
    }
    EXPECT_EQ(joined, Bytes(atStart.begin(), atStart.end()));
    EXPECT_EQ(send.sentBytes(), atStart);

    // A tick after the last slice sends nothing; a new start begins at byte 0 again.
    EXPECT_TRUE(send.tick());
    EXPECT_EQ(slices.size(), 513u);
    send.start(dump.data());
    send.tick();
    send.start(dump.data());
    ASSERT_EQ(slices.size(), 516u);
    EXPECT_EQ(slices[513], Bytes(dump.begin(), dump.begin() + 6));
    EXPECT_EQ(slices[514], Bytes(dump.begin() + 6, dump.begin() + 9));
    EXPECT_EQ(slices[515], Bytes(dump.begin(), dump.begin() + 6));
    EXPECT_EQ(send.bytesLeft(), 1537);
}

TEST(PacedSend, ARefusedSliceEndsTheSendAndKeepsWhatWasNotSent) {
    const image::DumpBytes dump = numberedDump();
    int handed = 0, refuseAt = 100;
    PacedSend send([&](const char *, int) { return ++handed != refuseAt; });
    send.start(dump.data());
    int ticks = 0;
    while (!send.tick())
        ++ticks;
    EXPECT_EQ(ticks, 98); // the 99th tick's slice was refused
    EXPECT_TRUE(send.failed());
    EXPECT_FALSE(send.sending());
    EXPECT_EQ(send.bytesLeft(), 1537 - 98 * 3);
    EXPECT_TRUE(send.tick());
    EXPECT_EQ(handed, 100);
    // A refused header ends it at once; a new send starts afresh.
    refuseAt = 101;
    EXPECT_FALSE(send.start(dump.data()));
    EXPECT_EQ(send.bytesLeft(), image::DumpSize);
    refuseAt = 0;
    EXPECT_TRUE(send.start(dump.data()));
    EXPECT_FALSE(send.failed());
    EXPECT_TRUE(send.sending());
    send.stop();
    EXPECT_FALSE(send.sending());
    EXPECT_FALSE(send.failed());
    EXPECT_EQ(send.bytesLeft(), 1537);
}

TEST(DumpReceiver, CountsDownChunkByChunkAndHoldsTheDumpWhenExactlyComplete) {
    DumpReceiver r;
    const Bytes dump = message(image::DumpSize);
    const auto shown = feed(r, dump);
    ASSERT_EQ(shown.size(), 13u);
    EXPECT_EQ(shown[0], "1415");
    EXPECT_EQ(shown[1], "1287");
    EXPECT_EQ(shown[11], "7");
    EXPECT_EQ(shown[12], "done");
    EXPECT_EQ(Bytes(r.area().begin(), r.area().end()), dump);

    // Whatever the header says, and whatever came before: F0 starts anew.
    DumpReceiver foreign;
    Bytes other = message(image::DumpSize);
    other[4] = 0x43;
    feed(foreign, message(1000));
    EXPECT_EQ(foreign.bytesLeft(), 543);
    EXPECT_EQ(feed(foreign, other).back(), "done");
    EXPECT_EQ(foreign.area()[4], 0x43);
}

TEST(DumpReceiver, OversizeShortAndStrayChunks) {
    const struct {
        const char *what;
        std::vector<Bytes> chunks;
        std::string last;
        int left;
    } rows[] = {
        {"one byte too many", {message(1544)}, "too large", -1},
        {"a short message", {message(1000)}, "543", 543},
        {"no F0 at the start", {message(100, 0x10)}, "ignored", 0},
        {"no bytes at all", {Bytes{}}, "ignored", 0},
        {"nothing after an oversize message", {message(1600), message(50, 0x01)}, "ignored", -57},
    };
    for (const auto &row : rows) {
        DumpReceiver r;
        std::vector<std::string> shown;
        for (const auto &c : row.chunks)
            for (const auto &s : feed(r, c))
                shown.push_back(s);
        EXPECT_EQ(shown.back(), row.last) << row.what;
        EXPECT_EQ(r.bytesLeft(), row.left) << row.what;
    }
    // The excess of an oversize message is counted but never stored beyond the area.
    DumpReceiver r;
    feed(r, message(1544));
    EXPECT_EQ(r.area()[image::DumpSize - 1], message(1544)[image::DumpSize - 1]);
}

} // namespace vkv::transfer
