#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

namespace vkv::cli {

class CommandLine;

// The options of the commands that take a configuration out of the program for other hands: --sheet
// (with --heading and --page) prints it as a PDF, --export-mid (with --speed) writes it as a MIDI
// file a DAW plays to the box. Kept apart from the rest of the command line, which adds them to its
// parser and hands their commands here.
class PaperOptions {
public:
    PaperOptions();

    const QCommandLineOption sheet;
    const QCommandLineOption exportMid;
    const QCommandLineOption heading;
    const QCommandLineOption page;

    // A send speed, "" when `text` is one, else why it is not.
    static QString readSpeed(const QString &text, int &speed);
    // Fills `result`, whose action is Sheet or ExportMid, from `parser`: the .syx file and the file
    // to write, and the options that go with the command (`speed` is the command line's --speed).
    // Returns why the command line is wrong, or "".
    QString parse(const QCommandLineParser &parser, const QCommandLineOption &speed,
                  CommandLine &result) const;
};

} // namespace vkv::cli
