#pragma once

#include "OwnClient.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

struct _snd_seq;
struct snd_midi_event;

namespace vkv::alsa {

// The program's own ports on the ALSA sequencer: one duplex client, with Knobs as port 0 and Motors
// as port 1 while they are offered. A thread of its own reads what is written to Motors and hands
// it to the link; Knobs is written from the owner's thread, straight to its subscribers.
class AlsaOwnClient : public backendapi::OwnClient {
public:
    // Null, said in the log, when the sequencer cannot be opened.
    static std::unique_ptr<AlsaOwnClient> make(std::shared_ptr<backendapi::OwnPortLink> link,
                                               const std::string &wanted);
    ~AlsaOwnClient() override;

    bool offer(bool on) override;
    bool send(const unsigned char *bytes, std::size_t length) override;
    bool hasReaders() override;
    std::size_t takeLoopedBack() override { return loopedBack.exchange(0); }
    std::size_t takeOverruns() override { return overruns.exchange(0); }
    void abandon() override {} // the sequencer never goes away

private:
    AlsaOwnClient(std::string name, _snd_seq *seq, std::shared_ptr<backendapi::OwnPortLink> link);
    void read();
    bool fail(const std::string &what, int code);

    _snd_seq *seq;
    std::shared_ptr<backendapi::OwnPortLink> link;
    snd_midi_event *encoder = nullptr; // the owner's thread's
    int stopFd = -1;                   // written to end the reader
    std::atomic<std::size_t> loopedBack{0};
    std::atomic<std::size_t> overruns{0};
    std::thread reader;
};

} // namespace vkv::alsa
