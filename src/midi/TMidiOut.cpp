#include "TMidiOut.h"

#include "AlsaSeqOutput.h"

#include <RtMidi.h>
#include <chrono>
#include <cstring>
#include <thread>

using namespace vkv::midi;

int shortMessageLength(unsigned char status) {
    if (status < 0x80)
        return 0;
    if (status < 0xC0 || (status >= 0xE0 && status < 0xF0))
        return 3;
    if (status < 0xE0)
        return 2;
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    case 0xF0:
    case 0xF4:
    case 0xF5:
    case 0xF7:
        return 0;
    default: // F6, F8..FF
        return 1;
    }
}

TMidiOut::TMidiOut(QObject *owner, Backend backend) : QObject(owner) {
    out_ = createOutput(backend, &backend_, &errors_);
    if (!out_)
        return;
    const auto names = outputPortNames(*out_);
    numDevs_ = std::min<int>(static_cast<int>(names.size()), MaxDevs);
    for (int n = 0; n < numDevs_; ++n) {
        fullNames_[n] = names[n];
        std::strncpy(DevCaps[n].szPname, names[n].c_str(), sizeof DevCaps[n].szPname - 1);
    }
}

TMidiOut::~TMidiOut() {
    if (using_)
        closeDevice();
    retire(std::move(out_), backend_);
}

unsigned TMidiOut::openDevice(int n) {
    if (!out_)
        return NoDriver;
    if (n < 0 || n >= numDevs_)
        return BadDeviceId;
    // The list was read at construction; find the same device again, wherever it is now.
    const int index = findPort(outputPortNames(*out_), n, fullNames_[n]);
    if (index < 0)
        return BadDeviceId;
    if (backend_ == Backend::Alsa)
        return openAlsa(fullNames_[n]); // the name found at `index`
    errors_.clear();
    try {
        out_->openPort(static_cast<unsigned>(index), "MIDI Out");
    } catch (const RtMidiError &) {
        errors_.failed = true;
    }
    if (errors_.failed || !out_->isPortOpen()) {
        closeDevice();
        return Error;
    }
    open_ = true;
    // A JACK connection takes effect only at a later process cycle; messages sent before then
    // are flushed into an unconnected port and lost. Give the server a few cycles (at 1024
    // frames and 48 kHz a cycle is 21 ms).
    if (backend_ == Backend::Jack)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return NoError;
}

unsigned TMidiOut::openAlsa(const std::string &name) {
    // RtMidi's ALSA output re-chunks SysEx pieces and loses a paced send's pacing; libasound
    // sends each piece as it is.
    alsa_ = std::make_unique<AlsaSeqOutput>();
    if (!alsa_->open(name)) {
        alsa_.reset();
        return Error;
    }
    open_ = true;
    return NoError;
}

void TMidiOut::closeDevice() {
    open_ = false;
    alsa_.reset();
    if (!out_)
        return;
    try {
        out_->closePort();
    } catch (const RtMidiError &) {
    }
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

void TMidiOut::Put(char status, char data1, char data2) {
    if (!using_ || !open_)
        return;
    const unsigned char message[3] = {static_cast<unsigned char>(status),
                                      static_cast<unsigned char>(data1),
                                      static_cast<unsigned char>(data2)};
    const int length = shortMessageLength(message[0]);
    if (length == 0)
        return;
    if (alsa_) {
        alsa_->sendShort(message, static_cast<std::size_t>(length));
        return;
    }
    try {
        out_->sendMessage(message, static_cast<std::size_t>(length));
    } catch (const RtMidiError &) {
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

void TMidiOut::SysEx(const char *data, int length) {
    if (!using_ || !open_ || length <= 2 || data == nullptr)
        return;
    if (alsa_) {
        alsa_->sendSysEx(reinterpret_cast<const unsigned char *>(data),
                         static_cast<std::size_t>(length));
        return;
    }
    try {
        out_->sendMessage(reinterpret_cast<const unsigned char *>(data),
                          static_cast<std::size_t>(length));
    } catch (const RtMidiError &) {
    }
}
