#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace vkv::threads {
class HandOver;
}

namespace vkv::backendapi {

// What the threads of the program's own ports' back end (the ALSA client's reader, JACK's process
// and notification threads) hand to the thread of the ports' owner (the GUI thread): the messages
// written to Motors, each as it came, and the word that the back end went away. A burst of
// messages is handed over in one go: the owner is asked once to take what came, however much
// comes before it does. Past MaxPending bytes waiting, new messages are dropped and counted: an
// owner that stalls costs memory only up to there.
//
// Shared by the owner and the back end's threads, it outlives the owner while a back end may still
// call it: once unbound, what comes goes nowhere.
class OwnPortLink {
public:
    static constexpr std::size_t MaxPending = 1 << 20;

    // The messages that came since the last take, in order, each `sizes[i]` bytes of `bytes`.
    struct Taken {
        std::vector<unsigned char> bytes;
        std::vector<std::size_t> sizes;
        std::size_t dropped = 0; // messages that found no room
    };

    // Any thread. One message (or one piece of a SysEx message) written to Motors.
    void deliver(const unsigned char *bytes, std::size_t size);
    // Any thread. The back end went away under the ports (the JACK server stopped).
    void lost();

    // The owner's thread: `taken` runs there when messages wait, `gone` when the back end went.
    void bind(threads::HandOver *handOver, std::function<void()> taken, std::function<void()> gone);
    void unbind();
    Taken take();

private:
    std::mutex mutex;
    threads::HandOver *handOver = nullptr; // null while unbound
    std::function<void()> taken, gone;
    Taken pending;
    std::size_t pendingBytes = 0;
    bool posted = false; // the owner has been asked to take what waits
};

} // namespace vkv::backendapi
