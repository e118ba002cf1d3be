#pragma once

#include <QString>

namespace vkv::ports {
class MidiPort;
}

namespace vkv::cli {

// A port of a command that runs until it is stopped, kept open on the port a name means (as a
// PORT argument takes it, see PortChoice): opened as soon as that port is there, waited for while
// it is not (said once each time it goes), and opened again by its name after it was lost, as the
// window follows the ports it remembers. What happens to it is said on the standard error stream.
class NamedPort {
public:
    // `kind`: "MIDI OUT", "MIDI IN".
    NamedPort(ports::MidiPort &port, QString kind, QString wanted);
    NamedPort(const NamedPort &) = delete;
    NamedPort &operator=(const NamedPort &) = delete;

    // Looks for the port again (the system's ports changed, or it is time to): an open port that
    // is still there stays; one that went is closed; a port not open is opened when found.
    void look();
    bool open() const;

private:
    void lost();
    void waiting(const QString &why);

    ports::MidiPort &port;
    const QString kind;
    const QString wanted;
    QString said; // the latest word on waiting, said once
};

} // namespace vkv::cli
