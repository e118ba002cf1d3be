#pragma once

// The main window's two ports as the File page chooses them: the lists, the choice of a port with
// the status line's word and the transfer buttons it enables, and the ports kept in step with the
// system's. Once both ports are ready it watches the system's ports; when they change, each list
// whose port's devices changed is read again. An open port is never switched away from while it
// is there: it keeps its place by its name. A port that is not open is looked for by the name
// remembered for it and, found, opened as if the user had chosen it; one whose program did not
// answer yet is opened again at the next word of the ports.
#include "RtMidiBackend.h"

#include <QObject>
#include <QString>
#include <memory>

class QAbstractButton;
class QComboBox;
class QTimer;
class TMidiIn;
class TMidiOut;

namespace vkv::backendapi {
class PortWatch;
}
namespace vkv::ports {
class MidiPort;
}

namespace vkv::app {

class Settings;

class PortFollower : public QObject {
    Q_OBJECT
public:
    // The File page's controls that the choice of a port lists in or enables.
    struct Controls {
        QComboBox *outList;
        QComboBox *inList;
        QAbstractButton *fastSend;
        QAbstractButton *send;
        QAbstractButton *request;
    };
    // The watch's word goes to `window`, the controls' owner, so that a window no longer
    // listening to its watch no longer follows either.
    PortFollower(TMidiOut &out, TMidiIn &in, const Controls &controls, Settings &settings,
                 QObject *window);
    ~PortFollower() override;

    // Takes over each port once its preparation is done, listing its devices; once both are
    // taken, follows the system's ports.
    void takeOver(ports::PortsInPreparation ports);
    // Fills a list anew: its port's devices as the lists show them (each with its whole name as
    // its tip), then "None", which is selected.
    void listOut();
    void listIn();
    // The list's selected item is chosen: the port is closed, remembered and opened on it (or
    // left closed for "None"), and the status line says how that went.
    void chooseOut();
    void chooseIn();
    // The port went away under the program: closed, "None" selected, said in red.
    void outLost();
    void inLost();
    // The system's ports changed: the lists are read again, and followed where they changed.
    void portsChanged();
    // What watches the system's ports; null until both ports are ready.
    backendapi::PortWatch *portWatch() const { return watch.get(); }

signals:
    // A line for the status line; `good` in teal, otherwise red.
    void said(const QString &text, bool good);
    // A port is about to be chosen anew: what was asked of the box through the old one ends.
    void choosing();
    // Both ports are taken over, on `backend`.
    void ready(vkv::backendapi::Backend backend);

private:
    void collect();
    void follow();
    void watchPorts();
    // Fills `list` anew from `port`: its open device stays selected; otherwise the device
    // `remembered` names, if listed, is selected and opened with `choose`.
    void follow(QComboBox *list, const ports::MidiPort &port, const QString &remembered,
                void (PortFollower::*choose)());
    void setSendEnabled(bool enabled);

    TMidiOut &out;
    TMidiIn &in;
    Controls controls;
    Settings &settings;
    QObject *window;
    ports::PortsInPreparation preparation;        // what is left of it to take over
    QTimer *collecting;                           // looks for it while any is left
    std::unique_ptr<backendapi::PortWatch> watch; // its one owner: no Qt parent
};

} // namespace vkv::app
