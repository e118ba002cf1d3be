#pragma once

#include "PacedSend.h"

#include <cstdint>
#include <optional>

class QTimer;
class TMidiOut;
class TTempoTimer;

namespace vkv::transfer {

// A paced send as "Send Sysex" runs it on a port: the header slice at once, the header pause on
// the head timer, then one slice a tick of the tempo timer until the last one has gone. Short
// messages and whole SysEx messages (a dump request, a fast send) for the port are held from the
// start to that last slice: a status byte between two pieces would cut the dump on the wire, and
// the box would take a broken configuration. A slice the port refuses, a stop, or a port opened
// anew meanwhile (on a device that came back) ends the send where it is, and the held messages go
// (to nowhere when the port has gone).
//
// The port and both timers belong to the owner, which routes the head timer's timeout to
// headPauseOver() and each tick of the tempo timer to tick(). The main window and the command
// line both run their sends through this one class, so the two follow the same rule.
class PacedSender {
public:
    PacedSender(TMidiOut &out, TTempoTimer &ticks, QTimer &headTimer);

    // The tempo for a send speed of about `speed` bytes a second: three bytes a tick at 24 ticks
    // a beat make speed x 240 / 288 beats a minute.
    static std::uint16_t tempoForSpeed(int speed);
    static constexpr int MinSpeed = 2;
    static constexpr int MaxSpeed = 1000;
    static constexpr int DefaultSpeed = 100;
    // Takes effect at once, also during a send.
    void setSpeed(int speed);

    // Begins a send of the DumpSize bytes at `dump` anew from byte 0. A tempo timer still running
    // from a send under way keeps ticking through the new header pause. False when the port
    // refused the header, and then the send is over.
    bool start(const std::uint8_t *dump);
    // The header pause has passed: the slices follow at the tempo.
    void headPauseOver();
    // Sends the next slice; true when the send is over (that was the last slice, or the port
    // refused it), and then the timers are stopped and the held messages go out in their order.
    bool tick();
    // Ends a send under way where it is (its port was lost): as a refused slice does.
    void stop();

    bool sending() const { return paced.sending(); }
    // The latest send ended because the port refused a slice.
    bool failed() const { return paced.failed(); }
    // What is not sent: counting down during a send, 0 after a whole one.
    int bytesLeft() const { return paced.bytesLeft(); }
    // The slicing itself; its output is the port's SysEx.
    PacedSend &slices() { return paced; }

    // Once a send is over: the last whole configuration that really went out, the paced dump or
    // a whole dump held behind it and sent after it; none after a send that failed.
    std::optional<image::DumpBytes> lastWholeSent() const { return lastWhole; }
    // Held whole SysEx messages (a fast send, a dump request) that the port refused once the send
    // was over.
    int heldSendsFailed() const { return heldFailed; }

private:
    void finish();

    TMidiOut &out;
    TTempoTimer &ticks;
    QTimer &headTimer;
    PacedSend paced;
    unsigned opening = 0; // the port's opening the send began on
    std::optional<image::DumpBytes> lastWhole;
    int heldFailed = 0;
};

} // namespace vkv::transfer
