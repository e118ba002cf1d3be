#include "ExitDeadline.h"

#include "ThreadSanitizer.h"

#include <cstdio>
#include <cstdlib>

namespace vkv::threads {

// The ending thread takes the mutex as a SeenLock: in a process that started others, the thread
// sanitizer misses that thread's locks. This side announces its own holds of it alike.
ExitDeadline::ExitDeadline(std::chrono::milliseconds bound, int exitCode, const char *what) {
    watch = std::thread([this, bound, exitCode, what] {
        std::unique_lock lock(mutex);
        const bool inTime = metCondition.wait_for(lock, bound, [this] {
            syncAcquire(&mutex);
            return met;
        });
        if (inTime) {
            syncRelease(&mutex); // ordered before the ending thread destroys what it used
            return;
        }
        std::fprintf(stderr, "vkvela: %s took longer than %lld ms; ended without it\n", what,
                     static_cast<long long>(bound.count()));
        std::fflush(nullptr);
        std::_Exit(exitCode);
    });
}

ExitDeadline::~ExitDeadline() {
    {
        const SeenLock lock(mutex);
        met = true;
    }
    metCondition.notify_one();
    watch.join();
    syncAcquire(&mutex);
}

} // namespace vkv::threads
