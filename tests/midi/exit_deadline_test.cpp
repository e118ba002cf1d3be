#include "ExitDeadline.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace std::chrono_literals;
using vkv::threads::ExitDeadline;

// Closing the JACK clients at exit may wait for ever on libjack's own lock: the program ends all
// the same, with the code it had.
TEST(ExitDeadline, WorkThatNeverEndsEndsTheProcessWithItsCodeAndWorkInTimeDoesNot) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const ExitDeadline deadline(200ms, 7, "closing the JACK clients");
            std::mutex never;
            std::condition_variable stuck;
            std::unique_lock lock(never);
            stuck.wait(lock, [] { return false; });
        },
        testing::ExitedWithCode(7),
        "vkvela: closing the JACK clients took longer than 200 ms; ended without it");
    EXPECT_EXIT(
        {
            { const ExitDeadline deadline(200ms, 7, "closing the JACK clients"); }
            std::this_thread::sleep_for(400ms);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}
