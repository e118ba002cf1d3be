#pragma once

#include <QString>
#include <QStringList>

namespace vkv::app {

// The program's command line: --help, --version and at most one .syx file to open at start.
// Parsed from plain strings, before any application object exists, so that a command that
// shows no window never needs a display.
class CommandLine {
public:
    enum class Action {
        Run,     // start the editor, opening `sysexFile` when one is given
        Help,    // print `text` to standard output and end
        Version, // the same
        Error,   // print `text` to standard error and end with a failure
    };

    // `arguments` as main() gets them, the program's own name first.
    static CommandLine parse(const QStringList &arguments);
    static QStringList arguments(int argc, char **argv);

    // "vkvela 0.1".
    static QString versionText();

    Action action = Action::Run;
    QString sysexFile;
    QString text;
};

} // namespace vkv::app
