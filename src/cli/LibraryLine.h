#pragma once

#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <functional>

namespace vkv::cli {

// What the library's commands and the set lists' take beside their option on the command line:
// the files of an add, the name of a get, the time of a history, a set list's program and
// configuration; wrong use said in words, with exit code 2.
class LibraryLine {
public:
    struct Options {
        const QCommandLineOption &library, &name, &at, &get, &search, &setListShow, &setListAdd,
            &setListRemove;
    };
    // Fills `result`, whose action is set, from the parser; `error` makes the failure.
    static CommandLine parse(const QCommandLineParser &parser, const Options &options,
                             CommandLine &result,
                             const std::function<CommandLine(const QString &)> &error);
};

} // namespace vkv::cli
