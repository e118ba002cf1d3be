#include "SpeedReport.h"

#include "TestCopies.h"

#include <QStringList>
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

// How the configuration goes at `speed`: "at 400 bytes/s", "as one message".
QString how(int speed) {
    return speed == SpeedSearch::Fast ? QStringLiteral("as one message")
                                      : QStringLiteral("at %1 bytes/s").arg(speed);
}

// "the fast send, 600, 400 and 270 bytes/s"
QString listed(const std::vector<int> &speeds) {
    QStringList items;
    bool paced = false;
    for (int speed : speeds) {
        items << (speed == SpeedSearch::Fast ? QStringLiteral("the fast send")
                                             : QString::number(speed));
        paced = paced || speed != SpeedSearch::Fast;
    }
    if (items.isEmpty())
        return {};
    if (paced)
        items.last() += QStringLiteral(" bytes/s");
    const QString last = items.takeLast();
    return items.isEmpty() ? last
                           : items.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

} // namespace

QString SpeedReport::mayHold() {
    return QStringLiteral("the box may hold a test copy or a broken configuration");
}

QString SpeedReport::firstAnswer(BoxQuery::Outcome answer, int differing,
                                 const QString &configuration) {
    if (answer == BoxQuery::Outcome::Broken)
        return QStringLiteral("The box answers (its answer came broken)");
    if (differing == 0)
        return QStringLiteral("The box answers: it holds ") + configuration;
    return (differing == 1 ? QStringLiteral("The box answers: it holds 1 record that differs from ")
                           : QStringLiteral("The box answers: it holds %1 records that differ "
                                            "from ")
                                 .arg(differing)) +
           configuration;
}

QString SpeedReport::testCopies() {
    return QStringLiteral("Each try sends a test copy of the configuration (Byte 1 of pot %1 "
                          "changed) unlike what the box held before it, so a try verifies only "
                          "when its own send landed. The box holds test copies while the search "
                          "runs, and is sent the configuration itself at the end, verified.")
        .arg(QString::fromStdString(image::bankNumberText(image::potBank(TestCopies::Pot),
                                                          image::potNumber(TestCopies::Pot))));
}

QString SpeedReport::speedName(int speed) {
    return speed == SpeedSearch::Fast ? QStringLiteral("Fast send (one message)")
                                      : QStringLiteral("%1 bytes/s").arg(speed);
}

QString SpeedReport::tryName(int speed, Stage stage) {
    switch (stage) {
    case Stage::Confirming:
        return speedName(speed) + QStringLiteral(" again");
    case Stage::Margin:
        return QStringLiteral("The configuration ") + how(speed) +
               QStringLiteral(", one step below");
    case Stage::Final:
        return QStringLiteral("The configuration ") + how(speed);
    case Stage::Restoring:
        return QStringLiteral("The configuration ") + how(speed) +
               QStringLiteral(", to restore the box");
    default:
        return speedName(speed);
    }
}

QString SpeedReport::going(int speed, Stage stage) {
    return tryName(speed, stage) +
           (SpeedSearch::sendsConfiguration(stage)
                ? QStringLiteral(": sending and verifying, about %1 s")
                : QStringLiteral(": sending a test copy and verifying it, about %1 s"))
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
    return noSpeed(search) + QStringLiteral(": ") + mayHold() +
           QStringLiteral(". Sending it the configuration %1, the fastest that verified, "
                          "verified.")
               .arg(how(search.speed()));
}

QString SpeedReport::ending(const SpeedSearch &search) {
    if (!search.over())
        return {};
    switch (search.ending()) {
    case Ending::Running:
        return {};
    case Ending::FastTaken:
        return QStringLiteral("The box takes the configuration as one message (the fast send): "
                              "test copies verified %1 times of %1, then the configuration "
                              "itself, and the box holds it. No paced speed is too fast for it; %2 "
                              "is the fastest the pacing goes.")
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
        const QString check = QStringLiteral("Check the box and its cables, and send it the "
                                             "configuration again.");
        if (search.restoredAt() < 0) {
            const std::vector<int> failures = search.failures();
            return why + QStringLiteral(": ") + mayHold() +
                   (failures.empty()
                        ? QStringLiteral(". No try had verified, so nothing more was sent. ")
                        : QStringLiteral(". Failed: %1; none verified below the slowest of "
                                         "them, so nothing more was sent. ")
                              .arg(listed(failures))) +
                   check;
        }
        if (search.boxVerified())
            return why + QStringLiteral(". Sent the configuration %1, and it verified: the box "
                                        "holds it.")
                             .arg(how(search.restoredAt()));
        if (search.restoreCancelled())
            return why + QStringLiteral(": ") + mayHold() + QStringLiteral(". ") + check;
        return why +
               QStringLiteral(". Sent the configuration %1, and it did not verify: ")
                   .arg(how(search.restoredAt())) +
               mayHold() + QStringLiteral(". ") + check;
    }
    }
    return {};
}

} // namespace vkv::transfer
