#include "TransferRecorder.h"

#include "LibraryCommands.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

#include <QDateTime>

namespace vkv::cli {

namespace {

template <typename Port> QString nameOf(const Port *port) {
    return port ? QString::fromStdString(port->deviceName(port->Port())) : QString();
}

} // namespace

using library::Library;

TransferRecorder::TransferRecorder(const CommandLine &line, const TMidiOut *out, const TMidiIn *in)
    : line(line), outName(nameOf(out)), inName(nameOf(in)) {}

void TransferRecorder::sent(const std::optional<image::DumpBytes> &whole, int bytes,
                            const std::optional<image::DumpBytes> &sending, bool test) const {
    Library::Capture capture{
        QDateTime::currentDateTimeUtc(), Library::Direction::Sent, outName, whole, bytes, test};
    capture.paired = inName;
    capture.sending = sending;
    LibraryCommands::record(line, capture);
}

void TransferRecorder::received(const std::optional<image::DumpBytes> &whole, int bytes,
                                bool test) const {
    Library::Capture capture{
        QDateTime::currentDateTimeUtc(), Library::Direction::Received, inName, whole, bytes, test};
    capture.paired = outName;
    LibraryCommands::record(line, capture);
}

void TransferRecorder::answered(const BoxLink::Answer &answer, bool test) const {
    using Outcome = transfer::BoxQuery::Outcome;
    if (answer.code != 0 || answer.outcome == Outcome::NoAnswer)
        return;
    if (answer.outcome == Outcome::Answered)
        received(answer.dump, image::DumpSize, test);
    else
        received(std::nullopt, 0, test);
}

void TransferRecorder::verified(const image::DumpBytes &sent, bool held) const {
    LibraryCommands::verified(line, outName, sent, held);
}

} // namespace vkv::cli
