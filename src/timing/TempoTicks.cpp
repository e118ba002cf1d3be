#include "TempoTicks.h"

#include <algorithm>

namespace vkv::timing {

TempoTicks::TempoTicks(Clock clock) : clock(std::move(clock)) {
    UpdateReal();
    ResetData();
}

void TempoTicks::setTempo(std::uint16_t value) {
    tempo = value;
    UpdateReal();
    UpdateTimerCount();
}

void TempoTicks::setResolution(int milliseconds) {
    resolution = std::max(1, milliseconds);
    UpdateReal();
    UpdateTimerCount();
}

void TempoTicks::ResetData() {
    TickIndex = 0;
    TimerCount = 0;
}

void TempoTicks::UpdateReal() {
    // 1000 / (Tempo x (1/60) x 24), the length of one of 24 ticks a beat in milliseconds, written
    // as 2500 / Tempo: the same value without the rounding of 1/60, which would put 10 ms a
    // hair below 10 and move the cycle's restart by a whole timer call.
    tickMs = tempo == 0 ? 0.0L : 2500.0L / tempo;
}

void TempoTicks::UpdateTimerCount() {
    if (tempo == 0)
        return; // no tick length to place the count by; it is placed when a tempo is set
    TimerCount = static_cast<std::int32_t>(TickIndex * tickMs / resolution);
}

bool TempoTicks::MaxOverpass() {
    const std::uint32_t now = clock();
    const std::uint32_t elapsed = now - LastTime; // wraps like the platform's millisecond clock
    const bool late = tempo != 0 && MaxPending < elapsed / tickMs;
    if (late) {
        LastTime += static_cast<std::uint32_t>(resolution);
        ++DroppedCalls;
        return true;
    }
    LastTime = now;
    return false;
}

bool TempoTicks::MatchesTick() {
    if (static_cast<long double>(TimerCount) * resolution < TickIndex * tickMs) {
        ++TimerCount;
        return false;
    }
    ++TickIndex;
    ++TimerCount;
    if (TickIndex >= TicksPerCycle) {
        TickIndex = 0;
        // Tick 0 of the next cycle falls about one tick length after tick 95.
        TimerCount = -static_cast<std::int32_t>(tickMs / resolution);
    }
    return true;
}

int TempoTicks::timerCall(bool handlerAssigned) {
    if (MaxOverpass())
        return -1;
    if (!handlerAssigned || tempo == 0)
        return -1;
    return MatchesTick() ? TickIndex : -1;
}

} // namespace vkv::timing
