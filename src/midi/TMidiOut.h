#pragma once

#include "MidiBackend.h"

#include <QObject>
#include <array>
#include <memory>
#include <string>

namespace vkv::midi {
class AlsaSeqOutput;
}

// One MIDI output device of the platform. Lists the devices once at construction; reports
// nothing to the user: the result of the latest open is kept in OpenResult for the caller.
struct MidiOutCaps {
    char szPname[32]; // device name, NUL-terminated, at most 31 characters
};

// How many bytes of a short message the status byte calls for; 0 for bytes that start no
// short message (data bytes, F0, F4, F5, F7).
int shortMessageLength(unsigned char status);

class TMidiOut : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxDevs = 12;

    explicit TMidiOut(QObject *owner = nullptr,
                      vkv::midi::Backend backend = vkv::midi::Backend::Auto);
    ~TMidiOut() override;

    bool Using() const { return using_; }
    int Port() const { return port_; }
    int NumDevs() const { return numDevs_; }
    unsigned OpenResult() const { return openResult_; }
    vkv::midi::Backend backend() const { return backend_; }

    void SetUsing(bool value);
    void SetPort(int n);
    void Put(char status, char data1, char data2);
    void Reset();
    // Sends the bytes unchanged, with no F0/F7 of its own; returns when the back end has them.
    void SysEx(const char *data, int length);

    // Entries 0..NumDevs-1 are filled.
    std::array<MidiOutCaps, MaxDevs> DevCaps{};

private:
    unsigned openDevice(int n);
    unsigned openAlsa(const std::string &name);
    void closeDevice();

    std::unique_ptr<RtMidiOut> out_;                 // lists the devices; sends on JACK
    std::unique_ptr<vkv::midi::AlsaSeqOutput> alsa_; // sends on ALSA while open
    vkv::midi::ErrorSink errors_;
    vkv::midi::Backend backend_ = vkv::midi::Backend::None;
    std::array<std::string, MaxDevs> fullNames_{};
    bool using_ = false;
    bool open_ = false; // the device is really open (Using stays true after a refused open)
    int port_ = 0;
    int numDevs_ = 0;
    unsigned openResult_ = 0;
};
