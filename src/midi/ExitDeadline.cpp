#include "ExitDeadline.h"

#include "ThreadSanitizer.h"

#include <cstdio>
#include <cstdlib>

namespace vkv::midi {

// The orderings are announced too: in a process that started others, the thread sanitizer
// misses the ending thread's locks (see SeenLock).
ExitDeadline::ExitDeadline(std::chrono::milliseconds bound, int exitCode, const char *what) {
    watch = std::thread([this, bound, exitCode, what] {
        std::unique_lock lock(mutex);
        const bool inTime = metCondition.wait_for(lock, bound, [this] {
            syncAcquire(&met);
            return met;
        });
        if (inTime) {
            lock.unlock();
            syncRelease(this);
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
        std::lock_guard lock(mutex);
        met = true;
        syncRelease(&met);
    }
    metCondition.notify_one();
    watch.join();
    syncAcquire(this);
}

} // namespace vkv::midi
