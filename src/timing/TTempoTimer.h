#pragma once

#include "TempoTicks.h"

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace vkv::threads {
class HandOver;
}

// Raises OnTimer at the rate of MIDI clock ticks for a tempo: 24 ticks a beat at Tempo beats a
// minute, numbered 0..95 in cycles of four beats (TempoTicks holds the arithmetic).
//
// A thread of its own makes the periodic calls every Resolution milliseconds, waking on absolute
// deadlines so that its period does not drift; a call that comes late is still made at once, and
// the lag rule drops it if it is too late. Each due tick is handed to the thread this object lives
// on (the GUI thread) and raised there, in order. A tick handed over by a timer that has since been
// stopped or restarted is not raised. Stopping wakes the thread and joins it at once.
class TTempoTimer : public QObject {
    Q_OBJECT
public:
    using TimerEvent = std::function<void(QObject *Sender, char Tick)>;

    explicit TTempoTimer(QObject *owner = nullptr);
    ~TTempoTimer() override;

    bool Enabled() const { return enabled; }
    int Resolution() const;
    unsigned Accuracy() const { return accuracy; }
    std::uint16_t Tempo() const;
    std::uint16_t MaxPending() const;
    const TimerEvent &OnTimer() const { return onTimer; }
    // The running platform timer: 0 when none, a new number at each start.
    unsigned TimerId() const { return timerId; }
    // When the running timer started: its calls fall due every Resolution ms from here.
    std::chrono::steady_clock::time_point startedAt() const { return started; }
    // Calls the lag rule has dropped since the object was made: each one delays the ticks after
    // it by a period.
    unsigned droppedCalls() const { return dropped; }

    // Each writer does nothing when the value is unchanged. Tempo, Resolution and Accuracy restart
    // a running timer and keep the tick position (rescaled); Enabled false resets it to tick 0.
    void SetEnabled(bool value);
    void SetTempo(std::uint16_t value);
    void SetResolution(int value);
    void SetAccuracy(unsigned value);
    void SetMaxPending(std::uint16_t value);
    void SetOnTimer(TimerEvent handler);

    void PrepareMMTimer(unsigned delay);
    void UnprepareMMTimer();

private:
    void restartAround(const std::function<void()> &store);
    void run(unsigned id, unsigned period, std::chrono::steady_clock::time_point start);
    // Waits, with `lock` held on `mutex`, until the deadline or a stop request; true on a stop.
    bool stopRequested(std::unique_lock<std::mutex> &lock,
                       std::chrono::steady_clock::time_point deadline);
    void raise(unsigned id, int tick);

    mutable std::mutex mutex; // the tick arithmetic and the stop request, shared with the thread
    std::condition_variable wake;
    vkv::timing::TempoTicks ticks;
    bool stopping = false;
    std::atomic<bool> handlerAssigned{false};
    std::atomic<unsigned> dropped{0};
    std::thread worker;
    vkv::threads::HandOver *handOver; // brings the ticks to this object's thread

    TimerEvent onTimer;
    bool enabled = false;
    unsigned accuracy = 5; // kept for its owner; a thread waking on deadlines needs no request
    unsigned timerId = 0;
    std::chrono::steady_clock::time_point started;
};
