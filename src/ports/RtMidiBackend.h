#pragma once

#include "Backend.h"

#include <future>
#include <memory>
#include <string>
#include <vector>

class RtMidiIn;
class RtMidiOut;

namespace vkv::jack {
class JackServerWatch;
}

// Chooses and opens the platform's MIDI service for the ports, through RtMidi. Kept out of the
// port headers so no window ever includes RtMidi.h.
namespace vkv::ports {

// Collects what the back end reports, so a refused call can be told from a good one; the report is
// logged under "vkv.midi" rather than printed. Must outlive the port it is given to.
struct ErrorSink {
    bool failed = false;
    bool warned = false; // RtMidi says a message it did not send is only a warning
    std::string text;
    void clear() {
        failed = warned = false;
        text.clear();
    }
};

// The ALSA sequencer when it opens, else JACK; null when neither can be created.
std::unique_ptr<RtMidiOut> createOutput(backendapi::Backend wanted, backendapi::Backend *chosen,
                                        ErrorSink *sink);
std::unique_ptr<RtMidiIn> createInput(backendapi::Backend wanted, backendapi::Backend *chosen,
                                      ErrorSink *sink);
// Points what a port reports at another sink, which must outlive the port.
void reportTo(RtMidiOut &port, ErrorSink *sink);
void reportTo(RtMidiIn &port, ErrorSink *sink);

// A port's back end made and its devices listed, ready for a port component to take over. Making
// one may take a while (a JACK client is a round trip to the server), and it needs no GUI thread:
// the main window has both of its ports' made this way while it shows.
struct PreparedOutput {
    std::unique_ptr<RtMidiOut> port; // null when no service opened
    backendapi::Backend backend = backendapi::Backend::None;
    std::vector<std::string> names;
    std::unique_ptr<ErrorSink> errors; // what the port reports until its owner takes it over
    std::unique_ptr<jack::JackServerWatch> watch; // on JACK: watching the server, not yet bound
    PreparedOutput();
    PreparedOutput(PreparedOutput &&) noexcept;
    PreparedOutput &operator=(PreparedOutput &&) noexcept;
    ~PreparedOutput();
};
struct PreparedInput {
    std::unique_ptr<RtMidiIn> port;
    backendapi::Backend backend = backendapi::Backend::None;
    std::vector<std::string> names;
    std::unique_ptr<ErrorSink> errors;
    std::unique_ptr<jack::JackServerWatch> watch;
    PreparedInput();
    PreparedInput(PreparedInput &&) noexcept;
    PreparedInput &operator=(PreparedInput &&) noexcept;
    ~PreparedInput();
};
PreparedOutput prepareOutput(backendapi::Backend wanted);
PreparedInput prepareInput(backendapi::Backend wanted);

// A window's two ports in preparation, each on a thread of its own, so that their JACK round
// trips overlap each other and hold up no GUI thread.
struct PortsInPreparation {
    std::future<PreparedOutput> output;
    std::future<PreparedInput> input;
};
PortsInPreparation prepareBoth(backendapi::Backend wanted);

// Ends a port object's use. JACK clients are closed but never destroyed until the process ends
// (see jack::keepUntilExit); other back ends are destroyed at once.
void retire(std::unique_ptr<RtMidiOut> port, backendapi::Backend backend);
void retire(std::unique_ptr<RtMidiIn> port, backendapi::Backend backend);
// The same for an input whose callback was given `callbackData`: that is kept as long as the port
// object, since a JACK port's process thread may still be inside the callback while it retires.
void retire(std::unique_ptr<RtMidiIn> port, backendapi::Backend backend,
            std::shared_ptr<void> callbackData);

// Port names as the back end lists them now; empty on any failure.
std::vector<std::string> outputPortNames(RtMidiOut &out);
std::vector<std::string> inputPortNames(RtMidiIn &in);

} // namespace vkv::ports
