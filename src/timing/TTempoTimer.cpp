#include "TTempoTimer.h"

#include "HandOver.h"
#include "ThreadSanitizer.h"

#include <chrono>
#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#endif

namespace {

using std::chrono::steady_clock;

// The platform's millisecond clock: 32 bits that wrap, from the same source as the deadlines.
std::uint32_t milliseconds() {
    const auto now = steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::atomic<unsigned> nextTimerId{1};

} // namespace

TTempoTimer::TTempoTimer(QObject *owner)
    : QObject(owner), ticks(&milliseconds), handOver(new vkv::threads::HandOver(this)) {
    ticks.setTempo(120);
    ticks.setResolution(5);
    ticks.MaxPending = 2;
    ticks.ResetData();
}

TTempoTimer::~TTempoTimer() {
    UnprepareMMTimer();
}

int TTempoTimer::Resolution() const {
    vkv::threads::SeenLock lock(mutex);
    return ticks.Resolution();
}

std::uint16_t TTempoTimer::Tempo() const {
    vkv::threads::SeenLock lock(mutex);
    return ticks.Tempo();
}

std::uint16_t TTempoTimer::MaxPending() const {
    vkv::threads::SeenLock lock(mutex);
    return ticks.MaxPending;
}

void TTempoTimer::SetEnabled(bool value) {
    if (value == enabled)
        return;
    enabled = value;
    if (value) {
        PrepareMMTimer(static_cast<unsigned>(Resolution()));
        return;
    }
    UnprepareMMTimer();
    vkv::threads::SeenLock lock(mutex);
    ticks.ResetData();
}

void TTempoTimer::restartAround(const std::function<void()> &store) {
    // A running timer stops before the value changes and starts again with it.
    if (enabled)
        UnprepareMMTimer();
    store();
    if (enabled)
        PrepareMMTimer(static_cast<unsigned>(Resolution()));
}

void TTempoTimer::SetTempo(std::uint16_t value) {
    if (value == Tempo())
        return;
    restartAround([&] {
        vkv::threads::SeenLock lock(mutex);
        ticks.setTempo(value);
    });
}

void TTempoTimer::SetResolution(int value) {
    if (value == Resolution())
        return;
    restartAround([&] {
        vkv::threads::SeenLock lock(mutex);
        ticks.setResolution(value);
    });
}

void TTempoTimer::SetAccuracy(unsigned value) {
    if (value == accuracy)
        return;
    restartAround([&] { accuracy = value; });
}

void TTempoTimer::SetMaxPending(std::uint16_t value) {
    vkv::threads::SeenLock lock(mutex);
    ticks.MaxPending = value;
}

void TTempoTimer::SetOnTimer(TimerEvent handler) {
    onTimer = std::move(handler);
    handlerAssigned = static_cast<bool>(onTimer);
}

void TTempoTimer::PrepareMMTimer(unsigned delay) {
    UnprepareMMTimer();
    // The calls fall due on whole milliseconds of the rule's clock, as a platform timer's calls
    // come on its clock's ticks. Started anywhere within a millisecond, a call late by little more
    // than one could read as two whole milliseconds late and be dropped by the lag rule; now it is
    // judged by the whole milliseconds it is late.
    started = std::chrono::floor<std::chrono::milliseconds>(steady_clock::now());
    {
        vkv::threads::SeenLock lock(mutex);
        stopping = false;
        ticks.start(); // the same millisecond, or (read just after a tick of the clock) the next
    }
    timerId = nextTimerId++;
    worker = std::thread(&TTempoTimer::run, this, timerId, delay < 1 ? 1u : delay, started);
}

void TTempoTimer::UnprepareMMTimer() {
    if (worker.joinable()) {
        {
            vkv::threads::SeenLock lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        worker.join();
    }
    timerId = 0;
}

bool TTempoTimer::stopRequested(std::unique_lock<std::mutex> &lock,
                                steady_clock::time_point deadline) {
    while (!stopping) {
        // The wait lets the lock go and takes it back inside pthread_cond_clockwait, which this
        // compiler's thread sanitizer does not intercept; so both are announced to it here, and
        // the owner's thread takes the lock as a SeenLock: what either thread did under the lock
        // is ordered before what the other does under it next.
        vkv::threads::syncRelease(&mutex);
        const bool timedOut = wake.wait_until(lock, deadline) == std::cv_status::timeout;
        vkv::threads::syncAcquire(&mutex);
        if (timedOut)
            return stopping;
    }
    return true;
}

void TTempoTimer::run(unsigned id, unsigned period, steady_clock::time_point start) {
#ifdef __linux__
    // The kernel may otherwise let a wake-up slip by its default slack of 50 us, and it adds up
    // with the hand-over to the owner's thread.
    prctl(PR_SET_TIMERSLACK, 1UL);
    // Real-time scheduling where the system grants it (root, or a user with an rtprio limit, as
    // audio users often have): a busy machine then wakes the timer on time, and a call the lag
    // rule would drop as too late is rarer. The thread only counts and hands over. Elsewhere it
    // runs as before.
    sched_param realtime{};
    realtime.sched_priority = 10;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &realtime);
#endif
    auto deadline = start;
    std::unique_lock lock(mutex);
    for (;;) {
        // Absolute deadlines: a late wake-up shortens the next wait instead of shifting the rest.
        deadline += std::chrono::milliseconds(period);
        if (stopRequested(lock, deadline))
            return;
        const int tick = ticks.timerCall(handlerAssigned);
        dropped = ticks.DroppedCalls;
        if (tick < 0)
            continue;
        // Posted calls keep their order, and die with this object if it goes first.
        handOver->post([this, id, tick] { raise(id, tick); });
    }
}

void TTempoTimer::raise(unsigned id, int tick) {
    if (!enabled || id != timerId || !onTimer)
        return;
    auto handler = onTimer; // a handler may replace itself
    handler(this, static_cast<char>(tick));
}
