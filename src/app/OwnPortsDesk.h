#pragma once

// The program's own MIDI ports (ports::OwnPorts) as the main window offers them: on the back end
// its MIDI ports took, once they are ready, while "Offer ports of its own" is checked (remembered
// in the settings; unchecking takes the ports away at once). Every message of the virtual box goes
// to Knobs as it goes to the MIDI OUT port, chosen or not, and is held while that port holds its
// messages (a paced dump going out), to be released in order after its own. What comes in on
// Motors goes where the MIDI IN port's short messages go. The check box's tip names the client the
// ports are offered under.
#include "Backend.h"

#include <QObject>
#include <cstdint>
#include <functional>

class QAbstractButton;
class TMidiOut;

namespace vkv::midi {
class MidiTap;
}
namespace vkv::ports {
class OwnPorts;
}

namespace vkv::app {

class PortFollower;
class Settings;

class OwnPortsDesk : public QObject {
    Q_OBJECT
public:
    using ShortMessage = std::function<void(QObject *Sender, uint8_t, uint8_t, uint8_t)>;

    OwnPortsDesk(TMidiOut &out, const PortFollower &follower, QAbstractButton *offer,
                 Settings &settings, ShortMessage incoming, QObject *window);

    // A message of the virtual box.
    void put(char status, char data1, char data2);
    // What goes out on Knobs and comes in on Motors goes to `tap` (nullptr: nowhere).
    void setTap(midi::MidiTap *tap);
    ports::OwnPorts &ports() { return *own; }

private:
    void offerAsChecked();
    void showState();

    QAbstractButton *offer;
    Settings &settings;
    ports::OwnPorts *own;
    backendapi::Backend backend =
        backendapi::Backend::None; // the window's ports', once they are ready
};

} // namespace vkv::app
