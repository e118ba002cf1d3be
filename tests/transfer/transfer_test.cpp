// The paced send's slices and their times, the dump receiver's counting and the search for the
// speed a box takes with its test copies, without ports or timers.
#include "BoxQuery.h"
#include "DumpReceiver.h"
#include "ImageComparison.h"
#include "PacedSchedule.h"
#include "PacedSend.h"
#include "PacedSender.h"
#include "SlowBox.h"
#include "SpeedReport.h"
#include "SpeedSearch.h"
#include "TestCopies.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <optional>
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

TEST(PacedSchedule, TheSlicesOfASendAtTheTimesOfTheTickRule) {
    // The rule's durations from the header slice to the last, as the paced-send benchmark measures
    // the real send against them.
    const struct {
        int speed;
        std::int64_t lastMs;
    } cases[] = {{100, 15690}, {300, 5390}, {600, 2835}, {1000, 2810}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.speed);
        const auto slices = PacedSchedule::of(c.speed);
        ASSERT_EQ(slices.size(), 513u);
        int next = 0;
        for (const auto &slice : slices) {
            EXPECT_EQ(slice.offset, next);
            EXPECT_EQ(slice.length, &slice == &slices.front()  ? 6
                                    : &slice == &slices.back() ? 4
                                                               : 3);
            next += slice.length;
        }
        EXPECT_EQ(next, image::DumpSize);
        EXPECT_EQ(slices[0].microseconds, 0);
        // Each tick on a call of the 5 ms timer that starts when the 250 ms header pause ends.
        for (std::size_t k = 1; k < slices.size(); ++k) {
            EXPECT_EQ((slices[k].microseconds - 250000) % 5000, 0) << k;
            EXPECT_GT(slices[k].microseconds, slices[k - 1].microseconds) << k;
        }
        EXPECT_EQ(slices.back().microseconds, c.lastMs * 1000);
    }
    // At speed 2 a tick comes every 2.5 s: the fifth at 10.255 s.
    EXPECT_EQ(PacedSchedule::of(2)[5].microseconds, 10255000);
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

using Ending = SpeedSearch::Ending;
constexpr int Fast = SpeedSearch::Fast;

// Whether the box takes a try: its speed, and how many tries came before.
using Takes = std::function<bool(int speed, int before)>;

// Runs a search against a box that takes a try when `takes` says so; cancelled before try number
// `cancelAt`, and again before try number `cancelAgainAt`. Returns the tries in order: "F" for the
// fast send, "600" for a paced one, with a "C" before those that sent the configuration ("C450",
// "CF").
std::vector<std::string> search(SpeedSearch &s, const Takes &takes, int cancelAt = -1,
                                int cancelAgainAt = -1) {
    std::vector<std::string> tried;
    while (!s.over() && tried.size() < 100) {
        const int n = static_cast<int>(tried.size());
        if (n == cancelAt)
            s.cancel();
        if (n == cancelAgainAt)
            s.cancel();
        if (s.over())
            break;
        tried.push_back((s.sendsConfiguration() ? "C" : "") +
                        (s.speed() == Fast ? std::string("F") : std::to_string(s.speed())));
        s.tried(takes(s.speed(), n));
    }
    return tried;
}

// A steady box that takes every paced speed up to `limit` (and the fast send when it is above
// 1000).
Takes upTo(int limit) {
    return [limit](int speed, int) {
        return speed == SpeedSearch::Fast ? limit > 1000 : speed <= limit;
    };
}

using Strings = std::vector<std::string>;

} // namespace

TEST(SpeedSearch, FindsTheFastestSteadySpeedAndEndsWithTheConfigurationOneStepBelowIt) {
    const struct {
        int limit;
        Strings tries;
        Ending ending;
        int fastest, chosen;
    } boxes[] = {
        // Takes everything: three test copies as one message, then the configuration.
        {2000, {"F", "F", "F", "CF"}, Ending::FastTaken, Fast, Fast},
        // The stand-in box at 450 bytes/s with its 192-byte buffer overruns above 514.
        {514, {"F", "600", "400", "500", "550", "500", "500", "C450"}, Ending::Found, 500, 450},
        {480, {"F", "600", "400", "500", "450", "450", "450", "C400"}, Ending::Found, 450, 400},
        // The same box at 100 bytes/s overruns above 114.
        {114,
         {"F", "600", "400", "270", "180", "125", "80", "100", "110", "110", "110", "C100"},
         Ending::Found,
         110,
         100},
        {600, {"F", "600", "600", "600", "C550"}, Ending::Found, 600, 550},
        // The slowest speed of the series has no step below it: the configuration goes at it.
        {27,
         {"F", "600", "400", "270", "180", "125", "80", "55", "35", "25", "30", "25", "25", "C25"},
         Ending::Found,
         25,
         25},
        // Nothing verifies: nothing is sent after the last failure.
        {10,
         {"F", "600", "400", "270", "180", "125", "80", "55", "35", "25"},
         Ending::NoneVerified,
         -1,
         -1},
    };
    for (const auto &box : boxes) {
        SpeedSearch s;
        EXPECT_EQ(search(s, upTo(box.limit)), box.tries) << box.limit;
        EXPECT_EQ(s.ending(), box.ending) << box.limit;
        EXPECT_EQ(s.fastest(), box.fastest) << box.limit;
        EXPECT_EQ(s.chosen(), box.chosen) << box.limit;
        EXPECT_EQ(s.sends(), static_cast<int>(box.tries.size()));
        // Found, the box holds the configuration: the last send was it, at the chosen speed.
        EXPECT_EQ(s.boxVerified(), box.ending != Ending::NoneVerified) << box.limit;
    }
    // Every step of the series paces differently, and none faster than the pacing goes.
    std::set<int> tempos;
    for (int speed : SpeedSearch::series())
        tempos.insert(PacedSender::tempoForSpeed(speed));
    EXPECT_EQ(tempos.size(), SpeedSearch::series().size());
    EXPECT_LE(*tempos.rbegin(), PacedSender::tempoForSpeed(600));
}

TEST(SpeedSearch, AFailureRulesItsSpeedOutAndTheBoxIsRestoredOnlyAtASpeedBelowEveryFailure) {
    // 450 verifies once, then fails: the search settles below it.
    SpeedSearch unsteady;
    EXPECT_EQ(search(unsteady,
                     [](int speed, int before) {
                         return speed != Fast && (speed <= 400 || (speed == 450 && before == 4));
                     }),
              (Strings{"F", "600", "400", "500", "450", "450", "400", "400", "C360"}));
    EXPECT_EQ(unsteady.ending(), Ending::Found);
    EXPECT_EQ(unsteady.chosen(), 360);

    const std::string mayHold = "the box may hold a test copy or a broken configuration";
    const std::string check = "Check the box and its cables, and send it the configuration again.";
    const struct {
        const char *what;
        Takes takes;
        int cancelAt, cancelAgainAt;
        Strings tries;
        std::string ending;
    } searches[] = {
        {"cancelled after 500 failed: restored at 400, the fastest that verified below it",
         upTo(480),
         4,
         -1,
         {"F", "600", "400", "500", "C400"},
         "Cancelled. Sent the configuration at 400 bytes/s, and it verified: the box holds it."},
        {"cancelled before anything verified: nothing more is sent, not even at a speed no try "
         "reached",
         upTo(40),
         8,
         -1,
         {"F", "600", "400", "270", "180", "125", "80", "55"},
         "Cancelled: " + mayHold +
             ". Failed: the fast send, 600, 400, 270, 180, 125, 80 and 55 bytes/s; none verified "
             "below the slowest of them, so nothing more was sent. " +
             check},
        {"cancelled after 400 verified once and then failed: never restored at 400",
         [](int speed, int before) {
             return speed != Fast && (speed <= 300 || (speed == 400 && before == 2));
         },
         6,
         -1,
         {"F", "600", "400", "500", "450", "400"},
         "Cancelled: " + mayHold +
             ". Failed: the fast send, 600, 500, 450 and 400 bytes/s; none verified below the "
             "slowest of them, so nothing more was sent. " +
             check},
        {"cancelled while the fast send is confirmed: restored as one message",
         upTo(2000),
         2,
         -1,
         {"F", "F", "CF"},
         "Cancelled. Sent the configuration as one message, and it verified: the box holds it."},
        {"cancelled before the first try ended",
         upTo(2000),
         0,
         -1,
         {},
         "Cancelled: " + mayHold + ". No try had verified, so nothing more was sent. " + check},
        {"the restore fails",
         [](int speed, int before) { return before < 4 && speed != Fast && speed <= 480; },
         4,
         -1,
         {"F", "600", "400", "500", "C400"},
         "Cancelled. Sent the configuration at 400 bytes/s, and it did not verify: " + mayHold +
             ". " + check},
        {"cancelled again before the restore ended",
         upTo(480),
         4,
         4,
         {"F", "600", "400", "500"},
         "Cancelled: " + mayHold + ". " + check},
        {"no speed verified",
         upTo(10),
         -1,
         -1,
         {"F", "600", "400", "270", "180", "125", "80", "55", "35", "25"},
         "No speed verified, down to 25 bytes/s: " + mayHold +
             ". Failed: the fast send, 600, 400, 270, 180, 125, 80, 55, 35 and 25 bytes/s; none "
             "verified below the slowest of them, so nothing more was sent. " +
             check},
    };
    for (const auto &run : searches) {
        SpeedSearch s;
        EXPECT_EQ(search(s, run.takes, run.cancelAt, run.cancelAgainAt), run.tries) << run.what;
        EXPECT_TRUE(s.over()) << run.what;
        EXPECT_EQ(SpeedReport::ending(s).toStdString(), run.ending) << run.what;
    }

    // What the window and the command line say when the restore starts.
    SpeedSearch restoring;
    for (bool verified : {false, false, true, false})
        restoring.tried(verified);
    restoring.cancel();
    EXPECT_EQ(restoring.stage(), SpeedSearch::Stage::Restoring);
    EXPECT_EQ(SpeedReport::restoring(restoring),
              "Cancelled: the box may hold a test copy or a broken configuration. Sending it the "
              "configuration at 400 bytes/s, the fastest that verified, verified.");
}

namespace {

// The program's sends as the box gets them, at the times the tick rule gives, and its answers:
// a search run headless against the stand-in box of the JACK tests.
struct BoxRig {
    SlowBox box;
    double seconds = 0;

    // Sends `dump` at `speed` (Fast: as one message).
    void send(const image::DumpBytes &dump, int speed) {
        if (speed == Fast) {
            box.arrive(dump.data(), dump.size(), seconds);
            return;
        }
        PacedSend paced([this](const char *data, int length) {
            box.arrive(reinterpret_cast<const std::uint8_t *>(data),
                       static_cast<std::size_t>(length), seconds);
            return true;
        });
        const double tick = std::max(2.5 / PacedSender::tempoForSpeed(speed), 0.005);
        paced.start(dump.data());
        seconds += PacedSend::HeaderPauseMs / 1000.0;
        while (!paced.tick())
            seconds += tick;
    }
    // Asks the box once it has settled; none when it does not answer within 5 s.
    std::optional<image::DumpBytes> ask() {
        seconds += BoxQuery::SettleMs / 1000.0;
        box.arrive(image::DumpRequest.data(), image::DumpRequest.size(), seconds);
        for (int ms = 0; ms < BoxQuery::TimeoutMs; ++ms) {
            box.drain(seconds += 0.001);
            for (const auto &answer : box.answers()) {
                image::DumpBytes dump{};
                std::copy(answer.begin(), answer.end(), dump.begin());
                return dump;
            }
        }
        return std::nullopt;
    }
    Bytes holds() const { return box.holds(); }
};

} // namespace

TEST(SpeedSearch, ATryVerifiesOnlyWhenItsOwnSendLandedOnABoxThatKeepsOnlyWholeDumps) {
    // The stand-in box of the JACK tests: a 192-byte input buffer emptied at 450 bytes a second,
    // keeping only the dumps that came whole. It overruns above about 514 bytes a second.
    const image::DumpBytes configuration = numberedDump();
    const Bytes wanted(configuration.begin(), configuration.end());
    for (const bool holdsItAlready : {true, false}) {
        BoxRig rig{SlowBox(192, 450, true, true)};
        if (holdsItAlready)
            rig.box.load(wanted);
        TestCopies copies(configuration);
        if (const auto first = rig.ask())
            copies.held(*first);
        SpeedSearch search;
        while (!search.over() && search.sends() < 100) {
            const image::DumpBytes dump =
                search.sendsConfiguration() ? configuration : copies.next();
            // Nothing the box holds is what the try sends: only its own send can verify it.
            EXPECT_NE(rig.holds(), Bytes(dump.begin(), dump.end())) << search.sends();
            if (!search.sendsConfiguration()) {
                const auto differences = image::ImageComparison::compare(configuration, dump);
                ASSERT_EQ(differences.size(), 1u);
                EXPECT_EQ(differences[0].name, "Pot 16.16 (ID 255)");
            }
            rig.send(dump, search.speed());
            const auto answer = rig.ask();
            ASSERT_TRUE(answer);
            copies.held(*answer);
            search.tried(image::ImageComparison::compare(dump, *answer).empty());
        }
        EXPECT_EQ(search.ending(), Ending::Found) << holdsItAlready;
        EXPECT_GT(search.chosen(), 300) << holdsItAlready;
        EXPECT_LE(search.chosen(), 450) << holdsItAlready;
        EXPECT_EQ(rig.holds(), wanted) << holdsItAlready;
    }
}

} // namespace vkv::transfer
