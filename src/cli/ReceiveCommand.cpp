#include "ReceiveCommand.h"

#include "CommandIo.h"
#include "CommandLine.h"
#include "CommandPorts.h"
#include "ConfigImage.h"
#include "DumpReceiver.h"
#include "Progress.h"
#include "SyxFile.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TerminationSignals.h"
#include "TransferRecorder.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <cmath>

namespace vkv::cli {

namespace {

using Io = CommandIo;

} // namespace

int ReceiveCommand::run(const CommandLine &line) {
    // What would fail the store at the end fails now, before anything is asked of the box.
    const QFileInfo target(line.sysexFile);
    if (target.isDir()) {
        Io::fail(line.sysexFile + " is a folder.");
        return 1;
    }
    if (!target.absoluteDir().exists()) {
        Io::fail("there is no folder " + QDir::toNativeSeparators(target.absolutePath()) + ".");
        return 1;
    }
    const std::unique_ptr<TMidiIn> port = CommandPorts::openIn(line.inPort);
    if (!port)
        return 1;
    TMidiIn &in = *port;
    // Made only for a request: a port object is a client of the MIDI service.
    std::unique_ptr<TMidiOut> out;
    if (line.request && !(out = CommandPorts::openOut(line.outPort)))
        return 1;

    QEventLoop loop;
    transfer::DumpReceiver receiver;
    // What came in, whole or not, for the library.
    const TransferRecorder recorder(line, out.get(), &in);
    Progress progress;
    bool over = false;
    int received = 0; // bytes of the dump under way
    in.SetUseShort(false);
    in.OnSysEx = [&](QObject *, char *data, int size) {
        using Outcome = transfer::DumpReceiver::Outcome;
        if (over)
            return;
        switch (receiver.chunk(reinterpret_cast<const std::uint8_t *>(data), size)) {
        case Outcome::Ignored:
            return;
        case Outcome::Counting:
            received = image::DumpSize - receiver.bytesLeft();
            progress.show(QStringLiteral("%1 bytes to receive").arg(receiver.bytesLeft(), 4));
            return;
        case Outcome::TooLarge:
            over = true;
            progress.end(QStringLiteral("too large"));
            recorder.received(std::nullopt, image::DumpSize - receiver.bytesLeft());
            Io::fail(QStringLiteral("a SysEx message longer than a dump (%1 bytes) came in; "
                                    "nothing was stored.")
                         .arg(image::DumpSize));
            loop.exit(1);
            return;
        case Outcome::Done:
            break;
        }
        over = true;
        progress.end(QStringLiteral("%1 bytes received").arg(image::DumpSize));
        recorder.received(receiver.area(), image::DumpSize);
        // Stored as "Store Sysex File" stores a dump the editor has received: framed.
        image::ConfigImage image;
        image.bytes() = receiver.area();
        image.frame();
        QString why;
        bool cutShort = false;
        if (!image::SyxFile::write(
                line.sysexFile,
                QByteArray(reinterpret_cast<const char *>(image.raw()), image::DumpSize), &why,
                &cutShort)) {
            Io::fail("cannot write " + line.sysexFile + ": " + why +
                     "; the dump that came in is lost, and " + Io::leftAs(cutShort));
            loop.exit(1);
            return;
        }
        loop.exit(0);
    };
    // A dump whose end the back end lost: its remains must never be completed by what follows.
    in.OnSysExBroken = [&](QObject *) {
        if (over)
            return;
        recorder.received(std::nullopt, received);
        receiver.abandon();
        received = 0;
        progress.show(QStringLiteral("a dump broke off; waiting for another"));
    };
    QTimer timeout;
    timeout.setSingleShot(true);
    const int timeoutMs = static_cast<int>(std::ceil(line.timeoutSeconds * 1000));
    QObject::connect(&timeout, &QTimer::timeout, &loop, [&] {
        over = true;
        progress.end(QStringLiteral("timed out"));
        const QString partly =
            received > 0
                ? QStringLiteral(" (%1 of its %2 bytes came)").arg(received).arg(image::DumpSize)
                : QString();
        if (received > 0)
            recorder.received(std::nullopt, received);
        Io::fail(QStringLiteral("no whole dump arrived within %1 s%2; nothing was stored.")
                     .arg(line.timeoutSeconds)
                     .arg(partly));
        loop.exit(1);
    });
    TerminationSignals::watch(&loop, [&](int signal) {
        over = true;
        loop.exit(128 + signal);
    });
    timeout.start(timeoutMs);
    if (out && !out->SysEx(reinterpret_cast<const char *>(image::DumpRequest.data()),
                           static_cast<int>(image::DumpRequest.size()))) {
        Io::fail(QStringLiteral("the dump request could not be sent to the MIDI OUT port; nothing "
                                "was stored."));
        return 1;
    }
    progress.show(QStringLiteral("waiting for the dump"), true);
    const int code = loop.exec();
    in.SetUsing(false);
    if (out)
        out->SetUsing(false);
    if (code > 128) {
        if (progress.enabled())
            Io::print(stderr, QStringLiteral("\n"));
        return Io::interrupted(code - 128, QStringLiteral("nothing was stored."));
    }
    return code;
}

} // namespace vkv::cli
