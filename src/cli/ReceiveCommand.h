#pragma once

namespace vkv::cli {

class CommandLine;

// --receive: waits on the --in port for one whole configuration dump (after asking the box for it
// on the --out port with --request) and stores it in the file, framed as "Store Sysex File"
// stores a received dump. The file stays as it was unless a whole dump came and was written.
class ReceiveCommand {
public:
    // The exit code: 0 when stored; 1 when no whole dump came within the timeout, one too long
    // came, or the file could not be written; 128 + a signal that ended it.
    static int run(const CommandLine &line);
};

} // namespace vkv::cli
