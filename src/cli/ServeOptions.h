#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

namespace vkv::cli {

class CommandLine;

// The options of --serve, which runs without a window and answers program changes by recalling a
// set list's configurations into the box: --setlist names the list, --recall-in the port program
// changes come from (else the program's own ports). The box's ports, the speed, --verify and
// --library are the command line's own, handed in, as --send takes them.
class ServeOptions {
public:
    ServeOptions();

    const QCommandLineOption serve;
    const QCommandLineOption setList;
    const QCommandLineOption recallIn;

    // The command line's options --serve shares with --send.
    struct Shared {
        const QCommandLineOption &out, &in, &speed, &fast, &verify;
    };
    // Fills `result`, whose action is Serve, from `parser`; returns why the command line is
    // wrong, or "".
    QString parse(const QCommandLineParser &parser, const Shared &shared,
                  CommandLine &result) const;
};

} // namespace vkv::cli
