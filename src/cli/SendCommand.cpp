#include "SendCommand.h"

#include "BoxLink.h"
#include "CommandIo.h"
#include "CommandLine.h"
#include "CommandPorts.h"
#include "ConfigImage.h"
#include "ImageComparison.h"
#include "Progress.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TransferRecorder.h"

#include <cmath>

namespace vkv::cli {

namespace {

using Io = CommandIo;
// After a send: asks the box for its configuration and compares its records with `sent`. 0 when
// they are the same, 3 when they differ (the differing records printed as --diff prints them),
// 1 for no answer or a broken one.
int verify(const CommandLine &line, BoxLink &link, const TransferRecorder &recorder,
           const image::DumpBytes &sent) {
    const BoxLink::Answer answer = link.ask(
        transfer::BoxQuery::SettleMs, static_cast<int>(std::ceil(line.timeoutSeconds * 1000)));
    if (answer.code > 128)
        return Io::interrupted(answer.code - 128,
                               QStringLiteral("the dump was sent, but not verified."));
    using Outcome = transfer::BoxQuery::Outcome;
    if (answer.outcome == Outcome::NoAnswer) {
        Io::fail(
            QStringLiteral("verify: no answer from the box within %1 s.").arg(line.timeoutSeconds));
        return 1;
    }
    recorder.answered(answer);
    if (answer.outcome == Outcome::Broken) {
        Io::fail(QStringLiteral("verify: the box's answer was broken."));
        return 1;
    }
    const auto differences = image::ImageComparison::compare(sent, answer.dump);
    recorder.verified(sent, differences.empty());
    Io::print(stdout, image::ImageComparison::asText(differences));
    if (differences.empty())
        return 0;
    Io::fail(QStringLiteral("verify: the box holds other values in %1 %2; send it again.")
                 .arg(differences.size())
                 .arg(differences.size() == 1 ? "record" : "records"));
    return 3;
}

} // namespace

int SendCommand::run(const CommandLine &line) {
    image::ConfigImage image;
    if (!Io::readImage(line.sysexFile, image))
        return 1;
    const std::unique_ptr<TMidiOut> out = CommandPorts::openOut(line.outPort);
    if (!out)
        return 1;
    // Opened before anything is sent: a verify that cannot listen must not follow a send.
    std::unique_ptr<TMidiIn> in;
    if (line.verify && !(in = CommandPorts::openIn(line.inPort)))
        return 1;
    BoxLink link(*out, in.get());
    const TransferRecorder recorder(line, out.get(), in.get());
    // Closing waits until the back end has passed what was sent on; verifying needs it open.
    const auto gone = [&] { return in || link.close(); };
    Progress progress;
    if (line.fast) {
        int code = link.sendFast(image.bytes());
        if (code == 0 && !gone())
            code = 1;
        if (code > 128)
            return Io::interrupted(code - 128, QStringLiteral("nothing was sent."));
        if (code != 0) {
            progress.end(QStringLiteral("failed"));
            recorder.sent(std::nullopt, 0, image.bytes());
            return link.sendFailed();
        }
        progress.end(QStringLiteral("%1 bytes sent").arg(image::DumpSize));
        recorder.sent(image.bytes(), image::DumpSize);
        return in ? verify(line, link, recorder, image.bytes()) : 0;
    }

    int code = link.sendPaced(image.bytes(), line.speed, [&](int left, double rate) {
        QString shown = QStringLiteral("%1 bytes left").arg(left, 4);
        if (rate < 0) {
            progress.show(shown + QStringLiteral(", header pause"), true);
            return;
        }
        if (rate > 0)
            shown += QStringLiteral(", %1 bytes/s, %2 s left")
                         .arg(std::lround(rate))
                         .arg(std::ceil(left / rate), 0, 'f', 0);
        if (left == 0)
            progress.end(shown);
        else
            progress.show(shown);
    });
    if (code == 0 && !gone())
        code = 1;
    if (code == 1) {
        progress.end(
            QStringLiteral("%1 bytes left, stopped").arg(image::DumpSize - link.sent(), 4));
        recorder.sent(std::nullopt, link.sent(), image.bytes());
        return link.sendFailed();
    }
    if (code > 128) {
        recorder.sent(std::nullopt, link.sent(), image.bytes());
        if (progress.enabled())
            Io::print(stderr, QStringLiteral("\n"));
        return Io::interrupted(code - 128, QStringLiteral("the box got %1 of the %2 bytes of the "
                                                          "dump.")
                                               .arg(link.sent())
                                               .arg(image::DumpSize));
    }
    recorder.sent(image.bytes(), image::DumpSize);
    return in ? verify(line, link, recorder, image.bytes()) : code;
}

} // namespace vkv::cli
