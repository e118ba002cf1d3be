#pragma once

namespace vkv::cli {

class CommandLine;

// The configuration of a .syx file for other hands: --sheet prints it as a PDF sheet of every
// bank, --export-mid writes it as a MIDI file that sends it paced as "Send Sysex" does. Each writes
// its file beside the target and puts it in place once whole, so a failure leaves what was there.
class PaperCommands {
public:
    // --sheet needs a QGuiApplication (text is laid out with Qt GUI's fonts), --export-mid a
    // QCoreApplication. Exit codes: 0 written, 1 a file that could not be read or written.
    static int run(const CommandLine &line);
};

} // namespace vkv::cli
