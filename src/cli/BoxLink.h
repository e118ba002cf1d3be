#pragma once

#include "BoxQuery.h"
#include "ConfigImage.h"
#include "PacedSender.h"
#include "TTempoTimer.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QEventLoop;
class TMidiIn;
class TMidiOut;

namespace vkv::backendapi {
class PortWatch;
}

namespace vkv::cli {

// The box at the end of a command's ports: sends it a configuration, as one message or paced as
// "Send Sysex" paces it, and asks it what it holds, each run on an event loop until it is over.
// A lost port or a refused piece ends a send at once; SIGINT, SIGTERM or SIGHUP end what runs and
// are kept, so that each later send or question ends at once too until the owner lets them go.
// When asked to, it watches the MIDI IN port as well, and its loss ends what runs the same way.
// Shared by --send and --find-speed, so both send and ask by the same rules.
class BoxLink {
public:
    // `in` may be null: then nothing can be asked.
    BoxLink(TMidiOut &out, TMidiIn *in);
    ~BoxLink();
    BoxLink(const BoxLink &) = delete;
    BoxLink &operator=(const BoxLink &) = delete;

    // Each send returns 0 once the port took the whole dump, 1 when it did not (sent() says how
    // much went) or the watched MIDI IN port was lost, or 128 + the signal that ended it.
    int sendFast(const image::DumpBytes &dump);
    // `shown` is told the bytes left once the header has gone (with a rate below 0: the header
    // pause) and after each tick, with the rate in bytes a second since the pause (0 until it
    // can be told).
    using Shown = std::function<void(int bytesLeft, double rate)>;
    int sendPaced(const image::DumpBytes &dump, int speed, const Shown &shown = {});
    // Bytes of the latest send that went.
    int sent() const { return sentBytes; }
    // Says that the latest send failed, how far it got and what that means for the box; returns
    // the exit code, 1.
    int sendFailed() const;
    // Closes the MIDI OUT port, which waits until the back end has passed what was sent on;
    // false when the port was lost meanwhile, so the last bytes never left.
    bool close();

    struct Answer {
        int code = 0; // 0, 1 when the watched MIDI IN port was lost, or 128 + the signal
        transfer::BoxQuery::Outcome outcome = transfer::BoxQuery::Outcome::NoAnswer;
        image::DumpBytes dump{};
    };
    // Asks the box for its configuration after `settleMs` and waits `timeoutMs` for its answer.
    Answer ask(int settleMs, int timeoutMs);

    // From now on the MIDI IN port going away (its device, or the MIDI service under it) ends a
    // send or a question under way at once, and every later one, with code 1.
    void watchIn();
    // Why the watched MIDI IN port was lost ("vela-box:out gone"); empty while it is there.
    QString inLost() const;

    // The signal that ended something, or 0.
    int signal() const { return signalled; }
    // Lets a kept signal go: what follows runs until a new one comes.
    void forgetSignal() { signalled = 0; }

private:
    // Whether the port is still there once the back end has had time to say otherwise: a lost
    // JACK server is reported through the event loop.
    bool stillThere();
    int run(QEventLoop &loop);

    TMidiOut &out;
    TMidiIn *in;
    TTempoTimer ticks;
    QTimer headTimer;
    transfer::PacedSender sender;
    transfer::BoxQuery query;
    QObject signals_; // receives the termination signals
    QEventLoop *running = nullptr;
    int signalled = 0;
    int sentBytes = 0;
    std::unique_ptr<backendapi::PortWatch>
        watch; // tells when ports come and go; null unless watched
    bool inGone = false;
};

} // namespace vkv::cli
