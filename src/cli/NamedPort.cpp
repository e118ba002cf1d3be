#include "NamedPort.h"

#include "CommandIo.h"
#include "MidiPort.h"
#include "PortChoice.h"

namespace vkv::cli {

NamedPort::NamedPort(ports::MidiPort &port, QString kind, QString wanted)
    : port(port), kind(std::move(kind)), wanted(std::move(wanted)) {
    port.OnLost = [this](QObject *) { lost(); };
}

bool NamedPort::open() const {
    return port.Using() && port.isOpen();
}

void NamedPort::look() {
    const bool wasOpen = open();
    port.relist(); // an open port that went is lost here, and told from the event loop
    if (wasOpen)   // still open, or lost and told soon: lost() looks again
        return;
    const QStringList names = port.shownNames();
    const PortChoice choice = PortChoice::find(names, wanted);
    if (choice.outcome == PortChoice::Outcome::NotFound) {
        waiting(names.isEmpty() && port.backend() == backendapi::Backend::None
                    ? QStringLiteral("neither the ALSA sequencer nor a JACK server is there")
                    : QStringLiteral("it is not there"));
        return;
    }
    if (choice.outcome == PortChoice::Outcome::Ambiguous) {
        waiting(QStringLiteral("the name fits more than one port"));
        return;
    }
    port.SetUsing(false);
    port.SetPort(choice.index);
    port.SetUsing(true);
    if (port.OpenResult() != ports::Result::NoError) {
        port.SetUsing(false);
        waiting(QStringLiteral("it cannot be opened yet (error %1)")
                    .arg(static_cast<unsigned>(port.OpenResult())));
        return;
    }
    said.clear();
    CommandIo::fail(kind + " port \"" + names[choice.index] + "\" open.");
}

void NamedPort::lost() {
    const QString reason = QString::fromStdString(port.lostReason());
    port.SetUsing(false);
    said = QStringLiteral("it is not there"); // said here in other words
    CommandIo::fail(kind + " port \"" + wanted + "\" lost (" + reason +
                    "); it is opened again when it comes back.");
    look();
}

void NamedPort::waiting(const QString &why) {
    if (why == said)
        return;
    said = why;
    CommandIo::fail("waiting for the " + kind + " port \"" + wanted + "\": " + why + ".");
}

} // namespace vkv::cli
