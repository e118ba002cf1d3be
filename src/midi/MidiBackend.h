#pragma once

#include <memory>
#include <string>
#include <vector>

class RtMidiIn;
class RtMidiOut;

// Chooses and opens the platform's MIDI service for the ports. Kept out of the port headers so
// no window ever includes RtMidi.h.
namespace vkv::midi {

enum class Backend { Auto, Alsa, Jack, None };

// The client name under which the program's ports appear in the ALSA or JACK graph.
extern const char *const ClientName;

// Result codes of an open, after the multimedia convention: 0 means success.
constexpr unsigned NoError = 0;
constexpr unsigned Error = 1;       // the back end refused the open
constexpr unsigned BadDeviceId = 2; // no such device (negative, out of range, or gone)
constexpr unsigned NoDriver = 6;    // no MIDI service at all

// Collects what the back end reports, so a refused call can be told from a good one without
// anything reaching the user or stderr. Must outlive the port it is given to.
struct ErrorSink {
    bool failed = false;
    std::string text;
    void clear() {
        failed = false;
        text.clear();
    }
};

// The ALSA sequencer when it opens, else JACK; null when neither can be created.
std::unique_ptr<RtMidiOut> createOutput(Backend wanted, Backend *chosen, ErrorSink *sink);
std::unique_ptr<RtMidiIn> createInput(Backend wanted, Backend *chosen, ErrorSink *sink);

// Ends a port object's use. JACK clients are closed but never destroyed: tearing one down while
// other clients of the process run can crash inside the JACK library, so they are kept until
// the process ends. Other back ends are destroyed at once.
void retire(std::unique_ptr<RtMidiOut> port, Backend backend);
// Keeps a JACK port object (closed or not) until the process ends, when it is closed cleanly.
void keepUntilExit(std::unique_ptr<RtMidiOut> port);
void keepUntilExit(std::unique_ptr<RtMidiIn> port);
// Closes the kept JACK clients; the program calls it as it ends (and an exit handler does, for
// those that don't). `exitCode` is the process's exit code should the JACK library fault.
void closeKeptPorts(int exitCode);
void retire(std::unique_ptr<RtMidiIn> port, Backend backend);
// The same for an input whose callback was given `callbackData`: that is kept as long as the port
// object, since a JACK port's process thread may still be inside the callback while it retires.
void retire(std::unique_ptr<RtMidiIn> port, Backend backend, std::shared_ptr<void> callbackData);

// Port names as the back end lists them now; empty on any failure.
std::vector<std::string> outputPortNames(RtMidiOut &out);
std::vector<std::string> inputPortNames(RtMidiIn &in);

// Finds the current index of a listed port: `listedIndex` when its name still matches,
// otherwise the first port of that name; -1 when it is gone.
int findPort(const std::vector<std::string> &now, int listedIndex, const std::string &name);

} // namespace vkv::midi
