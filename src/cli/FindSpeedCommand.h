#pragma once

namespace vkv::cli {

class CommandLine;

// --find-speed: finds the fastest speed the box takes a configuration at (the .syx file given, or
// the built-in defaults) as the window's "Find Speed ..." does: the box is asked first whether it
// answers, then each try (transfer::SpeedSearch decides them) sends the configuration on the --out
// port and verifies it through the --in port. Each try's outcome is printed on the standard
// output as it comes, then how the search ended and the option to send with.
class FindSpeedCommand {
public:
    // The exit code: 0 when a speed was found (the box holds the configuration, verified at it),
    // 3 when none verified, 1 when the search could not run or go on (a port, a send the port did
    // not take, no answer to the first question), 128 + a signal that ended it. The first such
    // signal stops the try under way and sends the configuration once more at the slowest speed
    // that verified (or 100), verified; a second ends that too.
    static int run(const CommandLine &line);
};

} // namespace vkv::cli
