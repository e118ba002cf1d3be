#pragma once

#include <chrono>
#include <functional>

namespace vkv::backendapi {

// Gives a call that may wait for ever on another library (libjack, on a JACK server that does not
// answer or a thread of its own that never ends) a bound: the call runs on a thread of its own
// while the caller waits at most that long. Past it the caller goes on, the log says so ("<what>
// took longer than N ms"), and the call is left to end on its own: it must own, or share, all it
// touches. For what the program does as it ends or gives a client up, where nobody should wait
// for a library that hangs.
class BoundedCall {
public:
    // True when `call` ended within `bound`.
    static bool run(std::chrono::milliseconds bound, const char *what, std::function<void()> call);
};

} // namespace vkv::backendapi
