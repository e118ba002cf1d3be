#pragma once

#include "BoxLink.h"
#include "ConfigImage.h"

#include <QString>
#include <optional>

class TMidiIn;
class TMidiOut;

namespace vkv::cli {

class CommandLine;

// What a command's transfers moved, for the library (unless the line says --no-library): each
// send to the MIDI OUT port and each dump from the MIDI IN port, whole or not, each with the time,
// its port's name and the other port's (the two are one box), whether it was a speed search's test
// copy (or the box's answer to one), and what a verify found. The one place --send, --receive and
// --find-speed record through, so they record alike.
class TransferRecorder {
public:
    // Either port may be null when the command has none.
    TransferRecorder(const CommandLine &line, const TMidiOut *out, const TMidiIn *in);

    // `bytes` of a dump went out; `whole` when it went whole. Of one that broke off, `sending` is
    // what it was sending. `test`: a test copy.
    void sent(const std::optional<image::DumpBytes> &whole, int bytes,
              const std::optional<image::DumpBytes> &sending = std::nullopt,
              bool test = false) const;
    // `bytes` of a dump came in; `whole` when it came whole. `test`: it answers a test copy.
    void received(const std::optional<image::DumpBytes> &whole, int bytes, bool test = false) const;
    // The box's answer to a question: nothing when it gave none.
    void answered(const BoxLink::Answer &answer, bool test = false) const;
    // The box held (or did not) the configuration sent.
    void verified(const image::DumpBytes &sent, bool held) const;

private:
    const CommandLine &line;
    const QString outName, inName;
};

} // namespace vkv::cli
