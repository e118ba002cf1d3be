#pragma once

#include "BoxQuery.h"
#include "ConfigImage.h"
#include "PacedSender.h"
#include "RecallPort.h"
#include "TTempoTimer.h"

#include <QObject>
#include <QTimer>

class TMidiIn;
class TMidiOut;

namespace vkv::recall {

class Recaller;

// A recall's way to the box over ports of the program's own, without a window: the configuration
// paced at the speed given as "Send Sysex" paces it (or as one message), then, when asked, a
// request to the box and its answer compared with what went. A send runs on the event loop and
// tells the recaller how it went; stop() ends it at once. It takes the MIDI IN port's SysEx while
// it lives.
class BoxRecallPort : public QObject, public RecallPort {
    Q_OBJECT
public:
    // `speed`: bytes a second as --speed takes it; 0 sends the dump as one message. `in` may be
    // null: then nothing is verified.
    BoxRecallPort(TMidiOut &out, TMidiIn *in, int speed, QObject *parent = nullptr);
    ~BoxRecallPort() override;
    void setRecaller(Recaller *told) { recaller = told; }

    void send(const image::DumpBytes &dump, bool verify) override;
    int stop() override;
    QString outName() const override;
    QString inName() const override;
    int bytesPerSecond() const override { return speed; }

private:
    // The send ended: whole, or after `bytes`.
    void sendOver(bool whole, int bytes);

    TMidiOut &out;
    TMidiIn *in;
    int speed;
    TTempoTimer ticks;
    QTimer headTimer;
    transfer::PacedSender sender;
    transfer::BoxQuery query;
    Recaller *recaller = nullptr;
    image::DumpBytes sent{};
    bool verify = false;
    bool wentWhole = false; // the latest send went whole
    unsigned sends = 0;     // counts sends and stops, so a stopped send's end is not told
};

} // namespace vkv::recall
