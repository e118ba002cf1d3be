#pragma once

// Keeps the main window's two port lists in step with the system's ports. Once both ports are
// ready it watches the system's ports; when they change, each list whose port's devices changed
// is read again. An open port is never switched away from while it is there: it keeps its place
// by its name. A port that is not open is looked for by the name remembered for it and, found,
// opened through the window's own choice, as if the user had chosen it.
#include <QStringList>
#include <functional>
#include <memory>

class QComboBox;
class QObject;
class TMidiIn;
class TMidiOut;

namespace vkv::midi {
class MidiPort;
class PortWatch;
} // namespace vkv::midi

namespace vkv::app {

class Settings;

class PortFollower {
public:
    // `chooseOut` and `chooseIn` take the port selected in their list as a user's choice does.
    // The watch's word goes to `window`, the lists' owner, so that a window no longer listening
    // to its watch no longer follows either.
    PortFollower(TMidiOut &out, TMidiIn &in, QComboBox *outList, QComboBox *inList,
                 const Settings &settings, std::function<void()> chooseOut,
                 std::function<void()> chooseIn, QObject *window);
    ~PortFollower();

    // Fills a list anew: its port's devices as the lists show them (each with its whole name as
    // its tip), then "None", which is selected.
    void listOut();
    void listIn();
    // Both ports are ready: watches the system's ports from the first call on, and selects the
    // remembered ports, opening each as a choice would unless it is open already.
    void follow();
    // The system's ports changed: the lists are read again, and followed where they changed.
    void portsChanged();
    // What watches the system's ports; null until the first follow().
    midi::PortWatch *portWatch() const { return watch.get(); }

private:
    void watchPorts();
    void followOut();
    void followIn();
    // Fills `list` anew from `port`: its open device stays selected; otherwise the device
    // `remembered` names, if listed, is selected and opened with `choose`.
    static void follow(QComboBox *list, const midi::MidiPort &port, const QString &remembered,
                       const std::function<void()> &choose);

    TMidiOut &out;
    TMidiIn &in;
    QComboBox *outList;
    QComboBox *inList;
    const Settings &settings;
    std::function<void()> chooseOut;
    std::function<void()> chooseIn;
    QObject *window;
    std::unique_ptr<midi::PortWatch> watch; // its one owner: no Qt parent
};

} // namespace vkv::app
