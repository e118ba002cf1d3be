#include "FindSpeedCommand.h"

#include "BoxLink.h"
#include "CommandIo.h"
#include "CommandLine.h"
#include "CommandPorts.h"
#include "ConfigImage.h"
#include "ImageComparison.h"
#include "Progress.h"
#include "SpeedReport.h"
#include "SpeedSearch.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TestCopies.h"
#include "TransferRecorder.h"

#include <cmath>

namespace vkv::cli {

namespace {

using Io = CommandIo;
using transfer::BoxQuery;
using transfer::SpeedReport;
using transfer::SpeedSearch;

// The option that sends at what the search found.
QString sendWith(const SpeedSearch &search) {
    return search.chosen() == SpeedSearch::Fast
               ? QStringLiteral("Send with --fast, or at any --speed.")
               : QStringLiteral("Send with --speed %1.").arg(search.chosen());
}

// The MIDI IN port went: no try can be verified any more. Returns the exit code, 1.
int inLost(const BoxLink &link, bool sentAny) {
    Io::fail(
        QStringLiteral("the MIDI IN port was lost (%1); the search stopped").arg(link.inLost()) +
        (sentAny ? QStringLiteral(", and ") + SpeedReport::mayHold() +
                       QStringLiteral(". Send it the configuration again.")
                 : QStringLiteral(" before anything was sent.")));
    return 1;
}

int differing(const image::DumpBytes &sent, const BoxLink::Answer &answer) {
    return answer.outcome == BoxQuery::Outcome::Answered
               ? static_cast<int>(image::ImageComparison::compare(sent, answer.dump).size())
               : 0;
}

} // namespace

int FindSpeedCommand::run(const CommandLine &line) {
    image::ConfigImage image;
    if (line.sysexFile.isEmpty()) {
        if (!image::loadDefaultImage(image)) {
            Io::fail(QStringLiteral("the built-in default configuration cannot be read."));
            return 1;
        }
        image.frame();
    } else if (!Io::readImage(line.sysexFile, image)) {
        return 1;
    }
    const image::DumpBytes &dump = image.bytes();
    const std::unique_ptr<TMidiOut> out = CommandPorts::openOut(line.outPort);
    if (!out)
        return 1;
    const std::unique_ptr<TMidiIn> in = CommandPorts::openIn(line.inPort);
    if (!in)
        return 1;
    BoxLink link(*out, in.get());
    // A box whose answers can no longer come can verify nothing: the search stops at once.
    link.watchIn();
    // Each send and answer of the search goes to the library as those of --send --verify do, the
    // test copies and the answers to them marked as tests.
    const TransferRecorder recorder(line, out.get(), in.get());
    const int timeoutMs = static_cast<int>(std::ceil(line.timeoutSeconds * 1000));

    // Nothing is sent to a box whose answer cannot verify it. A box still busy with what it was
    // sent last is given time to settle, as before a verify.
    const BoxLink::Answer first = link.ask(BoxQuery::SettleMs, timeoutMs);
    recorder.answered(first);
    if (first.code > 128)
        return Io::interrupted(first.code - 128, QStringLiteral("nothing was sent."));
    if (first.code == 1)
        return inLost(link, false);
    if (first.outcome == BoxQuery::Outcome::NoAnswer) {
        Io::fail(QStringLiteral("no answer from the box within %1 s to a request for its "
                                "configuration; nothing was sent. Check the --in port and the "
                                "box's cables.")
                     .arg(line.timeoutSeconds));
        return 1;
    }
    transfer::TestCopies copies(dump);
    if (first.outcome == BoxQuery::Outcome::Answered)
        copies.held(first.dump);
    Io::print(stdout, SpeedReport::firstAnswer(first.outcome, differing(dump, first),
                                               QStringLiteral("the configuration")) +
                          u'\n' + SpeedReport::testCopies() + u'\n');

    SpeedSearch search;
    Progress progress;
    int signal = 0;
    while (!search.over()) {
        const int speed = search.speed();
        const auto stage = search.stage();
        const bool test = !search.sendsConfiguration();
        const image::DumpBytes sending = test ? copies.next() : dump;
        const QString going = SpeedReport::going(speed, stage);
        progress.show(going, true);
        int code = speed == SpeedSearch::Fast
                       ? link.sendFast(sending)
                       : link.sendPaced(sending, speed, [&](int left, double) {
                             progress.show(going + QStringLiteral(", %1 bytes left").arg(left));
                         });
        BoxLink::Answer answer;
        const bool whole = code == 0;
        if (whole) {
            recorder.sent(sending, image::DumpSize, std::nullopt, test);
            answer = link.ask(BoxQuery::SettleMs, timeoutMs);
            recorder.answered(answer, test);
            code = answer.code;
        } else {
            recorder.sent(std::nullopt, link.sent(), sending, test);
        }
        progress.clear();
        if (!link.inLost().isEmpty()) {
            Io::print(stdout, SpeedReport::tryName(speed, stage) +
                                  (whole ? QStringLiteral(": stopped")
                                         : QStringLiteral(": stopped after %1 of %2 bytes")
                                               .arg(link.sent())
                                               .arg(image::DumpSize)) +
                                  QStringLiteral(", the MIDI IN port was lost\n"));
            return inLost(link, true);
        }
        if (code == 1)
            return link.sendFailed();
        if (code > 128) {
            // The try under way ends here; the box is sent its configuration once more, unless
            // this was that send.
            signal = code - 128;
            link.forgetSignal();
            Io::print(stdout, SpeedReport::tryName(speed, stage) + QStringLiteral(": stopped\n"));
            search.cancel();
        } else {
            const int differ = differing(sending, answer);
            if (answer.outcome == BoxQuery::Outcome::Answered) {
                copies.held(answer.dump);
                recorder.verified(sending, differ == 0);
            }
            Io::print(stdout, SpeedReport::outcome(speed, stage, answer.outcome, differ) + u'\n');
            search.tried(answer.outcome == BoxQuery::Outcome::Answered && differ == 0);
        }
        if (search.stage() == SpeedSearch::Stage::Restoring &&
            stage != SpeedSearch::Stage::Restoring)
            Io::print(stdout, SpeedReport::restoring(search) + u'\n');
    }
    link.close();
    Io::print(stdout, SpeedReport::ending(search) + u'\n');
    if (signal)
        return Io::interrupted(signal, search.boxVerified()
                                           ? QStringLiteral("the box holds the configuration, "
                                                            "verified.")
                                           : SpeedReport::mayHold() +
                                                 QStringLiteral(". Send it the configuration "
                                                                "again."));
    switch (search.ending()) {
    case SpeedSearch::Ending::Found:
    case SpeedSearch::Ending::FastTaken:
        Io::print(stdout, sendWith(search) + u'\n');
        return 0;
    default:
        return 3;
    }
}

} // namespace vkv::cli
