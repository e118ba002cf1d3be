#include "MidiPort.h"

#include "HandOver.h"
#include "JackServerWatch.h"
#include "MidiLog.h"
#include "PortNames.h"

namespace vkv::ports {

using backendapi::lcMidi;
using jack::JackServerWatch;
using threads::HandOver;

MidiPort::MidiPort(QObject *owner) : QObject(owner), handOver_(new HandOver(this)) {}

MidiPort::~MidiPort() = default;

void MidiPort::SetUsing(bool value) {
    if (value && !using_) {
        closeDevice();
        openResult_ = openDevice(port_);
    } else if (!value && using_) {
        closeDevice();
    }
    using_ = value;
}

void MidiPort::SetPort(int n) {
    if (n >= numDevs_)
        return;
    if (!using_) {
        port_ = n;
        return;
    }
    closeDevice();
    port_ = n;
    openResult_ = openDevice(n);
}

void MidiPort::listFrom(const std::vector<std::string> &names) {
    numDevs_ = hasBackend() ? listDevices(names, DevCaps, listed_) : 0;
}

void MidiPort::watchService(std::unique_ptr<JackServerWatch> watch) {
    watch_ = std::move(watch);
    const unsigned client = ++clients_;
    if (watch_)
        watch_->bind(handOver_, [this, client] {
            if (client == clients_)
                serviceLost();
        });
}

void MidiPort::closeForRelease() {
    watch_.reset();
    ++clients_;
    if (using_ || open_)
        closeDevice();
    using_ = false;
}

bool MidiPort::renew() {
    watch_.reset();
    ++clients_;
    renewBackend();
    lost_ = !hasBackend() || !watch_ || !watch_->watching(); // no server yet: try at the next open
    return !lost_;
}

Result MidiPort::openDevice(int n) {
    if (lost_ && !renew())
        return Result::NoDriver;
    if (!hasBackend())
        return Result::NoDriver;
    if (n < 0 || n >= numDevs_)
        return Result::BadDeviceId;
    // The list was read earlier; find the same device again, wherever it is now.
    const int index = findPort(backendNames(), listed_[n]);
    if (index < 0) {
        qCWarning(lcMidi, "\"%s\" is gone", listed_[n].name.c_str());
        return Result::BadDeviceId;
    }
    openDevice_ = n;
    lostReason_.clear();
    const bool opened = openBackend(static_cast<unsigned>(index), listed_[n].name);
    open_ = true; // so that a close takes down whatever half opened
    if (!opened) {
        closeDevice();
        return Result::Refused;
    }
    ++openings_;
    return Result::NoError;
}

void MidiPort::serviceLost() {
    qCWarning(lcMidi, "the MIDI service of \"%s\" went away", openName().c_str());
    const unsigned opening = openings_;
    lost_ = true;
    lostReason_ = "JACK stopped!";
    deviceGoing();
    closeDevice();
    openResult_ = Result::Refused;
    raiseLost(opening);
}

void MidiPort::deviceLost(const std::string &name) {
    qCWarning(lcMidi, "\"%s\" went away", name.c_str());
    const unsigned opening = openings_;
    lostReason_ = name + " gone";
    deviceGoing();
    closeDevice();
    openResult_ = Result::Refused;
    // Raised from the event loop: the caller that found it gone is still running.
    handOver_->post([this, opening] { raiseLost(opening); });
}

void MidiPort::raiseLost(unsigned opening) {
    // Opened again since (a device back under a new address in the same re-read): the word is
    // about a device this port no longer has.
    if (opening != openings_) {
        qCInfo(lcMidi, "a device lost before the port was opened again: nothing to close");
        return;
    }
    if (OnLost) {
        auto handler = OnLost;
        handler(this);
    }
}

bool MidiPort::relist() {
    if (lost_ && !renew() && numDevs_ == 0)
        return false;
    const std::vector<std::string> names = portNames();
    int open = open_ ? openDevice_ : -1;
    std::string gone;
    if (!relistDevices(names, DevCaps, listed_, numDevs_, open, gone))
        return false;
    if (open >= 0)
        port_ = open;
    openDevice_ = open;
    if (!gone.empty())
        deviceLost(gone);
    return true;
}

std::vector<std::string> MidiPort::portNames() {
    return hasBackend() && !lost_ ? backendNames() : std::vector<std::string>{};
}

std::string MidiPort::deviceName(int n) const {
    return n >= 0 && n < numDevs_ ? listed_[n].name : std::string();
}

QStringList MidiPort::shownNames() const {
    std::vector<std::string> names;
    for (int n = 0; n < numDevs_; ++n)
        names.push_back(listed_[n].name);
    QStringList shown;
    for (const std::string &name : vkv::ports::shownNames(names))
        shown << QString::fromStdString(name);
    return shown;
}

int MidiPort::findRemembered(const std::string &name) const {
    return vkv::ports::findRemembered(listed_, numDevs_, name);
}

const std::string &MidiPort::openName() const {
    static const std::string none;
    return openDevice_ >= 0 && openDevice_ < numDevs_ ? listed_[openDevice_].name : none;
}

} // namespace vkv::ports
