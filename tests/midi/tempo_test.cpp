// The tempo timer: its tick arithmetic against a clock the test moves, and the real timer thread.
#include "TTempoTimer.h"
#include "TempoTicks.h"
#include "UiDriver.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vkv::timing {

namespace {

// Tick arithmetic driven by a fake millisecond clock and an ideal periodic timer.
struct FakeTimer {
    std::uint32_t now = 1000;
    TempoTicks ticks{[this] { return now; }};

    explicit FakeTimer(std::uint16_t tempo) {
        ticks.setTempo(tempo);
        ticks.ResetData();
        ticks.start();
    }
    // One call of the periodic timer `after` milliseconds after the previous one.
    int call(std::uint32_t after = 5, bool assigned = true) {
        now += after;
        return ticks.timerCall(assigned);
    }
};

} // namespace

TEST(TempoTicks, TickLengthFollowsTheTempo) {
    const struct {
        std::uint16_t tempo;
        double tickMs;
    } rows[] = {{120, 20.8333}, {100, 25.0}, {83, 30.1205}, {833, 3.0012}, {1, 2500.0}};
    for (const auto &row : rows) {
        FakeTimer t(row.tempo);
        EXPECT_NEAR(static_cast<double>(t.ticks.TickMs()), row.tickMs, 1e-4) << row.tempo;
    }
}

TEST(TempoTicks, TicksFallOnTheCallsTheRuleGivesAndCountInCyclesOf96) {
    FakeTimer t(120);
    std::vector<int> callsWithTicks;
    for (int call = 1; call <= 31; ++call)
        if (t.call() >= 0)
            callsWithTicks.push_back(call);
    EXPECT_EQ(callsWithTicks, (std::vector<int>{1, 6, 10, 14, 18, 22, 26, 31}));

    FakeTimer cycle(120);
    std::vector<int> indices;
    while (indices.size() < 98) {
        const int tick = cycle.call();
        if (tick >= 0)
            indices.push_back(tick);
    }
    for (int i = 0; i < 95; ++i)
        ASSERT_EQ(indices[i], i + 1);
    EXPECT_EQ(indices[95], 0);
    EXPECT_EQ(indices[96], 1);

    // With an ideal 5 ms timer, the 512 ticks of a paced send at speeds 100, 300, 600 and 1000
    // (tempos 83, 250, 500, 833) end on these calls: 15.44, 5.14, 2.585 and 2.56 seconds. A
    // cycle's restart costs a call where the tick length is a whole number of periods.
    for (const auto &[tempo, lastCall] :
         {std::pair{83, 3088}, {250, 1028}, {500, 517}, {833, 512}}) {
        FakeTimer send(static_cast<std::uint16_t>(tempo));
        int raised = 0, call = 0;
        while (raised < 512) {
            ++call;
            raised += send.call() >= 0;
        }
        EXPECT_EQ(call, lastCall) << tempo;
    }
    // Tick 0 of the next cycle falls about a tick length after tick 95, not at once.
    FakeTimer gap(120);
    int callsSince95 = -1;
    for (int tick = -1; tick != 0;) {
        tick = gap.call();
        if (tick == 95)
            callsSince95 = 0;
        else if (callsSince95 >= 0)
            ++callsSince95;
    }
    EXPECT_GE(callsSince95, 4);
    EXPECT_LE(callsSince95, 5);
}

TEST(TempoTicks, AStalledTimerDropsItsOverdueCallsInsteadOfBursting) {
    FakeTimer t(120);
    for (int i = 0; i < 40; ++i)
        t.call();
    // 100 ms without a call, then the 20 overdue calls in quick succession.
    t.now += 100;
    int ticks = 0;
    for (int i = 0; i < 20; ++i)
        ticks += t.call(0) >= 0;
    // Dropped until the lag is back under MaxPending tick lengths (41.67 ms): 100 - 5k < 41.67.
    EXPECT_EQ(t.ticks.DroppedCalls, 12u);
    EXPECT_LE(ticks, 2); // what is left of the overdue calls counts on; no burst of 5 ticks
    // Then the pace goes on as before.
    int later = 0;
    for (int i = 0; i < 100; ++i)
        later += t.call() >= 0;
    EXPECT_NEAR(later, 24, 1);
}

TEST(TempoTicks, WithoutAHandlerOrATempoCallsCountNothing) {
    FakeTimer t(120);
    for (int i = 0; i < 10; ++i)
        EXPECT_LT(t.call(5, false), 0);
    EXPECT_EQ(t.ticks.TimerCount, 0);
    EXPECT_EQ(t.ticks.TickIndex, 0);
    EXPECT_EQ(t.ticks.LastTime, t.now); // the lag test still ran

    // Tempo 0 has no tick length: nothing is raised, nothing divides by zero, and a tempo set
    // later starts the ticks where they stood.
    FakeTimer zero(120);
    zero.call();
    zero.ticks.setTempo(0);
    for (int i = 0; i < 50; ++i)
        EXPECT_LT(zero.call(), 0);
    EXPECT_EQ(zero.ticks.TickIndex, 1);
    zero.ticks.setTempo(100);
    int raised = 0;
    for (int i = 0; i < 20; ++i)
        raised += zero.call() >= 0;
    EXPECT_EQ(raised, 4); // one every 25 ms
}

TEST(TempoTimer, WritersRestartOnlyOnAChange) {
    TTempoTimer timer;
    EXPECT_EQ(timer.Tempo(), 120);
    EXPECT_EQ(timer.Resolution(), 5);
    EXPECT_EQ(timer.TimerId(), 0u);
    timer.SetTempo(100); // disabled: stored only
    EXPECT_EQ(timer.TimerId(), 0u);
    timer.SetEnabled(true);
    const unsigned first = timer.TimerId();
    EXPECT_NE(first, 0u);
    timer.SetTempo(100);
    timer.SetEnabled(true);
    EXPECT_EQ(timer.TimerId(), first);
    timer.SetTempo(83);
    EXPECT_NE(timer.TimerId(), first);
    const unsigned second = timer.TimerId();
    timer.SetAccuracy(2);
    EXPECT_NE(timer.TimerId(), second);
    timer.SetEnabled(false);
    EXPECT_EQ(timer.TimerId(), 0u);
}

TEST(TempoTimer, TicksReachTheOwnersThreadInOrderAndFollowTheTempo) {
    TTempoTimer timer;
    std::vector<int> ticks;
    bool offThread = false;
    timer.SetOnTimer([&](QObject *sender, char tick) {
        offThread |= sender != &timer || QThread::currentThread() != timer.thread();
        ticks.push_back(tick);
    });
    timer.SetTempo(120); // 48 ticks a second
    QElapsedTimer clock;
    clock.start();
    timer.SetEnabled(true);
    testui::settle(1000);
    const double seconds = clock.elapsed() / 1000.0;
    timer.SetEnabled(false);
    EXPECT_FALSE(offThread);
    EXPECT_NEAR(ticks.size(), 48 * seconds, 48 * seconds * 0.15);
    ASSERT_FALSE(ticks.empty());
    for (std::size_t i = 0; i < ticks.size(); ++i)
        ASSERT_EQ(ticks[i], static_cast<int>((i + 1) % 96)) << i;

    // Disabling resets the tick position: the next run starts with tick 1 again, and nothing of
    // the stopped run is raised after it.
    const std::size_t before = ticks.size();
    testui::settle(50);
    EXPECT_EQ(ticks.size(), before);
    timer.SetEnabled(true);
    ASSERT_TRUE(testui::waitUntil([&] { return ticks.size() > before; }, 2000));
    EXPECT_EQ(ticks[before], 1);

    // Tempo 0 raises nothing and fails nothing; a new tempo brings the ticks back.
    timer.SetTempo(0);
    testui::settle(30);
    const std::size_t atZero = ticks.size();
    testui::settle(200);
    EXPECT_EQ(ticks.size(), atZero);
    timer.SetTempo(833);
    EXPECT_TRUE(testui::waitUntil([&] { return ticks.size() > atZero + 10; }, 2000));
}

} // namespace vkv::timing
