#pragma once

namespace vkv::cli {

class CommandLine;

// --find-speed: finds the fastest speed the box takes a configuration at (the .syx file given, or
// the built-in defaults) as the window's "Find Speed ..." does: the box is asked first whether it
// answers, then each try (transfer::SpeedSearch decides them) sends a test copy of the
// configuration, and the last the configuration itself, on the --out port and verifies it through
// the --in port. What the box answered first and that it holds test copies meanwhile are printed
// on the standard output, then each try's outcome as it comes, then how the search ended and the
// option to send with.
class FindSpeedCommand {
public:
    // The exit code: 0 when a speed was found (the box holds the configuration, verified at it),
    // 3 when none verified, 1 when the search could not run or go on (a port, a send the port did
    // not take, no answer to the first question, the MIDI IN port lost), 128 + a signal that
    // ended it. The first such signal stops the try under way and sends the configuration once
    // more, verified, at the fastest speed that verified below every one that failed (nothing
    // when none did); a second ends that too.
    static int run(const CommandLine &line);
};

} // namespace vkv::cli
