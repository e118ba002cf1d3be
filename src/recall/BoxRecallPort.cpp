#include "BoxRecallPort.h"

#include "DumpFile.h"
#include "Recaller.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

namespace vkv::recall {

namespace {

template <typename Port> QString nameOf(const Port *port) {
    return port ? QString::fromStdString(port->deviceName(port->Port())) : QString();
}

} // namespace

BoxRecallPort::BoxRecallPort(TMidiOut &out, TMidiIn *in, int speed, QObject *parent)
    : QObject(parent), out(out), in(in), speed(speed), sender(out, ticks, headTimer), query(out) {
    headTimer.setTimerType(Qt::PreciseTimer); // the header pause is part of the pacing
    connect(&headTimer, &QTimer::timeout, this, [this] { sender.headPauseOver(); });
    ticks.SetOnTimer([this](QObject *, char) {
        if (!sender.sending())
            return; // a tick queued before the send ended
        if (sender.tick())
            sendOver(!sender.failed(), image::DumpSize - sender.bytesLeft());
    });
    if (in) {
        in->SetUseShort(false);
        in->OnSysEx = [this](QObject *, char *data, int size) {
            query.chunk(reinterpret_cast<const std::uint8_t *>(data), size);
        };
        in->OnSysExBroken = [this](QObject *) { query.broken(); };
    }
    connect(&query, &transfer::BoxQuery::finished, this,
            [this](transfer::BoxQuery::Outcome outcome, const image::DumpBytes &answer) {
                if (!recaller)
                    return;
                if (outcome != transfer::BoxQuery::Outcome::Answered)
                    recaller->verifyOver(std::nullopt);
                else
                    recaller->verifyOver(library::DumpFile::key(answer) ==
                                         library::DumpFile::key(sent));
            });
}

BoxRecallPort::~BoxRecallPort() {
    ticks.SetEnabled(false);
    ticks.SetOnTimer({});
    if (in) {
        in->OnSysEx = nullptr;
        in->OnSysExBroken = nullptr;
    }
}

QString BoxRecallPort::outName() const {
    return nameOf(&out);
}

QString BoxRecallPort::inName() const {
    return nameOf(in);
}

void BoxRecallPort::send(const image::DumpBytes &dump, bool verifyIt) {
    query.cancel();
    const unsigned number = ++sends;
    sent = dump;
    image::frameDump(sent.data());
    verify = verifyIt && in;
    wentWhole = false;
    if (speed == 0) {
        const bool whole = out.SysEx(reinterpret_cast<const char *>(sent.data()), image::DumpSize);
        wentWhole = whole;
        // Told from the event loop, as a paced send's end is: the recaller is not re-entered.
        QTimer::singleShot(0, this, [this, whole, number] {
            if (number == sends)
                sendOver(whole, whole ? image::DumpSize : 0);
        });
        return;
    }
    sender.setSpeed(speed);
    if (!sender.start(sent.data()))
        QTimer::singleShot(0, this, [this, number] {
            if (number == sends)
                sendOver(false, 0);
        });
}

void BoxRecallPort::sendOver(bool whole, int bytes) {
    wentWhole = whole;
    if (recaller)
        recaller->sendOver(whole, bytes);
    if (whole && verify)
        query.start();
}

int BoxRecallPort::stop() {
    query.cancel();
    ++sends; // what a send told the loop to say is no longer said
    if (!sender.sending())
        return wentWhole ? image::DumpSize : 0;
    const int bytes = image::DumpSize - sender.bytesLeft();
    sender.stop();
    return bytes;
}

} // namespace vkv::recall
