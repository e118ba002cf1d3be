#pragma once

namespace vkv::cli {

class CommandLine;

// The commands on the records of a .syx file, through the record sheet: --records writes the
// sheet, --apply-records applies one and stores the configuration safely, --conflicts lists the
// records that send the same message.
class RecordsCommands {
public:
    // Exit codes: 0 done (for --conflicts: no records send the same), 1 a file that could not be
    // read or written, 2 a sheet with errors (nothing changed), 3 records that send the same.
    static int run(const CommandLine &line);
};

} // namespace vkv::cli
