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
    // Each send and answer of the search goes to the library as those of --send --verify do.
    const TransferRecorder recorder(line, out.get(), in.get());
    const int timeoutMs = static_cast<int>(std::ceil(line.timeoutSeconds * 1000));

    // Nothing is sent to a box whose answer cannot verify it. A box still busy with what it was
    // sent last is given time to settle, as before a verify.
    const BoxLink::Answer first = link.ask(BoxQuery::SettleMs, timeoutMs);
    recorder.answered(first);
    if (first.code > 128)
        return Io::interrupted(first.code - 128, QStringLiteral("nothing was sent."));
    if (first.outcome == BoxQuery::Outcome::NoAnswer) {
        Io::fail(QStringLiteral("no answer from the box within %1 s to a request for its "
                                "configuration; nothing was sent. Check the --in port and the "
                                "box's cables.")
                     .arg(line.timeoutSeconds));
        return 1;
    }

    SpeedSearch search;
    Progress progress;
    int signal = 0;
    while (!search.over()) {
        const int speed = search.speed();
        const auto stage = search.stage();
        const QString going = SpeedReport::going(speed, stage);
        progress.show(going, true);
        int code = speed == SpeedSearch::Fast
                       ? link.sendFast(dump)
                       : link.sendPaced(dump, speed, [&](int left, double) {
                             progress.show(going + QStringLiteral(", %1 bytes left").arg(left));
                         });
        BoxLink::Answer answer;
        if (code == 0) {
            recorder.sent(dump, image::DumpSize);
            answer = link.ask(BoxQuery::SettleMs, timeoutMs);
            recorder.answered(answer);
            code = answer.code;
        } else {
            recorder.sent(std::nullopt, link.sent());
        }
        progress.clear();
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
            const int differing =
                answer.outcome == BoxQuery::Outcome::Answered
                    ? static_cast<int>(image::ImageComparison::compare(dump, answer.dump).size())
                    : 0;
            if (answer.outcome == BoxQuery::Outcome::Answered)
                recorder.verified(dump, differing == 0);
            Io::print(stdout,
                      SpeedReport::outcome(speed, stage, answer.outcome, differing) + u'\n');
            search.tried(answer.outcome == BoxQuery::Outcome::Answered && differing == 0);
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
                                           : QStringLiteral("the box may hold a broken "
                                                            "configuration. Send it again."));
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
