// The paced send's slices, the dump receiver's counting and the search for the speed a box takes,
// without ports or timers.
#include "DumpReceiver.h"
#include "PacedSend.h"
#include "PacedSender.h"
#include "SpeedReport.h"
#include "SpeedSearch.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <set>
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

namespace vkv::transfer {

namespace {

// Runs a search against a box that takes a try when `takes` says so (speed, and how many tries
// came before); `cancelAfter` tries cancels it. Returns the speeds tried, in order.
std::vector<int> search(SpeedSearch &s, const std::function<bool(int speed, int before)> &takes,
                        int cancelAfter = -1) {
    std::vector<int> tried;
    while (!s.over() && tried.size() < 100) {
        if (static_cast<int>(tried.size()) == cancelAfter)
            s.cancel();
        if (s.over())
            break;
        tried.push_back(s.speed());
        s.tried(takes(s.speed(), static_cast<int>(tried.size()) - 1));
    }
    return tried;
}

// A steady box that takes every paced speed up to `limit` (and the fast send when it is above
// 1000).
std::function<bool(int, int)> upTo(int limit) {
    return [limit](int speed, int) {
        return speed == SpeedSearch::Fast ? limit > 1000 : speed <= limit;
    };
}

using Ending = SpeedSearch::Ending;
constexpr int Fast = SpeedSearch::Fast;

} // namespace

TEST(SpeedSearch, FindsTheFastestSteadySpeedAndEndsVerifiedOneStepBelowIt) {
    const struct {
        int limit;
        std::vector<int> tries;
        Ending ending;
        int fastest, chosen;
    } boxes[] = {
        // Takes everything: the fast send three times.
        {2000, {Fast, Fast, Fast}, Ending::FastTaken, Fast, Fast},
        // The stand-in box at 450 bytes/s with its 192-byte buffer overruns above 514.
        {514, {Fast, 600, 400, 500, 550, 500, 500, 450}, Ending::Found, 500, 450},
        {480, {Fast, 600, 400, 500, 450, 450, 450, 400}, Ending::Found, 450, 400},
        // The same box at 100 bytes/s overruns above 114.
        {114,
         {Fast, 600, 400, 270, 180, 125, 80, 100, 110, 110, 110, 100},
         Ending::Found,
         110,
         100},
        {600, {Fast, 600, 600, 600, 550}, Ending::Found, 600, 550},
        // The slowest speed of the series has no step below it: its confirmation ends it.
        {27, {Fast, 600, 400, 270, 180, 125, 80, 55, 35, 25, 30, 25, 25}, Ending::Found, 25, 25},
        // Nothing verifies: the box is sent it once more at 100, which fails again.
        {10, {Fast, 600, 400, 270, 180, 125, 80, 55, 35, 25, 100}, Ending::NoneVerified, -1, -1},
    };
    for (const auto &box : boxes) {
        SpeedSearch s;
        EXPECT_EQ(search(s, upTo(box.limit)), box.tries) << box.limit;
        EXPECT_EQ(s.ending(), box.ending) << box.limit;
        EXPECT_EQ(s.fastest(), box.fastest) << box.limit;
        EXPECT_EQ(s.chosen(), box.chosen) << box.limit;
        EXPECT_EQ(s.sends(), static_cast<int>(box.tries.size()));
        // Found, the box holds the configuration: the last send was at the chosen speed.
        EXPECT_EQ(s.boxVerified(), box.ending != Ending::NoneVerified) << box.limit;
        if (box.chosen >= 0) {
            EXPECT_EQ(box.tries.back(), box.chosen);
        }
    }
    // Every step of the series paces differently, and none faster than the pacing goes.
    std::set<int> tempos;
    for (int speed : SpeedSearch::series())
        tempos.insert(PacedSender::tempoForSpeed(speed));
    EXPECT_EQ(tempos.size(), SpeedSearch::series().size());
    EXPECT_LE(*tempos.rbegin(), PacedSender::tempoForSpeed(600));
}

TEST(SpeedSearch, AFailureRulesItsSpeedOutAndACancelRestoresTheBoxAtTheSlowestThatVerified) {
    // 450 verifies once, then fails: the search settles below it.
    SpeedSearch unsteady;
    const auto tries = search(unsteady, [](int speed, int before) {
        return speed != Fast && (speed <= 400 || (speed == 450 && before == 4));
    });
    EXPECT_EQ(tries, (std::vector<int>{Fast, 600, 400, 500, 450, 450, 400, 400, 360}));
    EXPECT_EQ(unsteady.ending(), Ending::Found);
    EXPECT_EQ(unsteady.chosen(), 360);

    // Cancelled after 400 verified: sent once more at 400, the slowest that verified.
    SpeedSearch cancelled;
    EXPECT_EQ(search(cancelled, upTo(480), 4), (std::vector<int>{Fast, 600, 400, 500, 400}));
    EXPECT_EQ(cancelled.ending(), Ending::Cancelled);
    EXPECT_TRUE(cancelled.boxVerified());
    EXPECT_EQ(SpeedReport::ending(cancelled),
              "Cancelled. Sent once more at 400 bytes/s, the configuration verified: the box "
              "holds it.");

    // Cancelled before anything verified, then again while it restores: it is over at once.
    SpeedSearch twice;
    twice.tried(false);
    twice.cancel();
    EXPECT_EQ(twice.stage(), SpeedSearch::Stage::Restoring);
    EXPECT_EQ(twice.speed(), SpeedSearch::FallbackSpeed);
    EXPECT_EQ(SpeedReport::restoring(twice),
              "Cancelled: the box may hold a broken configuration. Sending it once more at 100 "
              "bytes/s, verified.");
    twice.cancel();
    EXPECT_TRUE(twice.over());
    EXPECT_FALSE(twice.boxVerified());
    EXPECT_EQ(SpeedReport::ending(twice), "Cancelled: the box may hold a broken configuration. "
                                          "Check the box and its cables, and send it again.");
}

} // namespace vkv::transfer
