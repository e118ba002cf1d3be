#pragma once

#include "BoxQuery.h"
#include "SpeedSearch.h"

#include <QString>

namespace vkv::transfer {

// The words of a speed search, the same in the window's dialog and on the command line: what the
// box answered first, what the tries send, a line a try ("600 bytes/s: 12 records differ",
// "400 bytes/s: verified"), what a try under way will take, and how the search ended, which always
// says what the box holds.
class SpeedReport {
public:
    // The box's answer to the first question, against `configuration` ("the editor's
    // configuration"): "The box answers: it holds the editor's configuration".
    static QString firstAnswer(BoxQuery::Outcome answer, int differing,
                               const QString &configuration);
    // That the tries send test copies, so that the box holds them while the search runs, and
    // that it ends with the configuration.
    static QString testCopies();
    // "Fast send (one message)", "450 bytes/s", "450 bytes/s again", "The configuration at 400
    // bytes/s, one step below", "The configuration at 400 bytes/s, to restore the box".
    static QString tryName(int speed, SpeedSearch::Stage stage);
    // The try under way: "450 bytes/s: sending a test copy and verifying it, about 5 s".
    static QString going(int speed, SpeedSearch::Stage stage);
    // How it went: the box held what was sent ("verified"), or `differing` records differ, or it
    // gave no answer or a broken one.
    static QString outcome(int speed, SpeedSearch::Stage stage, BoxQuery::Outcome answer,
                           int differing);
    // The search is restoring the box: why, and at what speed.
    static QString restoring(const SpeedSearch &search);
    // How the search ended and what the box holds; "" while it runs.
    static QString ending(const SpeedSearch &search);
    // "450 bytes/s", or the fast send's name.
    static QString speedName(int speed);
    // What the box may hold after a search that stopped part-way.
    static QString mayHold();
};

} // namespace vkv::transfer
