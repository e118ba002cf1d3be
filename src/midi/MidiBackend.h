#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

class RtMidiIn;
class RtMidiOut;
struct _jack_client; // libjack's jack_client_t

// Chooses and opens the platform's MIDI service for the ports. Kept out of the port headers so
// no window ever includes RtMidi.h.
namespace vkv::midi {

enum class Backend { Auto, Alsa, Jack, None };

// The client that offers the program's own ports (see OwnPorts), as a device's name: never a
// setting's, never numbered by the back end. A second instance of the program offers "<ClientName>
// 2", a third "<ClientName> 3" (ownClientName). The program's other clients have names of their
// own, none of them starting with this one: "Virtual Korvane Vela" is always this one client, and
// aconnect or jack_connect find it by that name.
extern const char *const ClientName;
// The clients through which the MIDI OUT and MIDI IN ports reach the box, and the one that watches
// the system's ports and the JACK server.
extern const char *const OutClientName;
extern const char *const InClientName;
extern const char *const WatchClientName;
// The name instance `instance` (from 1) of the program offers its own ports under.
std::string ownClientName(int instance);

// The result of a port's latest open, after the multimedia convention: 0 means success.
enum class Result : unsigned {
    NoError = 0,
    Refused = 1,     // the back end refused the open
    BadDeviceId = 2, // no such device (negative, out of range, or gone)
    NoDriver = 6,    // no MIDI service at all
};

// One listed device, as the port components publish it.
struct DeviceCaps {
    char szPname[32]; // device name, NUL-terminated, at most 31 characters
};
constexpr int MaxDevs = 12; // devices beyond the twelfth are never listed

// A listed device as the back end named and numbered it, to find it again at open time.
struct ListedDevice {
    std::string name;
    int index = -1;
};

// Whether a port ("client:port") belongs to the program, this instance or another: offering it
// would let the user connect the program to itself, and a motorized knob's echo would then come
// back in without end. JACK names a second client of a name in use "<name>-01".
bool isOwnPort(const std::string &portName);

// Lists the back end's ports `names` as a port component publishes them: other programs' ports
// only, at most MaxDevs, their names cut to 31 characters in `caps` and kept whole in `listed`.
// Returns how many were listed.
int listDevices(const std::vector<std::string> &names, std::array<DeviceCaps, MaxDevs> &caps,
                std::array<ListedDevice, MaxDevs> &listed);

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
std::unique_ptr<RtMidiOut> createOutput(Backend wanted, Backend *chosen, ErrorSink *sink);
std::unique_ptr<RtMidiIn> createInput(Backend wanted, Backend *chosen, ErrorSink *sink);
// Points what a port reports at another sink, which must outlive the port.
void reportTo(RtMidiOut &port, ErrorSink *sink);
void reportTo(RtMidiIn &port, ErrorSink *sink);

class JackServerWatch;

// A port's back end made and its devices listed, ready for a port component to take over. Making
// one may take a while (a JACK client is a round trip to the server), and it needs no GUI thread:
// the main window has both of its ports' made this way while it shows.
struct PreparedOutput {
    std::unique_ptr<RtMidiOut> port; // null when no service opened
    Backend backend = Backend::None;
    std::vector<std::string> names;
    std::unique_ptr<ErrorSink> errors;      // what the port reports until its owner takes it over
    std::unique_ptr<JackServerWatch> watch; // on JACK: watching the server, not yet bound
    PreparedOutput();
    PreparedOutput(PreparedOutput &&) noexcept;
    PreparedOutput &operator=(PreparedOutput &&) noexcept;
    ~PreparedOutput();
};
struct PreparedInput {
    std::unique_ptr<RtMidiIn> port;
    Backend backend = Backend::None;
    std::vector<std::string> names;
    std::unique_ptr<ErrorSink> errors;
    std::unique_ptr<JackServerWatch> watch;
    PreparedInput();
    PreparedInput(PreparedInput &&) noexcept;
    PreparedInput &operator=(PreparedInput &&) noexcept;
    ~PreparedInput();
};
PreparedOutput prepareOutput(Backend wanted);
PreparedInput prepareInput(Backend wanted);

// A window's two ports in preparation, each on a thread of its own, so that their JACK round
// trips overlap each other and hold up no GUI thread.
struct PortsInPreparation {
    std::future<PreparedOutput> output;
    std::future<PreparedInput> input;
};
PortsInPreparation prepareBoth(Backend wanted);

// Ends a port object's use. JACK clients are closed but never destroyed until the process ends;
// other back ends are destroyed at once. Why:
// - Destroying an RtMidi JACK port object while other JACK clients of the same process run
//   crashed inside libjack (in RtMidi's process callback) about one run in ten here.
// - Simply leaving the clients open at exit instead made the server stall every new client
//   (the next test's, the next start's) for one to two seconds until it noticed the dead ones.
// So they are kept, and closed together, inputs first, when the process ends.
void retire(std::unique_ptr<RtMidiOut> port, Backend backend);
void retire(std::unique_ptr<RtMidiIn> port, Backend backend);
// Keeps a JACK port object (closed or not) until the process ends, when it is closed cleanly.
void keepUntilExit(std::unique_ptr<RtMidiOut> port);
void keepUntilExit(std::unique_ptr<RtMidiIn> port);
// Keeps the port object of a client whose JACK server went away, untouched, until the process
// ends: closing its port would wait a second for a process thread that no longer runs, and there
// is nothing left to close.
void abandon(std::unique_ptr<RtMidiOut> port);
void abandon(std::unique_ptr<RtMidiIn> port, std::shared_ptr<void> callbackData);
// Closes the kept JACK clients; the program calls it as it ends (and an exit handler does, for
// those that don't). Even then libjack now and then faults on one of its own threads while the
// clients go; the process is ending and the user's data is safe by then, so such a fault ends it
// quietly with `exitCode` instead of a crash report, and so does a close that waits longer than
// three seconds on libjack's own lock.
void closeKeptPorts(int exitCode);
// The same for an input whose callback was given `callbackData`: that is kept as long as the port
// object, since a JACK port's process thread may still be inside the callback while it retires.
void retire(std::unique_ptr<RtMidiIn> port, Backend backend, std::shared_ptr<void> callbackData);

class HandOver;

// Tells when the JACK server goes away under the program's JACK clients: RtMidi says nothing, its
// clients then stay dead, and a port must be created anew once a server is back. Watches the
// server that libjack would connect to now, through a client with no ports that all watches of
// the process share; `lost` runs through `handOver` (on its thread) once, when that server stops.
// Inactive (watching() false) when no server could be reached.
class JackServerWatch {
public:
    // Watching from now on, on any thread; what to do when the server goes is bound later, on the
    // thread of `handOver`. A server that went away before that is raised at the bind.
    JackServerWatch();
    void bind(HandOver *handOver, std::function<void()> lost);
    ~JackServerWatch(); // nothing is raised after this; the client is closed as the program ends
    JackServerWatch(const JackServerWatch &) = delete;
    JackServerWatch &operator=(const JackServerWatch &) = delete;
    bool watching() const { return state != nullptr; }

    struct State; // shared with libjack's thread

private:
    std::shared_ptr<State> state;
};

// The client of the program's own that watches the JACK server libjack connects to now, made
// when there is none: for asking that server what no port object asks (its ports, connections).
// Kept until the process ends; null when no server can be reached.
_jack_client *jackWatchClient();

// Port names as the back end lists them now; empty on any failure.
std::vector<std::string> outputPortNames(RtMidiOut &out);
std::vector<std::string> inputPortNames(RtMidiIn &in);

// Finds the current index of a listed port among the back end's ports `now`: its index when it
// was listed if the name there still matches, otherwise the first port of that name; -1 when
// it is gone.
int findPort(const std::vector<std::string> &now, const ListedDevice &listed);

// Lists a port component's devices again from the back end's ports `names`, as listDevices does;
// false, changing nothing, when the list is the one it had. `open` is the open device's number (or
// -1) and becomes its new one; when it is gone, -1, with its name in `gone`.
bool relistDevices(const std::vector<std::string> &names, std::array<DeviceCaps, MaxDevs> &caps,
                   std::array<ListedDevice, MaxDevs> &listed, int &count, int &open,
                   std::string &gone);

// Set from a JACK client's shutdown callback, on libjack's thread, as its server goes away.
using ServerGone = std::shared_ptr<const std::atomic<bool>>;

// Keeps a JACK client of the program's own (one that watches the server, or offers ports), and the
// data its callbacks are given, until the process ends, when it is closed with the kept ports:
// unless `serverGone` was set by then (or, without one, a JACK server went away since it was
// kept). Closing a client whose server went away, libjack tries to reach the server and has
// faulted.
void keepUntilExit(_jack_client *client, std::shared_ptr<void> callbackData,
                   ServerGone serverGone = nullptr);
// The same for a client whose server went away: never closed, as there is nothing left to close,
// and its data kept for libjack's threads of it.
void abandon(_jack_client *client, std::shared_ptr<void> callbackData);

} // namespace vkv::midi
