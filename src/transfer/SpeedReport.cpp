#include "SpeedReport.h"

#include <cmath>

namespace vkv::transfer {

using Stage = SpeedSearch::Stage;
using Ending = SpeedSearch::Ending;

namespace {

// Why a search restores the box, or ended without a speed.
QString noSpeed(const SpeedSearch &search) {
    return search.ending() == Ending::Cancelled
               ? QStringLiteral("Cancelled")
               : QStringLiteral("No speed verified, down to %1 bytes/s")
                     .arg(SpeedSearch::firstPass().back());
}

} // namespace

QString SpeedReport::speedName(int speed) {
    return speed == SpeedSearch::Fast ? QStringLiteral("Fast send (one message)")
                                      : QStringLiteral("%1 bytes/s").arg(speed);
}

QString SpeedReport::tryName(int speed, Stage stage) {
    switch (stage) {
    case Stage::Confirming:
        return speedName(speed) + QStringLiteral(" again");
    case Stage::Margin:
        return speedName(speed) + QStringLiteral(", one step below");
    case Stage::Restoring:
        return speedName(speed) + QStringLiteral(", once more");
    default:
        return speedName(speed);
    }
}

QString SpeedReport::going(int speed, Stage stage) {
    return tryName(speed, stage) + QStringLiteral(": sending and verifying, about %1 s")
                                       .arg(std::ceil(SpeedSearch::trySeconds(speed)), 0, 'f', 0);
}

QString SpeedReport::outcome(int speed, Stage stage, BoxQuery::Outcome answer, int differing) {
    QString words;
    switch (answer) {
    case BoxQuery::Outcome::NoAnswer:
        words = QStringLiteral("no answer from the box");
        break;
    case BoxQuery::Outcome::Broken:
        words = QStringLiteral("the answer was broken");
        break;
    case BoxQuery::Outcome::Answered:
        words = differing == 0   ? QStringLiteral("verified")
                : differing == 1 ? QStringLiteral("1 record differs")
                                 : QStringLiteral("%1 records differ").arg(differing);
        break;
    }
    return tryName(speed, stage) + QStringLiteral(": ") + words;
}

QString SpeedReport::restoring(const SpeedSearch &search) {
    return noSpeed(search) +
           QStringLiteral(": the box may hold a broken configuration. Sending it once more "
                          "at %1, verified.")
               .arg(speedName(search.speed()));
}

QString SpeedReport::ending(const SpeedSearch &search) {
    if (!search.over())
        return {};
    const bool holds = search.boxVerified();
    switch (search.ending()) {
    case Ending::Running:
        return {};
    case Ending::FastTaken:
        return QStringLiteral("The box takes the configuration as one message (the fast send): "
                              "verified %1 times of %1, and the box holds it. No paced speed is "
                              "too fast for it; %2 is the fastest the pacing goes.")
            .arg(1 + SpeedSearch::Confirmations)
            .arg(speedName(SpeedSearch::series().front()));
    case Ending::Found: {
        QString text = QStringLiteral("Found: %1 verified every time (%2 of %2)")
                           .arg(speedName(search.fastest()))
                           .arg(search.verifies(search.fastest()));
        if (search.chosen() != search.fastest())
            text += QStringLiteral("; %1, one step below it, leaves a margin")
                        .arg(speedName(search.chosen()));
        return text + QStringLiteral(". The box holds the configuration, verified at %1.")
                          .arg(speedName(search.chosen()));
    }
    case Ending::NoneVerified:
    case Ending::Cancelled: {
        const QString why = noSpeed(search);
        if (holds)
            return why + QStringLiteral(". Sent once more at %1, the configuration verified: the "
                                        "box holds it.")
                             .arg(speedName(search.speed()));
        return why + QStringLiteral(": the box may hold a broken configuration. Check the box "
                                    "and its cables, and send it again.");
    }
    }
    return {};
}

} // namespace vkv::transfer
