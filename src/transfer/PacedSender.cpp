#include "PacedSender.h"

#include "TMidiOut.h"
#include "TTempoTimer.h"

#include <QTimer>
#include <algorithm>

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
    opening = out.openings();
    lastWhole.reset();
    heldFailed = 0;
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
    // The rest of the dump must not go to a device that came back or another one: the start of
    // it went elsewhere.
    if (paced.sending() && out.openings() != opening)
        paced.fail();
    else if (!paced.tick())
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
    if (paced.sending() || paced.failed() || paced.bytesLeft() > 0)
        return;
    lastWhole = paced.sentBytes();
    for (const auto &message : out.releasedSysEx()) {
        if (!message.sent)
            ++heldFailed;
        else if (message.bytes.size() == image::DumpSize)
            std::copy(message.bytes.begin(), message.bytes.end(), lastWhole->begin());
    }
}

} // namespace vkv::transfer
