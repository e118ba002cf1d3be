#pragma once

// Tells the thread sanitizer of an ordering between threads that it cannot see for itself: one made
// inside code it does not watch (Qt's locks, a wait this compiler's sanitizer does not intercept).
// Everything before syncRelease(x) on one thread happens before everything after a later
// syncAcquire(x) on another. Nothing in builds without it.
#if defined(__SANITIZE_THREAD__)
#define VKV_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VKV_THREAD_SANITIZER 1
#endif
#endif

#include <mutex>

#ifdef VKV_THREAD_SANITIZER
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#endif

namespace vkv::threads {

inline void syncRelease([[maybe_unused]] const void *x) {
#ifdef VKV_THREAD_SANITIZER
    __tsan_release(const_cast<void *>(x));
#endif
}

inline void syncAcquire([[maybe_unused]] const void *x) {
#ifdef VKV_THREAD_SANITIZER
    __tsan_acquire(const_cast<void *>(x));
#endif
}

// A std::lock_guard whose ordering the thread sanitizer always sees. For the mutexes that the GUI
// thread shares with the back end's threads: in the tests whose JACK peers and servers are
// processes of their own, the sanitizer missed the GUI thread's locks of them (for reasons
// inside Qt or libjack that it does not watch) and took what they guard for races.
class SeenLock {
public:
    explicit SeenLock(std::mutex &m) : mutex(m) {
        mutex.lock();
        syncAcquire(&mutex);
    }
    ~SeenLock() {
        syncRelease(&mutex);
        mutex.unlock();
    }
    SeenLock(const SeenLock &) = delete;
    SeenLock &operator=(const SeenLock &) = delete;

private:
    std::mutex &mutex;
};

} // namespace vkv::threads
