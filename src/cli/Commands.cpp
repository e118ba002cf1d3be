#include "Commands.h"

#include "BoxQuery.h"
#include "BuildStamp.h"
#include "CommandLine.h"
#include "ConfigImage.h"
#include "DumpReceiver.h"
#include "ImageComparison.h"
#include "IniExport.h"
#include "PacedSender.h"
#include "PortChoice.h"
#include "SyxFile.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TTempoTimer.h"
#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace vkv::cli {

namespace {

using vkv::midi::Backend;
using vkv::midi::Result;

constexpr auto Program = "vkvela";

void print(std::FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// "vkvela: <text>" on the standard error stream.
void fail(const QString &text) {
    print(stderr, QString::fromLatin1(Program) + ": " + text + u'\n');
}

template <class Port> QStringList deviceNames(const Port &port) {
    QStringList names;
    for (int n = 0; n < port.NumDevs(); ++n)
        names << QString::fromLocal8Bit(port.DevCaps[n].szPname);
    return names;
}

QString backendName(Backend backend) {
    switch (backend) {
    case Backend::Alsa:
        return QStringLiteral("ALSA sequencer");
    case Backend::Jack:
        return QStringLiteral("JACK");
    default:
        return QString();
    }
}

// One port a line, numbered as a PORT argument takes them.
QString portLines(const QStringList &names, const QList<int> &which) {
    QString text;
    for (int n : which)
        text += QStringLiteral("  %1  %2\n").arg(n).arg(names[n]);
    return text;
}
QList<int> allOf(const QStringList &names) {
    QList<int> all;
    for (int n = 0; n < names.size(); ++n)
        all << n;
    return all;
}

QString portList(const QString &kind, Backend backend, const QStringList &names) {
    if (backend == Backend::None)
        return kind + " ports: none (neither the ALSA sequencer nor a JACK server is there)\n";
    if (names.isEmpty())
        return kind + " ports (" + backendName(backend) + "): none\n";
    return kind + " ports (" + backendName(backend) + "):\n" + portLines(names, allOf(names));
}

// Opens the port `wanted` names; false, said why, when there is none such or it cannot be opened.
template <class Port> bool openPort(Port &port, const QString &kind, const QString &wanted) {
    const QStringList names = deviceNames(port);
    const PortChoice choice = PortChoice::find(names, wanted);
    const QString known = names.isEmpty()
                              ? "There are no " + kind + " ports" +
                                    (port.backend() == Backend::None
                                         ? QStringLiteral(" (neither the ALSA sequencer nor a "
                                                          "JACK server is there).")
                                         : QStringLiteral("."))
                              : "The " + kind + " ports are:\n" + portLines(names, allOf(names));
    switch (choice.outcome) {
    case PortChoice::Outcome::NotFound:
        fail("no " + kind + " port \"" + wanted + "\". " + known.trimmed());
        return false;
    case PortChoice::Outcome::Ambiguous:
        fail("\"" + wanted + "\" fits more than one " + kind +
             " port; give more of the name, or the number:\n" +
             portLines(names, choice.candidates).chopped(1));
        return false;
    case PortChoice::Outcome::Found:
        break;
    }
    port.SetPort(choice.index);
    port.SetUsing(true);
    if (port.OpenResult() != Result::NoError) {
        port.SetUsing(false);
        fail("the " + kind + " port \"" + names[choice.index] + "\" cannot be opened (error " +
             QString::number(static_cast<unsigned>(port.OpenResult())) + ").");
        return false;
    }
    return true;
}

// The image a .syx file makes, read as "Open Sysex File" reads it into a freshly started editor:
// the built-in defaults, with as many leading bytes replaced as the file holds (1543 at most),
// then framed as sending and storing frame it.
bool readImage(const QString &path, image::ConfigImage &image) {
    QString why;
    const auto bytes = image::SyxFile::readImage(path, &why);
    if (!bytes) {
        fail(path + ": " + why);
        return false;
    }
    image.bytes() = *bytes;
    image.frame();
    return true;
}

// What a failed write left of the file.
QString leftAs(bool cutShort) {
    return cutShort ? QStringLiteral("the file, written in place since its folder takes no new "
                                     "files, may be cut short.")
                    : QStringLiteral("the file was left as it was.");
}

int interrupted(int signal, const QString &what) {
    fail(QStringLiteral("interrupted by signal %1; ").arg(signal) + what);
    return 128 + signal;
}

// A line on the standard error stream that a terminal redraws in place, a few times a second.
class Progress {
public:
    Progress() : shown(::isatty(STDERR_FILENO) == 1) { clock.start(); }
    bool enabled() const { return shown; }
    void show(const QString &line, bool now = false) {
        if (!shown || (!now && lastShown >= 0 && clock.elapsed() - lastShown < 100))
            return;
        lastShown = clock.elapsed();
        // Spaces wipe what a longer line before left.
        print(stderr, u'\r' + line.leftJustified(width));
        width = std::max(width, static_cast<int>(line.size()));
    }
    void end(const QString &line) {
        show(line, true);
        if (shown)
            print(stderr, QStringLiteral("\n"));
    }
    qint64 elapsed() const { return clock.elapsed(); }

private:
    bool shown;
    QElapsedTimer clock;
    qint64 lastShown = -1;
    int width = 0;
};

int listPorts() {
    const TMidiIn in(nullptr, Backend::Auto);
    const TMidiOut out(nullptr, Backend::Auto);
    print(stdout, portList("MIDI IN", in.backend(), deviceNames(in)) +
                      portList("MIDI OUT", out.backend(), deviceNames(out)));
    return 0;
}

// A send that could not go on: how far it got, and what that means for the box.
int sendFailed(const TMidiOut &out, int sent) {
    const QString what = out.lostReason().empty()
                             ? QStringLiteral("sending to the MIDI OUT port failed")
                             : QStringLiteral("the MIDI OUT port was lost");
    fail(what + QStringLiteral(" after %1 of %2 bytes; ").arg(sent).arg(image::DumpSize) +
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
                             fail(QStringLiteral("verify: no answer from the box within %1 s.")
                                      .arg(line.timeoutSeconds));
                         } else if (outcome == Outcome::Broken) {
                             fail(QStringLiteral("verify: the box's answer was broken."));
                         } else {
                             const auto differences = image::ImageComparison::compare(sent, answer);
                             code = differences.empty() ? 0 : 3;
                             print(stdout, image::ImageComparison::asText(differences));
                             if (code == 3)
                                 fail(QStringLiteral("verify: the box holds other values in %1 "
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
        return interrupted(code - 128, QStringLiteral("the dump was sent, but not verified."));
    return code;
}

int send(const CommandLine &line) {
    image::ConfigImage image;
    if (!readImage(line.sysexFile, image))
        return 1;
    TMidiOut out(nullptr, Backend::Auto);
    if (!openPort(out, "MIDI OUT", line.outPort))
        return 1;
    // Opened before anything is sent: a verify that cannot listen must not follow a send.
    std::unique_ptr<TMidiIn> in;
    if (line.verify) {
        in = std::make_unique<TMidiIn>(nullptr, Backend::Auto);
        if (!openPort(*in, "MIDI IN", line.inPort))
            return 1;
    }
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
            return sendFailed(out, 0);
        }
        progress.end(QStringLiteral("%1 bytes sent").arg(image::DumpSize));
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
        return sendFailed(out, sent);
    }
    if (code > 128) {
        if (progress.enabled())
            print(stderr, QStringLiteral("\n"));
        return interrupted(code - 128, QStringLiteral("the box got %1 of the %2 bytes of the dump.")
                                           .arg(image::DumpSize - sender.bytesLeft())
                                           .arg(image::DumpSize));
    }
    return in ? verify(line, out, *in, sender.slices().sentBytes()) : code;
}

int receive(const CommandLine &line) {
    // What would fail the store at the end fails now, before anything is asked of the box.
    const QFileInfo target(line.sysexFile);
    if (target.isDir()) {
        fail(line.sysexFile + " is a folder.");
        return 1;
    }
    if (!target.absoluteDir().exists()) {
        fail("there is no folder " + QDir::toNativeSeparators(target.absolutePath()) + ".");
        return 1;
    }
    TMidiIn in(nullptr, Backend::Auto);
    if (!openPort(in, "MIDI IN", line.inPort))
        return 1;
    // Made only for a request: a port object is a client of the MIDI service.
    std::unique_ptr<TMidiOut> out;
    if (line.request) {
        out = std::make_unique<TMidiOut>(nullptr, Backend::Auto);
        if (!openPort(*out, "MIDI OUT", line.outPort))
            return 1;
    }

    QEventLoop loop;
    transfer::DumpReceiver receiver;
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
            fail(QStringLiteral("a SysEx message longer than a dump (%1 bytes) came in; nothing "
                                "was stored.")
                     .arg(image::DumpSize));
            loop.exit(1);
            return;
        case Outcome::Done:
            break;
        }
        over = true;
        progress.end(QStringLiteral("%1 bytes received").arg(image::DumpSize));
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
            fail("cannot write " + line.sysexFile + ": " + why +
                 "; the dump that came in is lost, and " + leftAs(cutShort));
            loop.exit(1);
            return;
        }
        loop.exit(0);
    };
    // A dump whose end the back end lost: its remains must never be completed by what follows.
    in.OnSysExBroken = [&](QObject *) {
        if (over)
            return;
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
        fail(QStringLiteral("no whole dump arrived within %1 s%2; nothing was stored.")
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
        fail(QStringLiteral("the dump request could not be sent to the MIDI OUT port; nothing "
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
            print(stderr, QStringLiteral("\n"));
        return interrupted(code - 128, QStringLiteral("nothing was stored."));
    }
    return code;
}

int exportIni(const CommandLine &line) {
    image::ConfigImage image;
    if (!readImage(line.sysexFile, image))
        return 1;
    const QByteArray text =
        image::IniExport::render(image, BuildStamp::releaseLabel(), image::IniExport::now());
    QString why;
    bool cutShort = false;
    if (!image::SyxFile::write(line.iniFile, text, &why, &cutShort)) {
        fail("cannot write " + line.iniFile + ": " + why + "; " + leftAs(cutShort));
        return 1;
    }
    return 0;
}

// diff(1)'s exit codes, so scripts can tell "they differ" from "it failed".
int diff(const CommandLine &line) {
    image::ConfigImage a, b;
    if (!readImage(line.sysexFile, a) || !readImage(line.secondFile, b))
        return 2;
    const auto differences = image::ImageComparison::compare(a.bytes(), b.bytes());
    print(stdout, image::ImageComparison::asText(differences));
    return differences.empty() ? 0 : 1;
}

} // namespace

int Commands::run(const CommandLine &line) {
    switch (line.action) {
    case CommandLine::Action::ListPorts:
        return listPorts();
    case CommandLine::Action::Send:
        return send(line);
    case CommandLine::Action::Receive:
        return receive(line);
    case CommandLine::Action::ExportIni:
        return exportIni(line);
    case CommandLine::Action::Diff:
        return diff(line);
    default:
        fail("no such command.");
        return 1;
    }
}

} // namespace vkv::cli
