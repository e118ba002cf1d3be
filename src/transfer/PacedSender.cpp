#include "PacedSender.h"

#include "TMidiOut.h"
#include "TTempoTimer.h"

#include <QTimer>

namespace vkv::transfer {

PacedSender::PacedSender(TMidiOut &out, TTempoTimer &ticks, QTimer &headTimer)
    : out(out), ticks(ticks), headTimer(headTimer),
      paced([&out](const char *data, int length) { out.SysEx(data, length); }) {}

std::uint16_t PacedSender::tempoForSpeed(int speed) {
    return static_cast<std::uint16_t>(speed * 240 / 288);
}

void PacedSender::setSpeed(int speed) {
    ticks.SetTempo(tempoForSpeed(speed));
}

void PacedSender::start(const std::uint8_t *dump) {
    paced.start(dump);
    out.HoldShortMessages(true);
    // A timer, not a sleep: the owner's thread stays responsive through the pause.
    headTimer.setInterval(PacedSend::HeaderPauseMs);
    headTimer.start();
}

void PacedSender::headPauseOver() {
    headTimer.stop();
    ticks.SetEnabled(true);
}

bool PacedSender::tick() {
    if (!paced.tick())
        return false;
    ticks.SetEnabled(false);
    out.HoldShortMessages(false);
    return true;
}

} // namespace vkv::transfer
