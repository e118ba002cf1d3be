#pragma once

#include "Backend.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vkv::backendapi {

class OwnPortLink;

// The client of one back end that offers the program's own ports (see OwnPorts): made under the
// first own client name that no other client has (the one asked for first, so that ports that come
// back keep their name), and kept as long as it lives, whether its ports are offered or not: a name
// given up could be taken meanwhile. Its two ports are set up as a hardware device's are (MIDI
// generic, each subscribable by others), so that programs listing only such ports offer them:
// - Knobs (port 0 on ALSA), which others read: what send() is given, as it is given.
// - Motors (port 1 on ALSA), which others write: what comes is handed to the link as it came, but
//   for what comes straight from Knobs itself (a patchbay loop that would echo without end), which
//   is dropped and counted.
// The back end's threads talk to the owner only through the link.
class OwnClient {
public:
    static constexpr const char *KnobsPort = "Knobs";
    static constexpr const char *MotorsPort = "Motors";

    virtual ~OwnClient() = default;
    OwnClient(const OwnClient &) = delete;
    OwnClient &operator=(const OwnClient &) = delete;

    // A client on `backend` (Alsa or Jack) with its ports offered, named `wanted` when no other
    // client has that name (or "" for the first free own name). Null, said in the log, when the
    // back end cannot be had. May take a while on JACK (a round trip and a cycle of the server):
    // call it on a thread of its own.
    static std::unique_ptr<OwnClient> make(Backend backend, std::shared_ptr<OwnPortLink> link,
                                           const std::string &wanted);

    const std::string &name() const { return name_; }
    Backend backend() const { return backend_; }
    // Offers the two ports, or takes them away at once; true when they are as asked.
    virtual bool offer(bool on) = 0;
    bool offered() const { return offered_; }
    // One whole message to Knobs' readers. False, with error() set, when it could not go there.
    virtual bool send(const unsigned char *bytes, std::size_t length) = 0;
    const std::string &error() const { return error_; }
    // Someone reads Knobs now: what is sent goes somewhere.
    virtual bool hasReaders() = 0;
    // Messages written to Motors straight from Knobs, dropped; messages lost because Motors'
    // queue overran. Since the last call; any thread.
    virtual std::size_t takeLoopedBack() = 0;
    virtual std::size_t takeOverruns() = 0;
    // The back end went away under the client (on the link's word): nothing is closed, ever.
    virtual void abandon() = 0;

protected:
    OwnClient(Backend backend, std::string name) : backend_(backend), name_(std::move(name)) {}
    // The names to try in turn: `wanted`, then the own client names of instances 1 to MaxInstances.
    static std::vector<std::string> candidateNames(const std::string &wanted);
    static constexpr int MaxInstances = 16;

    Backend backend_;
    std::string name_;
    std::string error_;
    bool offered_ = false;
};

} // namespace vkv::backendapi
