#pragma once

#include "OwnClient.h"

#include <memory>
#include <string>

struct _jack_client;

namespace vkv::jack {

// The program's own ports on a JACK server: a client with Knobs, an output, and Motors, an input,
// flagged physical and terminal as a device's ports are, while they are offered. The client is
// activated before the ports are registered, so a peer that connects as soon as they are announced
// finds them ready. Knobs' messages wait in a ring buffer for the server's next cycle; what comes
// in on Motors is handed to the link from that cycle. JACK tells no port where an event came from,
// so while Knobs is connected straight to Motors everything Motors gets is dropped and counted.
//
// The client lives as long as this object, its ports or not, and is closed as the process ends
// (closing JACK clients while others of the process run has faulted inside libjack). One whose
// server went away is never closed: libjack's word that it went is kept with the client, so it
// holds however late it comes. Taking the ports away waits for the server at most a few seconds;
// a client whose server did not answer by then is given up, never closed either.
class JackOwnClient : public backendapi::OwnClient {
public:
    // Null when no server can be had, or no own name is left on it (said in the log).
    static std::unique_ptr<JackOwnClient> make(std::shared_ptr<backendapi::OwnPortLink> link,
                                               const std::string &wanted);
    ~JackOwnClient() override;

    bool offer(bool on) override;
    bool send(const unsigned char *bytes, std::size_t length) override;
    bool hasReaders() override;
    std::size_t takeLoopedBack() override;
    std::size_t takeOverruns() override { return 0; } // Motors' events are taken every cycle
    void abandon() override { dead = true; }

    struct Shared; // with libjack's threads

private:
    JackOwnClient(std::string name, _jack_client *client, std::shared_ptr<Shared> shared);
    bool fail(const std::string &what);
    // The server went away, or did not answer: nothing is asked of it any more.
    bool gone() const;

    _jack_client *client;
    std::shared_ptr<Shared> shared;
    bool dead = false;       // its server went away, by the owner's word
    bool unanswered = false; // its server did not answer as the ports were taken away
};

} // namespace vkv::jack
