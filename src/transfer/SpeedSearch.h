#pragma once

#include <limits>
#include <map>
#include <vector>

namespace vkv::transfer {

// Finds the fastest speed a box takes the configuration at without overrunning its input buffer,
// as a series of tries: each sends the configuration and then verifies it (asks the box what it
// holds and compares). The owner makes the try speed() names and tells tried() how it went; no
// ports or timers here.
//
// The fast send (one message) goes first, and is tried twice more when the box takes it. Then a
// first pass down the paced speeds (firstPass(), fast to slow) until one verifies; then a search,
// halving, among the series' speeds between the slowest that failed and the fastest that verified.
// The speed found is tried twice more, and a margin of one step below it is tried last, so the
// search always ends with a send at the chosen speed that verified: the box holds the
// configuration. A box that takes a speed is taken to take every slower one: a failure rules out
// its speed and every faster one for good, which also ends a search on a box that is not steady.
//
// When no speed verifies, or the search is cancelled, the box may hold a broken configuration: it
// is sent once more, verified, at the slowest speed that verified (or FallbackSpeed).
class SpeedSearch {
public:
    // The speed of a try of the fast send.
    static constexpr int Fast = 0;
    // Tries of the speed found after the one that found it.
    static constexpr int Confirmations = 2;
    static constexpr int FallbackSpeed = 100;
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
        Margin,     // one step below it
        Restoring,  // once more, after no speed verified or a cancel
        Over,
    };
    enum class Ending { Running, FastTaken, Found, NoneVerified, Cancelled };

    // The try to make now: a speed, or Fast.
    int speed() const { return now; }
    Stage stage() const { return stage_; }
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
    // Once found: the fastest speed that verified every time it was tried (Fast for the fast
    // send), and the speed chosen, one step below it. -1 before.
    int fastest() const { return fastest_; }
    int chosen() const { return chosen_; }
    // The last send verified: the box holds the configuration.
    bool boxVerified() const { return lastVerified; }

private:
    // Decides the next try after a paced one.
    void plan();
    void restore(Ending why);
    // The fastest speed below the slowest failure that verified; -1 for none.
    int candidate() const;

    Stage stage_ = Stage::Fast;
    Ending ending_ = Ending::Running;
    int now = Fast;
    int sent = 0;
    bool lastVerified = false;
    int ceiling =
        std::numeric_limits<int>::max(); // the slowest that failed: it and all faster are out
    std::map<int, int> good;             // times each speed verified
    int fastest_ = -1;
    int chosen_ = -1;
};

} // namespace vkv::transfer
