#pragma once

namespace vkv::cli {

class CommandLine;

// --serve: runs without a window until SIGINT or SIGTERM, and answers each program change on the
// set list's channel by recalling its slot's configuration into the box (recall::Recaller over a
// recall::BoxRecallPort on the --out and --in ports). Program changes come from the program's own
// port Motors, offered as the window offers it, or from the --recall-in port; never from the
// port the box answers on. Each event is one line on the standard output (time, program change,
// configuration, speed, outcome, separated by tabs); what happens to the ports goes to the
// standard error stream. Ports that are not there are waited for, and lost ones opened again by
// their names.
//
// The first signal lets a send under way finish (not verified) and a second one stops it at once;
// either way the last line says what the box holds, and the exit code is 128 + the signal.
class ServeCommand {
public:
    // The exit code: 1 when the library or the set list cannot be read, else 128 + the signal.
    static int run(const CommandLine &line);
};

} // namespace vkv::cli
