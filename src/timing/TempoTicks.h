#pragma once

#include <cstdint>
#include <functional>

namespace vkv::timing {

// The tick arithmetic of the tempo timer, without a thread: 24 ticks a beat at Tempo beats a
// minute, decided on each call of a periodic timer that runs every Resolution milliseconds.
// Ticks follow the tempo on average although the timer's period does not divide the tick
// length; they are numbered in cycles of 96; and when the timer falls more than MaxPending tick
// lengths behind, its overdue calls are dropped rather than turned into a burst of ticks.
//
// The clock is injected (milliseconds, 32 bits, wrapping), so every rule can be tested without
// sleeping. Tempo 0 has no tick length: the calls then raise nothing and divide by nothing.
class TempoTicks {
public:
    using Clock = std::function<std::uint32_t()>;

    explicit TempoTicks(Clock clock);

    // Settings. The writers only store and rescale; starting and stopping belong to the owner.
    std::uint16_t Tempo() const { return tempo; }
    int Resolution() const { return resolution; }
    std::uint16_t MaxPending = 2;
    void setTempo(std::uint16_t value);           // then UpdateReal and UpdateTimerCount
    void setResolution(int milliseconds);         // at least 1; then the same
    long double TickMs() const { return tickMs; } // 2500 / Tempo; 0 while Tempo is 0

    // One periodic call: the lag test, then, when a handler is assigned, the tick test.
    // Returns the tick index to raise (0..95), or -1 for none.
    int timerCall(bool handlerAssigned);
    // The timer (re)starts now: the lag test measures from here.
    void start() { LastTime = clock(); }

    void ResetData();
    void UpdateReal();
    void UpdateTimerCount();
    // True when the call comes more than MaxPending tick lengths after the last call on time: it
    // is dropped, and the reference moves one period on.
    bool MaxOverpass();
    // True when a tick is due at this call; TickIndex then holds its number.
    bool MatchesTick();

    std::uint32_t LastTime = 0;
    unsigned DroppedCalls = 0; // calls the lag rule has dropped, for the record
    std::int8_t TickIndex = 0;
    std::int32_t TimerCount = 0;

    static constexpr int TicksPerCycle = 96;

private:
    Clock clock;
    std::uint16_t tempo = 120;
    int resolution = 5;
    long double tickMs = 0;
};

} // namespace vkv::timing
