#pragma once

namespace vkv::cli {

class CommandLine;

// --send: a .syx file to the box on the --out port, paced as "Send Sysex" paces it (or with
// --fast as one message), its progress shown on a terminal; with --verify the box is then asked
// for its configuration on the same port, its answer taken from the --in port and compared with
// what was sent.
class SendCommand {
public:
    // The exit code: 0 when sent (and, verifying, the box holds the same records), 1 when the
    // send failed or the box gave no answer or a broken one, 3 when the box holds other values
    // (the records that differ printed as --diff prints them), 128 + a signal that ended it.
    static int run(const CommandLine &line);
};

} // namespace vkv::cli
