#include "BoundedCall.h"

#include "MidiLog.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace vkv::backendapi {

bool BoundedCall::run(std::chrono::milliseconds bound, const char *what,
                      std::function<void()> call) {
    // `done` is atomic: this compiler's thread sanitizer does not see the waiting thread take the
    // mutex again inside the condition variable's timed wait.
    struct Ending {
        std::mutex mutex;
        std::condition_variable ended;
        std::atomic<bool> done{false};
    };
    auto ending = std::make_shared<Ending>();
    std::thread worker([ending, call = std::move(call)] {
        call();
        {
            const std::lock_guard lock(ending->mutex);
            ending->done = true;
        }
        ending->ended.notify_all();
    });
    bool inTime = false;
    {
        std::unique_lock lock(ending->mutex);
        inTime = ending->ended.wait_for(lock, bound, [&] { return ending->done.load(); });
    }
    if (inTime) {
        worker.join();
        return true;
    }
    worker.detach();
    qCWarning(lcMidi, "%s took longer than %lld ms; left to end on its own", what,
              static_cast<long long>(bound.count()));
    return false;
}

} // namespace vkv::backendapi
