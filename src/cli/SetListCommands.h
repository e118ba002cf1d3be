#pragma once

#include "Library.h"

namespace vkv::cli {

class CommandLine;

// The library's set lists from the command line: --setlist-show lists one (its channel, then a
// line a slot: the program number, the configuration's name, and "missing" for one deleted or not
// in the library), --setlist-add and --setlist-remove edit one. Fields separated by tabs, as the
// library's other listings; failures and the lines of a list's file that were refused on the
// standard error stream.
class SetListCommands {
public:
    // The exit code: 0 done, 1 failed (said why).
    static int run(const CommandLine &line, library::Library &library);
};

} // namespace vkv::cli
