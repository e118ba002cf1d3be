#include "SendCommand.h"

#include "BoxQuery.h"
#include "CommandIo.h"
#include "CommandLine.h"
#include "CommandPorts.h"
#include "ConfigImage.h"
#include "ImageComparison.h"
#include "LibraryCommands.h"
#include "PacedSender.h"
#include "Progress.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TTempoTimer.h"
#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>
#include <cmath>

namespace vkv::cli {

namespace {

using Io = CommandIo;
using library::Library;

QString nameOf(const TMidiOut &out) {
    return QString::fromStdString(out.deviceName(out.Port()));
}

// What went to the box, whole or not, for the library.
void recordSend(const CommandLine &line, const TMidiOut &out,
                const std::optional<image::DumpBytes> &whole, int sent) {
    LibraryCommands::record(line, {QDateTime::currentDateTimeUtc(), Library::Direction::Sent,
                                   nameOf(out), whole, sent});
}

// A send that could not go on: how far it got, and what that means for the box.
int sendFailed(const TMidiOut &out, int sent) {
    const QString what = out.lostReason().empty()
                             ? QStringLiteral("sending to the MIDI OUT port failed")
                             : QStringLiteral("the MIDI OUT port was lost");
    Io::fail(what + QStringLiteral(" after %1 of %2 bytes; ").arg(sent).arg(image::DumpSize) +
             (sent > 0 ? QStringLiteral("the box may hold a broken configuration. Send it again.")
                       : QStringLiteral("nothing reached the box.")));
    return 1;
}

// Whether the port is still there once the back end has had time to say otherwise: a lost JACK
// server is reported through the event loop.
bool stillThere(TMidiOut &out) {
    QCoreApplication::processEvents();
    return out.lostReason().empty();
}

// After a send: asks the box for its configuration and compares its records with `sent`. 0 when
// they are the same, 3 when they differ (the differing records printed as --diff prints them),
// 1 for no answer or a broken one.
int verify(const CommandLine &line, TMidiOut &out, TMidiIn &in, const image::DumpBytes &sent) {
    QEventLoop loop;
    const QString inName = QString::fromStdString(in.deviceName(in.Port()));
    transfer::BoxQuery query(out);
    in.SetUseShort(false);
    in.OnSysEx = [&](QObject *, char *data, int size) {
        query.chunk(reinterpret_cast<const std::uint8_t *>(data), size);
    };
    in.OnSysExBroken = [&](QObject *) { query.broken(); };
    int code = 1;
    QObject::connect(&query, &transfer::BoxQuery::finished, &loop,
                     [&](transfer::BoxQuery::Outcome outcome, const image::DumpBytes &answer) {
                         using Outcome = transfer::BoxQuery::Outcome;
                         if (outcome == Outcome::NoAnswer) {
                             Io::fail(QStringLiteral("verify: no answer from the box within %1 s.")
                                          .arg(line.timeoutSeconds));
                         } else if (outcome == Outcome::Broken) {
                             Io::fail(QStringLiteral("verify: the box's answer was broken."));
                             LibraryCommands::record(line, {QDateTime::currentDateTimeUtc(),
                                                            Library::Direction::Received, inName,
                                                            std::nullopt, 0});
                         } else {
                             const auto differences = image::ImageComparison::compare(sent, answer);
                             code = differences.empty() ? 0 : 3;
                             LibraryCommands::record(line, {QDateTime::currentDateTimeUtc(),
                                                            Library::Direction::Received, inName,
                                                            answer, image::DumpSize});
                             LibraryCommands::verified(line, nameOf(out), sent, code == 0);
                             Io::print(stdout, image::ImageComparison::asText(differences));
                             if (code == 3)
                                 Io::fail(QStringLiteral("verify: the box holds other values in %1 "
                                                         "%2; send it again.")
                                              .arg(differences.size())
                                              .arg(differences.size() == 1 ? "record" : "records"));
                         }
                         loop.exit(code);
                     });
    TerminationSignals::watch(&loop, [&](int signal) { loop.exit(128 + signal); });
    query.start(transfer::BoxQuery::SettleMs,
                static_cast<int>(std::ceil(line.timeoutSeconds * 1000)));
    code = loop.exec();
    in.SetUsing(false);
    if (code > 128)
        return Io::interrupted(code - 128, QStringLiteral("the dump was sent, but not verified."));
    return code;
}

} // namespace

int SendCommand::run(const CommandLine &line) {
    image::ConfigImage image;
    if (!Io::readImage(line.sysexFile, image))
        return 1;
    const std::unique_ptr<TMidiOut> port = CommandPorts::openOut(line.outPort);
    if (!port)
        return 1;
    TMidiOut &out = *port;
    // Opened before anything is sent: a verify that cannot listen must not follow a send.
    std::unique_ptr<TMidiIn> in;
    if (line.verify && !(in = CommandPorts::openIn(line.inPort)))
        return 1;
    // Closing waits until the back end has passed what was sent on; verifying needs it open.
    const auto done = [&] {
        if (!in)
            out.SetUsing(false);
    };
    Progress progress;
    const auto raw = reinterpret_cast<const char *>(image.raw());
    if (line.fast) {
        bool sent = out.SysEx(raw, image::DumpSize) && stillThere(out);
        if (sent) {
            done();
            sent = stillThere(out);
        }
        if (!sent) {
            progress.end(QStringLiteral("failed"));
            recordSend(line, out, std::nullopt, 0);
            return sendFailed(out, 0);
        }
        progress.end(QStringLiteral("%1 bytes sent").arg(image::DumpSize));
        recordSend(line, out, image.bytes(), image::DumpSize);
        return in ? verify(line, out, *in, image.bytes()) : 0;
    }

    TTempoTimer ticks;
    QTimer headTimer;
    headTimer.setTimerType(Qt::PreciseTimer); // the header pause is part of the pacing
    transfer::PacedSender sender(out, ticks, headTimer);
    sender.setSpeed(line.speed);
    QEventLoop loop;
    qint64 pauseOver = -1;
    QObject::connect(&headTimer, &QTimer::timeout, &loop, [&] {
        sender.headPauseOver();
        pauseOver = progress.elapsed();
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
        const int left = sender.bytesLeft();
        const double seconds = (progress.elapsed() - pauseOver) / 1000.0;
        const int sent = image::DumpSize - transfer::PacedSend::HeaderSlice - left;
        // The first ticks come as the timer starts: too few to tell the rate by.
        const double rate = seconds >= 0.5 ? sent / seconds : 0;
        QString shown = QStringLiteral("%1 bytes left").arg(left, 4);
        if (rate > 0)
            shown += QStringLiteral(", %1 bytes/s, %2 s left")
                         .arg(std::lround(rate))
                         .arg(std::ceil(left / rate), 0, 'f', 0);
        if (last) {
            progress.end(shown);
            loop.exit(0);
        } else {
            progress.show(shown);
        }
    });
    TerminationSignals::watch(&loop, [&](int signal) { loop.exit(128 + signal); });
    if (!sender.start(image.raw()))
        return sendFailed(out, 0);
    progress.show(QStringLiteral("%1 bytes left, header pause").arg(sender.bytesLeft(), 4), true);
    int code = loop.exec();
    ticks.SetEnabled(false);
    headTimer.stop();
    out.OnLost = nullptr;
    const int sent = image::DumpSize - sender.bytesLeft();
    // Closing waits until the back end has passed the last slice on; a server that went away
    // meanwhile means the last slices never left.
    if (code == 0) {
        done();
        if (!stillThere(out))
            code = 1;
    }
    if (code == 1) {
        progress.end(QStringLiteral("%1 bytes left, stopped").arg(image::DumpSize - sent, 4));
        recordSend(line, out, std::nullopt, sent);
        return sendFailed(out, sent);
    }
    if (code > 128) {
        recordSend(line, out, std::nullopt, sent);
        if (progress.enabled())
            Io::print(stderr, QStringLiteral("\n"));
        return Io::interrupted(code - 128,
                               QStringLiteral("the box got %1 of the %2 bytes of the dump.")
                                   .arg(image::DumpSize - sender.bytesLeft())
                                   .arg(image::DumpSize));
    }
    recordSend(line, out, sender.slices().sentBytes(), image::DumpSize);
    return in ? verify(line, out, *in, sender.slices().sentBytes()) : code;
}

} // namespace vkv::cli
