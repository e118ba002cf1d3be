#include "CommandPorts.h"

#include "CommandIo.h"
#include "PortChoice.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

#include <QStringList>

namespace vkv::cli {

namespace {

using vkv::backendapi::Backend;
using vkv::ports::Result;

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
    const QStringList names = port.shownNames();
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
        CommandIo::fail("no " + kind + " port \"" + wanted + "\". " + known.trimmed());
        return false;
    case PortChoice::Outcome::Ambiguous:
        CommandIo::fail("\"" + wanted + "\" fits more than one " + kind +
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
        CommandIo::fail("the " + kind + " port \"" + names[choice.index] +
                        "\" cannot be opened (error " +
                        QString::number(static_cast<unsigned>(port.OpenResult())) + ").");
        return false;
    }
    return true;
}

template <class Port> std::unique_ptr<Port> opened(const QString &kind, const QString &wanted) {
    auto port = std::make_unique<Port>(nullptr, Backend::Auto);
    if (!openPort(*port, kind, wanted))
        port.reset();
    return port;
}

} // namespace

int CommandPorts::list() {
    const TMidiIn in(nullptr, Backend::Auto);
    const TMidiOut out(nullptr, Backend::Auto);
    CommandIo::print(stdout, portList("MIDI IN", in.backend(), in.shownNames()) +
                                 portList("MIDI OUT", out.backend(), out.shownNames()));
    return 0;
}

std::unique_ptr<TMidiOut> CommandPorts::openOut(const QString &wanted) {
    return opened<TMidiOut>(QStringLiteral("MIDI OUT"), wanted);
}

std::unique_ptr<TMidiIn> CommandPorts::openIn(const QString &wanted) {
    return opened<TMidiIn>(QStringLiteral("MIDI IN"), wanted);
}

} // namespace vkv::cli
