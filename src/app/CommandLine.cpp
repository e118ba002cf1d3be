#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

namespace vkv::app {

namespace {

constexpr auto ProgramName = "vkvela";

// Options that QApplication takes out of the command line once it exists. They are parsed here
// too, so that "-style Fusion" or "-platform offscreen" reach Qt instead of failing as unknown.
const char *const QtValueOptions[] = {
    "platform",
    "platformpluginpath",
    "platformtheme",
    "plugin",
    "style",
    "stylesheet",
    "display",
    "geometry",
    "qwindowgeometry",
    "qwindowicon",
    "qwindowtitle",
    "session",
    "name",
    "title",
    "qmljsdebugger",
};
const char *const QtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

QString programName(const QStringList &arguments) {
    const QString name = arguments.isEmpty() ? QString() : QFileInfo(arguments[0]).fileName();
    return name.isEmpty() ? QString::fromLatin1(ProgramName) : name;
}

} // namespace

QString CommandLine::versionText() {
    return QStringLiteral("%1 %2").arg(QString::fromLatin1(ProgramName),
                                       QStringLiteral(VKV_VERSION));
}

QStringList CommandLine::arguments(int argc, char **argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

CommandLine CommandLine::parse(const QStringList &arguments) {
    const QString name = programName(arguments);
    QCommandLineParser parser;
    // Qt's own options are single-dash words ("-platform"); "-hv" is then no pair of flags.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        "Edits the configuration of a Korvane Vela MIDI controller and plays it on a virtual box.");
    const QCommandLineOption help({"h", "help"}, "Show this help and end.");
    const QCommandLineOption version({"v", "version"}, "Show the program's version and end.");
    parser.addOption(help);
    parser.addOption(version);
    for (const char *qtOption : QtValueOptions) {
        QCommandLineOption option(QString::fromLatin1(qtOption), QString(), "value");
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *qtOption : QtFlagOptions) {
        QCommandLineOption option(QString::fromLatin1(qtOption));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    parser.addPositionalArgument(
        "file", "A .syx file to open at start, as \"Open Sysex File\" does.", "[file]");

    CommandLine result;
    const QString hint = QStringLiteral("\nTry '%1 --help' for more information.").arg(name);
    if (!parser.parse(arguments)) {
        result.action = Action::Error;
        result.text = name + ": " + parser.errorText() + hint;
        return result;
    }
    if (parser.isSet(help)) {
        result.action = Action::Help;
        // Without an application object the parser cannot name the program in its usage line.
        const QString options = parser.helpText().section(u'\n', 1);
        result.text = QStringLiteral("Usage: %1 [options] [file]\n").arg(name) + options;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = Action::Version;
        result.text = versionText() + u'\n';
        return result;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        result.action = Action::Error;
        result.text = name + ": only one file can be opened; " + QString::number(files.size()) +
                      " were given." + hint;
        return result;
    }
    if (!files.isEmpty())
        result.sysexFile = files[0];
    return result;
}

} // namespace vkv::app
