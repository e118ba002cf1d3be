#include "PacedSender.h"

#include "TMidiOut.h"
#include "TTempoTimer.h"

#include <QTimer>

namespace vkv::transfer {

PacedSender::PacedSender(TMidiOut &out, TTempoTimer &ticks, QTimer &headTimer)
    : out(out), ticks(ticks), headTimer(headTimer),
      paced([&out](const char *data, int length) { return out.SysEx(data, length); }) {}

std::uint16_t PacedSender::tempoForSpeed(int speed) {
    return static_cast<std::uint16_t>(speed * 240 / 288);
}

void PacedSender::setSpeed(int speed) {
    ticks.SetTempo(tempoForSpeed(speed));
}

bool PacedSender::start(const std::uint8_t *dump) {
    out.HoldMessages(true);
    if (!paced.start(dump)) {
        finish();
        return false;
    }
    // A timer, not a sleep: the owner's thread stays responsive through the pause.
    headTimer.setInterval(PacedSend::HeaderPauseMs);
    headTimer.start();
    return true;
}

void PacedSender::headPauseOver() {
    headTimer.stop();
    if (paced.sending())
        ticks.SetEnabled(true);
}

bool PacedSender::tick() {
    if (!paced.tick())
        return false;
    finish();
    return true;
}

void PacedSender::stop() {
    paced.stop();
    finish();
}

void PacedSender::finish() {
    headTimer.stop();
    ticks.SetEnabled(false);
    out.HoldMessages(false);
}

} // namespace vkv::transfer
