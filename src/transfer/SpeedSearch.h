#pragma once

#include <limits>
#include <map>
#include <set>
#include <vector>

namespace vkv::transfer {

// Finds the fastest speed a box takes the configuration at without overrunning its input buffer,
// as a series of tries: each sends a dump and then verifies it (asks the box what it holds and
// compares). The owner makes the try speed() names, with the dump sendsConfiguration() names, and
// tells tried() how it went; no ports or timers here.
//
// The tries that measure send test copies (TestCopies), each unlike what the box held before it,
// so that a verify passes only when that very send landed: a box that keeps what it held when a
// dump comes incomplete never passes a try with an earlier send's bytes. The search ends by
// sending the configuration itself at the speed chosen, verified.
//
// The fast send (one message) goes first, and is tried twice more when the box takes it. Then a
// first pass down the paced speeds (firstPass(), fast to slow) until one verifies; then a search,
// halving, among the series' speeds between the slowest that failed and the fastest that verified.
// The speed found is tried twice more, and the configuration goes last at a margin of one step
// below it (at the speed itself where none is below, and as one message when the box takes
// that), so the box ends holding the configuration, verified. A box that takes a speed is taken
// to take every slower one: a failure rules out its speed and every faster one for good, which
// also ends a search on a box that is not steady.
//
// When no speed verifies, or the search is cancelled, the box may hold a test copy or a broken
// configuration: the configuration is sent once more, verified, at the fastest speed that
// verified below the slowest that failed. Where none did, nothing more is sent.
class SpeedSearch {
public:
    // The speed of a try of the fast send.
    static constexpr int Fast = 0;
    // Tries of the speed found after the one that found it.
    static constexpr int Confirmations = 2;
    // The paced speeds tried, fast to slow, each about a tenth below the one before: from 600, the
    // fastest the pacing goes (a tick at most every 5 ms, 3 bytes a tick), down to 25, where a try
    // takes a minute.
    static const std::vector<int> &series();
    // Those the first pass tries, each about two thirds of the one before.
    static const std::vector<int> &firstPass();
    // About how long a try takes at `speed`: the send by the tick rule, the box's time to settle
    // and its answer at MIDI's own rate (a cable's 3125 bytes a second).
    static double trySeconds(int speed);

    enum class Stage {
        Fast,       // the fast send
        FirstPass,  // down the first pass
        Narrowing,  // between the slowest that failed and the fastest that verified
        Confirming, // the speed found (or the fast send), again
        Margin,     // the configuration, one step below it
        Final,      // the configuration at the speed found, where no step is below it
        Restoring,  // the configuration, after a cancel
        Over,
    };
    enum class Ending { Running, FastTaken, Found, NoneVerified, Cancelled };

    // Whether a try of `stage` sends the configuration itself; the others send test copies.
    static bool sendsConfiguration(Stage stage);

    // The try to make now: a speed, or Fast.
    int speed() const { return now; }
    Stage stage() const { return stage_; }
    bool sendsConfiguration() const { return sendsConfiguration(stage_); }
    bool over() const { return stage_ == Stage::Over; }
    // How the try speed() names went: whether the box holds what was sent.
    void tried(bool verified);
    // Ends the search: the try under way may have left a broken configuration in the box, so it
    // is restored; a cancel while restoring ends it all at once.
    void cancel();

    Ending ending() const { return ending_; }
    // Sends made so far.
    int sends() const { return sent; }
    // How many times `speed` verified.
    int verifies(int speed) const;
    // The speeds whose tries failed, fastest first (Fast first of all).
    std::vector<int> failures() const;
    // Once found: the fastest speed that verified every time it was tried (Fast for the fast
    // send), and the speed chosen, one step below it. -1 before.
    int fastest() const { return fastest_; }
    int chosen() const { return chosen_; }
    // The speed the box was sent the configuration at after no speed verified or a cancel; -1
    // when it was sent nothing more. Whether that send was cancelled too.
    int restoredAt() const { return restoredAt_; }
    bool restoreCancelled() const { return restoreCancelled_; }
    // The last send was the configuration and it verified: the box holds the configuration.
    bool boxVerified() const { return holds; }

private:
    // Decides the next try after a paced one.
    void plan();
    void restore(Ending why);
    // The fastest paced speed below the slowest failure that verified; -1 for none.
    int candidate() const;

    Stage stage_ = Stage::Fast;
    Ending ending_ = Ending::Running;
    int now = Fast;
    int sent = 0;
    bool holds = false;
    bool fastOut = false; // the fast send failed once
    int ceiling =
        std::numeric_limits<int>::max(); // the slowest that failed: it and all faster are out
    std::map<int, int> good;             // times each speed verified
    std::set<int> failed;
    int found = -1; // the speed confirmed, once the configuration is on its way
    int fastest_ = -1;
    int chosen_ = -1;
    int restoredAt_ = -1;
    bool restoreCancelled_ = false;
};

} // namespace vkv::transfer
