#pragma once

#include "DeviceList.h"
#include "MidiTap.h"
#include "RtMidiBackend.h"

#include <QObject>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vkv::threads {
class HandOver;
}

namespace vkv::ports {

// The result of a port's latest open, after the multimedia convention: 0 means success.
enum class Result : unsigned {
    NoError = 0,
    Refused = 1,     // the back end refused the open
    BadDeviceId = 2, // no such device (negative, out of range, or gone)
    NoDriver = 6,    // no MIDI service at all
};

// What an input and an output port share: the list of the platform's devices, which device is
// chosen and whether it is open, the result of the latest open, and what happens when the device
// or the MIDI service under it goes away. The derived port brings its back end: how it lists, opens
// and closes a device, and how it makes a new client once a lost service is back.
//
// Reports nothing to the user: the result of the latest open is kept in OpenResult, and what the
// back end says is logged under "vkv.midi".
class MidiPort : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxDevs = vkv::ports::MaxDevs;

    ~MidiPort() override;

    bool Using() const { return using_; }
    int Port() const { return port_; }
    int NumDevs() const { return numDevs_; }
    Result OpenResult() const { return openResult_; }
    backendapi::Backend backend() const { return backend_; }

    // Opens device Port (or closes it); OpenResult says how the open went. Using stays true after
    // a refused open, as the port was asked for.
    void SetUsing(bool value);
    // Records the device number; while in use, the device is opened there at once.
    void SetPort(int n);

    // Reads the device list again (ports come and go while the program runs); true when it
    // changed. The open device keeps its place by its name, and Port() follows it; one that has
    // gone is lost: closed now, OnLost raised from the event loop. After a lost service it tries
    // the service anew first.
    bool relist();
    // The listed device's whole name, as the back end names it; empty out of range.
    std::string deviceName(int n) const;
    // The listed devices as a list shows them (see vkv::ports::shownNames).
    QStringList shownNames() const;
    // The listed device a remembered whole name means now (see vkv::ports::findRemembered); -1
    // when none does.
    int findRemembered(const std::string &name) const;
    // Every port the back end has now, unlisted ones too; empty without one.
    std::vector<std::string> portNames();
    // Whether the device is really open (Using stays true after a refused open).
    bool isOpen() const { return open_; }
    // Counts the opens that succeeded: a word about an earlier opening is none of a later one's.
    unsigned openings() const { return openings_; }
    // The latest open found the device listed but its program not taking connections yet (a JACK
    // program that registers its ports before it activates). Opening it again may work once the
    // program announces its ports, which it does as it becomes active.
    bool deviceNotAnswering() const { return notAnswering_ && !open_; }

    // The port went away under the program: the MIDI service (the JACK server stopped), or the
    // device itself. The port is closed at once; OnLost is raised from the event loop, never from
    // inside a call that found it gone, and never once the port has been opened again since. After
    // a lost service the next open makes its client anew, so it works again once the service is
    // back.
    std::function<void(QObject *Sender)> OnLost;
    bool lost() const { return lost_; }
    // Why the port was lost since it was last opened ("JACK stopped!", "<name> gone"); empty
    // while it was not.
    const std::string &lostReason() const { return lostReason_; }

    // Reports what passes the port to `tap`; nullptr for none. The tap must outlive its use here:
    // whoever goes first sets it back to nullptr.
    void setTap(midi::MidiTap *tap) { tap_ = tap; }

    // Entries 0..NumDevs-1 are filled.
    std::array<DeviceCaps, MaxDevs> DevCaps{};

protected:
    explicit MidiPort(QObject *owner);

    // The back end's port names now; only called while it has a live client.
    virtual std::vector<std::string> backendNames() = 0;
    virtual bool hasBackend() const = 0;
    // Opens the back end's port `index`, listed as `name`; true when it is open.
    virtual bool openBackend(unsigned index, const std::string &name) = 0;
    // Closes the device, if open, and forgets what belongs to it.
    virtual void closeDevice() = 0;
    // Lets the client that lost its service go and makes a new one (with its server watch).
    virtual void renewBackend() = 0;
    // The device or its service went away: just before it is closed.
    virtual void deviceGoing() {}

    // Lists the devices `names` anew, closing nothing.
    void listFrom(const std::vector<std::string> &names);
    // Keeps `watch` and has it tell serviceLost() when the JACK server goes.
    void watchService(std::unique_ptr<jack::JackServerWatch> watch);
    // Closes the device and drops the server watch; the derived port then lets its client go.
    void closeForRelease();
    // Opens listed device `n`, found again by name wherever the back end has it now.
    Result openDevice(int n);
    void serviceLost();
    void deviceLost(const std::string &name);
    // The name of the listed device that is open; empty when none is.
    const std::string &openName() const;

    threads::HandOver *handOver_;
    midi::MidiTap *tap_ = nullptr;
    std::unique_ptr<jack::JackServerWatch> watch_;
    backendapi::Backend backend_ = backendapi::Backend::None;
    std::array<ListedDevice, MaxDevs> listed_{};
    bool using_ = false;
    bool open_ = false; // the device is really open
    bool lost_ = false;
    bool notAnswering_ = false; // set by the derived port's open
    std::string lostReason_;
    int openDevice_ = -1; // the listed device that is open
    int port_ = 0;
    int numDevs_ = 0;
    unsigned openings_ = 0;
    Result openResult_ = Result::NoError;

private:
    bool renew();
    void raiseLost(unsigned opening);

    unsigned clients_ = 0; // counts the server watches kept: a dead client's word is no news
};

} // namespace vkv::ports
