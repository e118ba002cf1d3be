#include "BoxLink.h"

#include "CommandIo.h"
#include "PortWatch.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

namespace vkv::cli {

BoxLink::BoxLink(TMidiOut &out, TMidiIn *in)
    : out(out), in(in), sender(out, ticks, headTimer), query(out) {
    headTimer.setTimerType(Qt::PreciseTimer); // the header pause is part of the pacing
    if (in) {
        in->SetUseShort(false);
        in->OnSysEx = [this](QObject *, char *data, int size) {
            query.chunk(reinterpret_cast<const std::uint8_t *>(data), size);
        };
        in->OnSysExBroken = [this](QObject *) { query.broken(); };
    }
    TerminationSignals::watch(&signals_, [this](int signal) {
        signalled = signal;
        if (running)
            running->exit(128 + signal);
    });
}

BoxLink::~BoxLink() {
    if (in) {
        in->SetUsing(false);
        in->OnSysEx = nullptr;
        in->OnSysExBroken = nullptr;
        in->OnLost = nullptr;
    }
}

void BoxLink::watchIn() {
    if (!in || watch)
        return;
    watch = backendapi::PortWatch::create(in->backend(), [this] {
        std::vector<std::string> names = out.portNames();
        for (std::string &name : in->portNames())
            names.push_back(std::move(name));
        return names;
    });
    // Reading the lists again finds a port that went, and has it say so.
    QObject::connect(watch.get(), &backendapi::PortWatch::changed, &signals_, [this] {
        out.relist();
        in->relist();
    });
    in->OnLost = [this](QObject *) {
        inGone = true;
        if (running)
            running->exit(1);
    };
}

QString BoxLink::inLost() const {
    if (!inGone)
        return {};
    const std::string &why = in->lostReason();
    return why.empty() ? QStringLiteral("it went away") : QString::fromStdString(why);
}

int BoxLink::run(QEventLoop &loop) {
    running = &loop;
    const int code = loop.exec();
    running = nullptr;
    return code;
}

bool BoxLink::stillThere() {
    QCoreApplication::processEvents();
    return out.lostReason().empty();
}

bool BoxLink::close() {
    out.SetUsing(false);
    return stillThere();
}

int BoxLink::sendFailed() const {
    const QString what = out.lostReason().empty()
                             ? QStringLiteral("sending to the MIDI OUT port failed")
                             : QStringLiteral("the MIDI OUT port was lost");
    CommandIo::fail(
        what + QStringLiteral(" after %1 of %2 bytes; ").arg(sentBytes).arg(image::DumpSize) +
        (sentBytes > 0 ? QStringLiteral("the box may hold a broken configuration. Send it again.")
                       : QStringLiteral("nothing reached the box.")));
    return 1;
}

int BoxLink::sendFast(const image::DumpBytes &dump) {
    sentBytes = 0;
    if (signalled)
        return 128 + signalled;
    if (inGone)
        return 1;
    if (!out.SysEx(reinterpret_cast<const char *>(dump.data()), image::DumpSize) || !stillThere())
        return 1;
    sentBytes = image::DumpSize;
    return 0;
}

int BoxLink::sendPaced(const image::DumpBytes &dump, int speed, const Shown &shown) {
    sentBytes = 0;
    if (signalled)
        return 128 + signalled;
    if (inGone)
        return 1;
    sender.setSpeed(speed);
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    qint64 pauseOver = -1;
    QObject::connect(&headTimer, &QTimer::timeout, &loop, [&] {
        sender.headPauseOver();
        pauseOver = clock.elapsed();
    });
    // The port going away ends the send at once: the rest of the dump has nowhere to go.
    out.OnLost = [&](QObject *) {
        if (sender.sending())
            sender.stop();
        loop.exit(1);
    };
    ticks.SetOnTimer([&](QObject *, char) {
        if (!sender.sending())
            return; // a tick queued before the send ended
        const bool last = sender.tick();
        if (sender.failed()) {
            loop.exit(1);
            return;
        }
        const double seconds = (clock.elapsed() - pauseOver) / 1000.0;
        const int slices = image::DumpSize - transfer::PacedSend::HeaderSlice - sender.bytesLeft();
        // The first ticks come as the timer starts: too few to tell the rate by.
        if (shown)
            shown(sender.bytesLeft(), seconds >= 0.5 ? slices / seconds : 0);
        if (last)
            loop.exit(0);
    });
    int code = 1;
    if (sender.start(dump.data())) {
        if (shown)
            shown(sender.bytesLeft(), -1);
        code = run(loop);
    }
    ticks.SetEnabled(false);
    ticks.SetOnTimer({});
    headTimer.stop();
    if (sender.sending())
        sender.stop(); // a signal ended it
    out.OnLost = nullptr;
    sentBytes = image::DumpSize - sender.bytesLeft();
    return code == 0 && !stillThere() ? 1 : code;
}

BoxLink::Answer BoxLink::ask(int settleMs, int timeoutMs) {
    Answer answer;
    if (signalled || inGone) {
        answer.code = signalled ? 128 + signalled : 1;
        return answer;
    }
    QEventLoop loop;
    QObject::connect(&query, &transfer::BoxQuery::finished, &loop,
                     [&](transfer::BoxQuery::Outcome outcome, const image::DumpBytes &dump) {
                         answer.outcome = outcome;
                         answer.dump = dump;
                         loop.exit(0);
                     });
    query.start(settleMs, timeoutMs);
    answer.code = run(loop);
    query.cancel();
    return answer;
}

} // namespace vkv::cli
