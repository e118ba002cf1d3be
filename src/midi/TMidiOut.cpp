#include "TMidiOut.h"

#include "AlsaSeqOutput.h"
#include "HandOver.h"
#include "MidiLog.h"
#include "MidiMessage.h"

#include <RtMidi.h>
#include <chrono>
#include <thread>

using vkv::midi::Backend;
using vkv::midi::lcMidi;
using vkv::midi::Result;

TMidiOut::TMidiOut(QObject *owner, Backend backend)
    : TMidiOut(owner, vkv::midi::prepareOutput(backend)) {}

TMidiOut::TMidiOut(QObject *owner, vkv::midi::PreparedOutput prepared)
    : QObject(owner), handOver_(new vkv::midi::HandOver(this)) {
    adopt(std::move(prepared));
}

TMidiOut::~TMidiOut() {
    release();
}

void TMidiOut::release() {
    watch_.reset();
    if (using_)
        closeDevice();
    using_ = false;
    if (lost_ && out_)
        vkv::midi::abandon(std::move(out_));
    else
        vkv::midi::retire(std::move(out_), backend_);
    lost_ = false;
}

void TMidiOut::adopt(vkv::midi::PreparedOutput prepared) {
    release();
    numDevs_ = 0;
    if (takeOver(prepared))
        numDevs_ = vkv::midi::listDevices(prepared.names, DevCaps, listed_);
}

bool TMidiOut::takeOver(vkv::midi::PreparedOutput &prepared) {
    out_ = std::move(prepared.port);
    backend_ = prepared.backend;
    if (!out_)
        return false;
    vkv::midi::reportTo(*out_, &errors_);
    watch_ = std::move(prepared.watch);
    if (watch_)
        watch_->bind(handOver_, [this] { serviceLost(); });
    return true;
}

void TMidiOut::serviceLost() {
    qCWarning(lcMidi, "the output's MIDI service went away");
    lost_ = true;
    lostReason_ = "JACK stopped!";
    holding_ = false;
    closeDevice();
    openResult_ = Result::Refused;
    raiseLost();
}

void TMidiOut::deviceLost(std::string reason) {
    qCWarning(lcMidi, "the output \"%s\" went away", reason.c_str());
    lostReason_ = std::move(reason) + " gone";
    holding_ = false;
    closeDevice();
    openResult_ = Result::Refused;
    // Raised from the event loop: the caller of the send that found it gone is still running.
    handOver_->post([this] { raiseLost(); });
}

void TMidiOut::raiseLost() {
    if (OnLost) {
        auto handler = OnLost;
        handler(this);
    }
}

// A new client for the service that came back; the dead one is left as it is.
bool TMidiOut::renew() {
    vkv::midi::abandon(std::move(out_));
    watch_.reset();
    vkv::midi::PreparedOutput prepared = vkv::midi::prepareOutput(Backend::Jack);
    if (!takeOver(prepared))
        return false;
    lost_ = !watch_ || !watch_->watching(); // no server yet: try again at the next open
    return !lost_;
}

Result TMidiOut::openDevice(int n) {
    if (lost_ && !renew())
        return Result::NoDriver;
    if (!out_)
        return Result::NoDriver;
    if (n < 0 || n >= numDevs_)
        return Result::BadDeviceId;
    // The list was read at construction; find the same device again, wherever it is now.
    const int index = vkv::midi::findPort(vkv::midi::outputPortNames(*out_), listed_[n]);
    if (index < 0) {
        qCWarning(lcMidi, "output \"%s\" is gone", listed_[n].name.c_str());
        return Result::BadDeviceId;
    }
    openDevice_ = n;
    lostReason_.clear();
    if (backend_ == Backend::Alsa)
        return openAlsa(listed_[n].name); // the name found at `index`
    errors_.clear();
    try {
        out_->openPort(static_cast<unsigned>(index), "MIDI Out");
    } catch (const RtMidiError &e) {
        qCWarning(lcMidi, "cannot open output \"%s\": %s", listed_[n].name.c_str(),
                  e.getMessage().c_str());
        errors_.failed = true;
    }
    if (errors_.failed || !out_->isPortOpen()) {
        closeDevice();
        return Result::Refused;
    }
    open_ = true;
    // A JACK connection takes effect only at a later process cycle; messages sent before then
    // are flushed into an unconnected port and lost. Give the server a few cycles (at 1024
    // frames and 48 kHz a cycle is 21 ms).
    if (backend_ == Backend::Jack)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return Result::NoError;
}

Result TMidiOut::openAlsa(const std::string &name) {
    // RtMidi's ALSA output re-chunks SysEx pieces and loses a paced send's pacing; libasound
    // sends each piece as it is.
    alsa_ = std::make_unique<vkv::midi::AlsaSeqOutput>();
    if (!alsa_->open(name)) {
        alsa_.reset();
        return Result::Refused;
    }
    open_ = true;
    return Result::NoError;
}

void TMidiOut::closeDevice() {
    if (const std::size_t dropped = held_.clear())
        qCInfo(lcMidi, "%zu held messages dropped with the closed output", dropped);
    // A SysEx under way never gets its end now: the tap hears that it broke off.
    if (tap_ && !sysExUnderWay_.empty())
        tap_->passed(vkv::midi::MidiTap::Direction::Out, sysExUnderWay_,
                     vkv::midi::MidiTap::Piece::SysExBroken, nullptr, 0);
    sysExUnderWay_.clear();
    open_ = false;
    alsa_.reset();
    if (!out_ || lost_)
        return; // a client whose server went away has nothing to close
    try {
        out_->closePort();
    } catch (const RtMidiError &e) {
        qCWarning(lcMidi, "closing the output: %s", e.getMessage().c_str());
    }
}

bool TMidiOut::relist() {
    if (lost_ && !renew() && numDevs_ == 0)
        return false;
    const std::vector<std::string> names = portNames();
    int open = open_ ? openDevice_ : -1;
    std::string gone;
    if (!vkv::midi::relistDevices(names, DevCaps, listed_, numDevs_, open, gone))
        return false;
    if (open >= 0)
        port_ = open;
    openDevice_ = open;
    if (!gone.empty())
        deviceLost(gone);
    return true;
}

std::vector<std::string> TMidiOut::portNames() {
    return out_ && !lost_ ? vkv::midi::outputPortNames(*out_) : std::vector<std::string>{};
}

std::string TMidiOut::deviceName(int n) const {
    return n >= 0 && n < numDevs_ ? listed_[n].name : std::string();
}

void TMidiOut::SetUsing(bool value) {
    if (value && !using_)
        openResult_ = openDevice(port_);
    else if (!value && using_)
        closeDevice();
    using_ = value;
}

void TMidiOut::SetPort(int n) {
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

bool TMidiOut::Put(char status, char data1, char data2) {
    if (!using_ || !open_)
        return false;
    const unsigned char message[3] = {static_cast<unsigned char>(status),
                                      static_cast<unsigned char>(data1),
                                      static_cast<unsigned char>(data2)};
    const int length = vkv::midi::shortMessageLength(message[0]);
    if (length == 0)
        return false;
    if (!holding_)
        return send(message, static_cast<std::size_t>(length), false);
    held_.add(message, static_cast<std::size_t>(length));
    return true;
}

bool TMidiOut::send(const unsigned char *bytes, std::size_t length, bool sysEx) {
    const char *what = sysEx ? "SysEx" : "short message";
    bool sent = false;
    if (alsa_) {
        sent = sysEx ? alsa_->sendSysEx(bytes, length) : alsa_->sendShort(bytes, length);
    } else {
        errors_.clear();
        try {
            out_->sendMessage(bytes, length);
        } catch (const RtMidiError &e) {
            errors_.failed = true;
            errors_.text = e.getMessage();
        }
        // A message RtMidi could not send (its JACK buffer full) is only a warning to it.
        sent = !(errors_.failed || errors_.warned);
    }
    if (!sent)
        return sendFailed(what, length);
    if (tap_ && openDevice_ >= 0)
        tapSent(bytes, length, sysEx);
    return true;
}

void TMidiOut::tapSent(const unsigned char *bytes, std::size_t length, bool sysEx) {
    using Tap = vkv::midi::MidiTap;
    const std::string &port = listed_[openDevice_].name;
    tap_->passed(Tap::Direction::Out, port, sysEx ? Tap::Piece::SysEx : Tap::Piece::Message, bytes,
                 length);
    // A SysEx going out in pieces is under way until its F7; a status byte ends it on the wire.
    if (sysEx)
        sysExUnderWay_ = bytes[length - 1] == vkv::midi::SysExEnd ? std::string() : port;
    else if (bytes[0] < vkv::midi::FirstRealTime)
        sysExUnderWay_.clear();
}

// Logs the failure; a device found gone is lost. Always false.
bool TMidiOut::sendFailed(const char *what, std::size_t length) {
    const std::string why = alsa_ ? alsa_->errorText() : errors_.text;
    qCWarning(lcMidi, "%s of %zu bytes not sent: %s", what, length, why.c_str());
    if (alsa_ && alsa_->gone() && openDevice_ >= 0)
        deviceLost(listed_[openDevice_].name);
    return false;
}

void TMidiOut::HoldMessages(bool hold) {
    holding_ = hold;
    if (hold)
        return;
    const std::size_t replaced = held_.replaced(), dropped = held_.dropped();
    if (replaced > 0 || dropped > 0)
        qCInfo(lcMidi,
               "while held, %zu messages were replaced by newer values and %zu dropped at the "
               "cap of %zu",
               replaced, dropped, vkv::midi::HoldQueue::Cap);
    for (const auto &message : held_.take()) {
        // A send that finds the device gone closes it, and the rest have nowhere to go.
        if (!open_)
            break;
        send(message.bytes.data(), message.bytes.size(), message.sysEx);
    }
}

void TMidiOut::Reset() {
    if (!using_ || !open_)
        return;
    // All notes off and controllers reset on every channel: what a device reset amounts to.
    for (unsigned char channel = 0; channel < 16; ++channel) {
        Put(static_cast<char>(0xB0 | channel), 123, 0);
        Put(static_cast<char>(0xB0 | channel), 121, 0);
    }
}

bool TMidiOut::SysEx(const char *data, int length) {
    if (!using_ || !open_ || length <= 2 || data == nullptr)
        return false;
    return send(reinterpret_cast<const unsigned char *>(data), static_cast<std::size_t>(length),
                true);
}

bool TMidiOut::SysExMessage(const char *data, int length) {
    if (!using_ || !open_ || length <= 2 || data == nullptr)
        return false;
    if (!holding_)
        return SysEx(data, length);
    held_.add(reinterpret_cast<const unsigned char *>(data), static_cast<std::size_t>(length),
              true);
    return true;
}
