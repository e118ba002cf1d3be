#pragma once

#include <atomic>
#include <memory>

class RtMidiIn;
class RtMidiOut;
struct _jack_client; // libjack's jack_client_t

// The program's JACK clients, kept until the process ends and closed together then, inputs first.
// Why:
// - Destroying an RtMidi JACK port object while other JACK clients of the same process run
//   crashed inside libjack (in RtMidi's process callback) about one run in ten here.
// - Simply leaving the clients open at exit instead made the server stall every new client
//   (the next test's, the next start's) for one to two seconds until it noticed the dead ones.
// A client whose JACK server went away is never closed: closing it faults inside libjack.
namespace vkv::jack {

// Keeps a JACK port object (closed or not) until the process ends, when it is closed cleanly.
void keepUntilExit(std::unique_ptr<RtMidiOut> port);
void keepUntilExit(std::unique_ptr<RtMidiIn> port);
// Keeps the port object of a client whose JACK server went away, untouched, until the process
// ends: closing its port would wait a second for a process thread that no longer runs, and there
// is nothing left to close.
void abandon(std::unique_ptr<RtMidiOut> port);
void abandon(std::unique_ptr<RtMidiIn> port, std::shared_ptr<void> callbackData);
// Keeps the data an input's callback was given as long as the port object, kept here: a JACK
// port's process thread may still be inside the callback while it retires.
void keepCallbackData(std::shared_ptr<void> callbackData);
// Closes the kept JACK clients; the program calls it as it ends (and an exit handler does, for
// those that don't). Even then libjack now and then faults on one of its own threads while the
// clients go; the process is ending and the user's data is safe by then, so such a fault ends it
// quietly with `exitCode` instead of a crash report, and so does a close that waits longer than
// three seconds on libjack's own lock.
void closeKeptPorts(int exitCode);

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

// A JACK server went away (on libjack's thread): a port object kept before now may belong to it.
void countServerLoss();

} // namespace vkv::jack
