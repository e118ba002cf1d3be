#pragma once

#include "ConfigImage.h"
#include "Library.h"

#include <QString>
#include <memory>

namespace vkv::cli {

class CommandLine;

// The library of configurations from the command line: --library-list, --library-add,
// --library-get, --library-history and --library-search, and the set lists' (SetListCommands),
// each in the --library folder or the user's own; and what --send and --receive record there unless
// --no-library. Listings go to the standard output one line a configuration or event, their fields
// separated by tabs, so scripts can cut them; failures to the standard error stream.
class LibraryCommands {
public:
    // The exit code: 0 done, 1 failed (said why), 2 a query that is no query.
    static int run(const CommandLine &line);
    // The library the line names (its --library folder, or the user's own), open, its notices
    // said; null when it cannot be, said why after `failing`.
    static std::unique_ptr<library::Library> open(const CommandLine &line,
                                                  const QString &failing = {});
    // Records what a transfer moved, unless the line says --no-library. A capture that fails is a
    // warning on the standard error stream and never changes the transfer's exit code.
    static void record(const CommandLine &line, const library::Library::Capture &capture);
    // The verify of a send to `port` found the box holding what was sent, or not.
    static void verified(const CommandLine &line, const QString &port, const image::DumpBytes &sent,
                         bool held);
};

} // namespace vkv::cli
