#include "ExitDeadline.h"

#include <cstdio>
#include <cstdlib>

namespace vkv::midi {

ExitDeadline::ExitDeadline(std::chrono::milliseconds bound, int exitCode, const char *what) {
    watch = std::thread([this, bound, exitCode, what] {
        std::unique_lock lock(mutex);
        if (metCondition.wait_for(lock, bound, [this] { return met; }))
            return;
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
    }
    metCondition.notify_one();
    watch.join();
}

} // namespace vkv::midi
