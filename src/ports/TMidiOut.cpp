#include "TMidiOut.h"

#include "AlsaSeqOutput.h"
#include "HandOver.h"
#include "JackKeptClients.h"
#include "JackOpenCheck.h"
#include "JackServerWatch.h"
#include "MidiLog.h"
#include "MidiMessage.h"

#include <RtMidi.h>
#include <chrono>
#include <optional>
#include <thread>

using vkv::backendapi::Backend;
using vkv::backendapi::lcMidi;
using vkv::ports::Result;

namespace {

constexpr const char *PortName = "MIDI Out"; // "<client>:MIDI Out" in the JACK graph

} // namespace

TMidiOut::TMidiOut(QObject *owner, Backend backend)
    : TMidiOut(owner, vkv::ports::prepareOutput(backend)) {}

TMidiOut::TMidiOut(QObject *owner, vkv::ports::PreparedOutput prepared) : MidiPort(owner) {
    adopt(std::move(prepared));
}

TMidiOut::~TMidiOut() {
    release();
}

void TMidiOut::release() {
    closeForRelease();
    if (lost_ && out_)
        vkv::jack::abandon(std::move(out_));
    else
        vkv::ports::retire(std::move(out_), backend_);
    lost_ = false;
}

void TMidiOut::adopt(vkv::ports::PreparedOutput prepared) {
    release();
    takeOver(prepared);
    listFrom(prepared.names);
}

void TMidiOut::takeOver(vkv::ports::PreparedOutput &prepared) {
    out_ = std::move(prepared.port);
    backend_ = prepared.backend;
    if (!out_)
        return;
    vkv::ports::reportTo(*out_, &errors_);
    watchService(std::move(prepared.watch));
}

// A new client for the service that came back; the dead one is left as it is.
void TMidiOut::renewBackend() {
    vkv::jack::abandon(std::move(out_));
    vkv::ports::PreparedOutput prepared = vkv::ports::prepareOutput(Backend::Jack);
    takeOver(prepared);
}

bool TMidiOut::openBackend(unsigned index, const std::string &name) {
    if (backend_ == Backend::Alsa) {
        // RtMidi's ALSA output re-chunks SysEx pieces and loses a paced send's pacing; libasound
        // sends each piece as it is. The name is the one found at `index`.
        alsa_ = std::make_unique<vkv::alsa::AlsaSeqOutput>();
        if (alsa_->open(name))
            return true;
        alsa_.reset();
        return false;
    }
    errors_.clear();
    notAnswering_ = false;
    std::optional<vkv::jack::JackOpenCheck> check;
    if (backend_ == Backend::Jack)
        check.emplace(vkv::backendapi::OutClientName, PortName, true);
    try {
        out_->openPort(index, PortName);
    } catch (const RtMidiError &e) {
        qCWarning(lcMidi, "cannot open output \"%s\": %s", name.c_str(), e.getMessage().c_str());
        errors_.failed = true;
    }
    if (errors_.failed || !out_->isPortOpen())
        return false;
    if (!check)
        return true;
    if (!check->connected(name, vkv::jack::JackOpenCheck::Wait)) {
        notAnswering_ = true;
        return false;
    }
    // A JACK connection takes effect only at a later process cycle; messages sent before then
    // are flushed into an unconnected port and lost. Give the server a few cycles (at 1024
    // frames and 48 kHz a cycle is 21 ms).
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return true;
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

std::vector<std::string> TMidiOut::backendNames() {
    return vkv::ports::outputPortNames(*out_);
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
    if (tap_ && !openName().empty())
        tapSent(bytes, length, sysEx);
    return true;
}

void TMidiOut::tapSent(const unsigned char *bytes, std::size_t length, bool sysEx) {
    using Tap = vkv::midi::MidiTap;
    const std::string &port = openName();
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
    if (alsa_ && alsa_->gone() && !openName().empty())
        deviceLost(openName());
    return false;
}

void TMidiOut::HoldMessages(bool hold) {
    holding_ = hold;
    if (hold) {
        released_.clear();
        if (OnHoldMessages)
            OnHoldMessages(true);
        return;
    }
    if (const std::string summary = held_.summary(); !summary.empty())
        qCInfo(lcMidi, "%s", summary.c_str());
    for (auto &message : held_.take()) {
        // A send that finds the device gone closes it, and the rest have nowhere to go.
        const bool sent = open_ && send(message.bytes.data(), message.bytes.size(), message.sysEx);
        if (message.sysEx)
            released_.push_back({std::move(message.bytes), sent});
    }
    if (OnHoldMessages)
        OnHoldMessages(false);
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
