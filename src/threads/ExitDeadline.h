#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vkv::threads {

// Bounds what an ending process still does: unless it is destroyed within `bound`, the process
// ends with `exitCode` after saying so on standard error. For work at exit that may wait for ever
// on another library's lock; the process is ending anyway, and nobody waits for a program that
// does not quit.
class ExitDeadline {
public:
    ExitDeadline(std::chrono::milliseconds bound, int exitCode, const char *what);
    ~ExitDeadline();
    ExitDeadline(const ExitDeadline &) = delete;
    ExitDeadline &operator=(const ExitDeadline &) = delete;

private:
    std::mutex mutex;
    std::condition_variable metCondition;
    bool met = false;
    std::thread watch;
};

} // namespace vkv::threads
