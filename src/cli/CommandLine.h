#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

class QCommandLineOption;
class QCommandLineParser;

namespace vkv::cli {

// The program's command line: --help, --version, a .syx file to open at start, or one of the
// commands that work without a display (list the ports, send or receive a dump, export an INI
// file, compare two .syx files, find the speed the box takes, print a sheet of the configuration,
// write it as a MIDI file). Parsed from plain strings, before
// any application object exists, so that a command that shows no window never needs a display.
class CommandLine {
public:
    enum class Action {
        Run,       // start the editor, opening `sysexFile` when one is given
        Help,      // print `text` to standard output and end
        Version,   // the same
        Error,     // print `text` to standard error and end with a failure
        ListPorts, // print the MIDI ports
        Send,      // send `sysexFile` to `outPort`, paced at `speed` or `fast`; then `verify`
        Receive,   // store a dump from `inPort` in `sysexFile`, after a request on `outPort`
        ExportIni, // write the INI export of `sysexFile` to `iniFile`
        Diff,      // print the records in which `sysexFile` and `secondFile` differ
        FindSpeed, // find the speed the box on `outPort` and `inPort` takes `sysexFile` (or the
                   // built-in defaults, when it is empty) at
        // The library of configurations in `libraryFolder` ("" for the user's own):
        LibraryList,    // print its configurations
        LibraryAdd,     // add `files`, named after them or `name`
        LibraryGet,     // write the configuration `name` to `sysexFile`
        LibraryHistory, // print its history, or with `at` what each port held then
        LibrarySearch,  // print the configurations `query` finds
        SetListShow,    // print the set list `setList`
        SetListAdd,     // make `program` of the set list `setList` recall the configuration `name`
        SetListRemove,  // empty `program` of the set list `setList`
        // The records of `sysexFile`, through the record sheet:
        Records,      // write its sheet to `outputFile`, or to standard output
        ApplyRecords, // apply the sheet `sheetFile`; store in place, or in `outputFile`
        Conflicts,    // print the records that send the same message
        // The configuration of `sysexFile` for other hands, written to `outputFile`:
        Sheet,     // printed as a PDF sheet, headed `heading`, on A4 or `letter` paper
        ExportMid, // as a MIDI file that sends it paced at `speed`
        // Without a window until a signal ends it: program changes from the own ports (or
        // `recallIn`) recall the slots of the set list `setList` into the box on `outPort`, paced
        // at `speed` or `fast`, then `verify` on `inPort`.
        Serve,
    };

    // `arguments` as main() gets them, the program's own name first.
    static CommandLine parse(const QStringList &arguments);
    static QStringList arguments(int argc, char **argv);

    // "vkvela 0.1".
    static QString versionText();

    static constexpr int DefaultTimeoutSeconds = 30;
    // How long --send --verify and --find-speed wait for the box's answer after asking.
    static constexpr int DefaultVerifySeconds = 5;

    Action action = Action::Run;
    QString sysexFile;
    QString iniFile;
    QString secondFile;
    QString outPort; // a port name, a prefix of one, or a number in the list
    QString inPort;
    int speed = 100; // about that many bytes a second, as "Sysex Send Speed Tuning" sets
    bool fast = false;
    bool request = false;
    bool verify = false; // with Send: ask the box on `outPort`, its answer on `inPort`
    double timeoutSeconds = DefaultTimeoutSeconds;
    QString text;
    // The exit code of an Error: 2 for --diff, whose codes are those of diff(1), and for the
    // library's commands, else 1.
    int errorCode = 1;
    // The library: where it is, and whether --send and --receive record into it.
    QString libraryFolder;
    bool noLibrary = false;
    QStringList files;
    QString name;
    QString query;
    QDateTime at; // invalid: the whole history
    QString setList;
    QString recallIn; // "" for the program's own ports
    int program = -1; // 0 to 127
    QString sheetFile;
    QString outputFile; // "" for none
    QString heading;    // "" for the file's name
    bool letter = false;

private:
    struct RecordsOptions {
        const QCommandLineOption &records, &apply, &conflicts, &output;
    };
    static CommandLine parseRecords(const QCommandLineParser &parser, const RecordsOptions &options,
                                    CommandLine &result,
                                    const std::function<CommandLine(const QString &)> &error);
};

} // namespace vkv::cli
