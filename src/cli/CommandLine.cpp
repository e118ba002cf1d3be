#include "CommandLine.h"

#include "LibraryLine.h"
#include "PacedSender.h"
#include "PaperOptions.h"
#include "ServeOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

namespace vkv::cli {

namespace {

constexpr auto ProgramName = "vkvela";
using vkv::transfer::PacedSender;
constexpr int MinSpeed = PacedSender::MinSpeed;
constexpr int MaxSpeed = PacedSender::MaxSpeed;
constexpr int DefaultSpeed = PacedSender::DefaultSpeed;

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
    // Qt's "-name" (the X11 class name) gives way to the library's --name.
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

namespace {

// A day at most: longer is sure to be a slip, and QTimer counts in int milliseconds.
bool readTimeout(const QString &text, double &seconds) {
    bool number = false;
    const double value = text.toDouble(&number);
    if (!number || !(value > 0) || value > 86400)
        return false;
    seconds = value;
    return true;
}

QString timeoutError(const QString &text) {
    return "--timeout must be a number of seconds above 0 and at most 86400, not \"" + text + "\".";
}

} // namespace

CommandLine CommandLine::parseRecords(const QCommandLineParser &parser,
                                      const RecordsOptions &options, CommandLine &result,
                                      const std::function<CommandLine(const QString &)> &error) {
    const QStringList files = parser.positionalArguments();
    const QCommandLineOption &command = result.action == Action::Records     ? options.records
                                        : result.action == Action::Conflicts ? options.conflicts
                                                                             : options.apply;
    const QString name = "--" + command.names().constFirst();
    result.outputFile = parser.value(options.output);
    if (parser.isSet(options.output) && result.outputFile.isEmpty())
        return error("--output needs a file name.");
    if (result.action == Action::ApplyRecords) {
        if (files.size() != 1)
            return error("--apply-records needs the sheet and one .syx file to apply it to; " +
                         QString::number(files.size()) + " .syx files were given.");
        result.sheetFile = parser.value(command);
        result.sysexFile = files[0];
        if (result.sheetFile.isEmpty())
            return error(name + " needs a file name.");
    } else {
        if (!files.isEmpty())
            return error(name + " takes no other file: \"" + files[0] + "\".");
        result.sysexFile = parser.value(command);
    }
    if (result.sysexFile.isEmpty())
        return error(name + " needs a file name.");
    return result;
}

CommandLine CommandLine::parse(const QStringList &arguments) {
    const QString name = programName(arguments);
    QCommandLineParser parser;
    // Qt's own options are single-dash words ("-platform"); "-hv" is then no pair of flags.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        "Edits the configuration of a Korvane Vela MIDI controller and plays it on a virtual box.\n"
        "The commands below work without a display; PORT is a port's name as --list-ports shows\n"
        "it, the start of one that no other port shares (a client's name picks its only port),\n"
        "or its number in that list.");
    const QCommandLineOption help({"h", "help"}, "Show this help and end.");
    const QCommandLineOption version({"v", "version"}, "Show the program's version and end.");
    const QCommandLineOption listPorts("list-ports", "List the MIDI IN and OUT ports and end.");
    const QCommandLineOption send("send",
                                  "Send the configuration in FILE to the box as \"Send Sysex\" "
                                  "does (paced), or with --fast as one message.",
                                  "FILE");
    const QCommandLineOption receive("receive",
                                     "Wait for one configuration dump on the --in port and store "
                                     "it in FILE, which stays as it was unless a whole dump came.",
                                     "FILE");
    const QCommandLineOption exportIni(
        "export-ini",
        "Given two files FILE.syx OUT.ini, write the INI export of FILE.syx to OUT.ini.");
    const QCommandLineOption diff(
        "diff", "Given two files A.syx B.syx, print the records in which they differ, as the INI "
                "export writes them: \"- \" for A, \"+ \" for B. Exit status 0 when they are the "
                "same, 1 when they differ, 2 on an error.");
    const QCommandLineOption findSpeed(
        "find-speed",
        "Find the fastest speed the box takes a configuration at (the .syx file given, or the "
        "built-in defaults): send test copies of it, each unlike what the box held before, at a "
        "series of speeds on the --out port and verify each through the --in port. The box holds "
        "test copies while the search runs; it ends by sending the configuration itself at the "
        "speed found, verified. When no speed verifies, or a signal stops the search, the "
        "configuration is sent once more at the fastest speed that verified below every one that "
        "failed; where there is none, nothing more is sent, and the box may hold a test copy or a "
        "broken configuration (the speeds that failed are listed). Exit status 0 when a speed was "
        "found, 3 when none verified, 1 when it could not run or go on (the --in port lost).");
    const QCommandLineOption out("out", "The MIDI OUT port to send to.", "PORT");
    const QCommandLineOption in("in", "The MIDI IN port to receive from.", "PORT");
    const QCommandLineOption speed(
        "speed",
        QStringLiteral("Send speed, about N bytes a second, %1 to %2 (default %3).")
            .arg(MinSpeed)
            .arg(MaxSpeed)
            .arg(DefaultSpeed),
        "N");
    const QCommandLineOption fast("fast", "Send the configuration as one message, unpaced.");
    const QCommandLineOption request(
        "request", "Ask the box for its configuration on the --out port before waiting.");
    const QCommandLineOption timeout(
        "timeout",
        QStringLiteral("Give up when no whole dump has come after SECONDS (default %1, or %2 "
                       "with --verify and --find-speed).")
            .arg(DefaultTimeoutSeconds)
            .arg(DefaultVerifySeconds),
        "SECONDS");
    const QCommandLineOption verify(
        "verify", "After --send, ask the box on the --out port for its configuration, wait for "
                  "it on the --in port and check that it holds the file's records.");
    const QCommandLineOption libraryList("library-list", "List the configurations of the library.");
    const QCommandLineOption libraryAdd(
        "library-add", "Add the dumps of the .syx and MIDI files given to the library, each named "
                       "after its file (numbered when a MIDI file holds several).");
    const QCommandLineOption libraryGet(
        "library-get", "Given a file OUT.syx, write the library's configuration NAME to it.",
        "NAME");
    const QCommandLineOption libraryHistory(
        "library-history", "Print the library's history of configurations received and sent, "
                           "newest first.");
    const QCommandLineOption librarySearch(
        "library-search",
        "Print the configurations QUERY finds: words in names, notes and tags, and what they "
        "send: cc:74, ch:10, note:60 or note:C4, pc:5, pot:3.5, button:2.1.",
        "QUERY");
    const QCommandLineOption setListShow(
        "setlist-show",
        "List the library's set list NAME: its channel, then a line a slot: the program number, "
        "the configuration it recalls, and \"missing\" for one deleted or not in the library.",
        "NAME");
    const QCommandLineOption setListAdd(
        "setlist-add",
        "Given PROGRAM (0 to 127) and ENTRY, the name of a configuration of the library: make "
        "program PROGRAM of the set list NAME recall it (the list is made when it is not there).",
        "NAME");
    const QCommandLineOption setListRemove(
        "setlist-remove", "Given PROGRAM (0 to 127): empty that slot of the set list NAME.",
        "NAME");
    const QCommandLineOption records(
        "records",
        "Write the record sheet of the .syx FILE (CSV, one line a pot or button) to "
        "standard output, or to --output SHEET.csv.",
        "FILE");
    const QCommandLineOption applyRecords(
        "apply-records",
        "Given a file FILE.syx, apply the record sheet SHEET (CSV) to it and store it in place "
        "(only "
        "when it is one whole configuration dump), or in --output OUT.syx. Exit status 0 when "
        "applied (the number of records changed is printed), 2 when the sheet has errors (each "
        "printed with its line; nothing is changed), 1 when a file could not be read or written.",
        "SHEET");
    const QCommandLineOption conflicts(
        "conflicts",
        "Print the groups of records of the .syx FILE that send the same message, one group a "
        "line. Exit status 0 when there are none, 3 when there are some.",
        "FILE");
    const QCommandLineOption output(
        "output",
        "With --records: the sheet's file; with --apply-records: the .syx file to store "
        "the result in.",
        "FILE");
    const QCommandLineOption library(
        "library", "The library's folder (default ~/.local/share/vkvela/library).", "DIR");
    const QCommandLineOption entryName("name", "With --library-add of one file: its name there.",
                                       "NAME");
    const QCommandLineOption at("at",
                                "With --library-history: what the box on each port held at "
                                "TIME (2026-12-01 18:00).",
                                "TIME");
    const QCommandLineOption noLibrary("no-library",
                                       "With --send, --receive or --find-speed: record nothing in "
                                       "the library.");
    const PaperOptions paper;
    const ServeOptions serving;
    for (const QCommandLineOption &option : {help,
                                             version,
                                             listPorts,
                                             send,
                                             receive,
                                             exportIni,
                                             diff,
                                             findSpeed,
                                             out,
                                             in,
                                             speed,
                                             fast,
                                             request,
                                             timeout,
                                             verify,
                                             libraryList,
                                             libraryAdd,
                                             libraryGet,
                                             libraryHistory,
                                             librarySearch,
                                             library,
                                             entryName,
                                             at,
                                             noLibrary,
                                             records,
                                             applyRecords,
                                             conflicts,
                                             output,
                                             paper.sheet,
                                             paper.heading,
                                             paper.page,
                                             paper.exportMid,
                                             setListShow,
                                             setListAdd,
                                             setListRemove,
                                             serving.serve,
                                             serving.setList,
                                             serving.recallIn})
        parser.addOption(option);
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
    const auto error = [&](const QString &text) {
        result.action = Action::Error;
        result.text = name + ": " + text + hint;
        result.errorCode = parser.isSet(diff) ? 2 : 1;
        for (const QCommandLineOption *option :
             {&libraryList, &libraryAdd, &libraryGet, &libraryHistory, &librarySearch, &setListShow,
              &setListAdd, &setListRemove, &serving.serve})
            if (parser.isSet(*option))
                result.errorCode = 2;
        return result;
    };
    if (!parser.parse(arguments))
        return error(parser.errorText());
    if (parser.isSet(help)) {
        result.action = Action::Help;
        // Without an application object the parser cannot name the program in its usage line.
        const QString options = parser.helpText().section(u'\n', 1);
        const QString indent(name.size() + 8, u' ');
        result.text =
            QStringLiteral("Usage: %1 [options] [file]\n").arg(name) + indent + "--list-ports\n" +
            indent +
            "--send FILE --out PORT [--speed N | --fast] [--verify --in PORT [--timeout "
            "SECONDS]]\n" +
            indent + "--receive FILE --in PORT [--request --out PORT] [--timeout SECONDS]\n" +
            indent + "--export-ini FILE.syx OUT.ini\n" + indent + "--diff A.syx B.syx\n" + indent +
            "--find-speed --out PORT --in PORT [--timeout SECONDS] [FILE.syx]\n" + indent +
            "--library-list | --library-history [--at TIME] | --library-search QUERY\n" + indent +
            "--library-add FILE... [--name NAME] | --library-get NAME OUT.syx\n" + indent +
            "--setlist-show NAME | --setlist-add NAME PROGRAM ENTRY | --setlist-remove NAME "
            "PROGRAM\n" +
            indent + "--records FILE.syx [--output SHEET.csv]\n" + indent +
            "--apply-records SHEET.csv FILE.syx [--output OUT.syx]\n" + indent +
            "--conflicts FILE.syx\n" + indent +
            "--sheet FILE.syx OUT.pdf [--heading TEXT] [--page a4|letter]\n" + indent +
            "--export-mid FILE.syx OUT.mid [--speed N]\n" + indent +
            "--serve --setlist NAME --out PORT [--in PORT] [--speed N | --fast] [--verify] "
            "[--recall-in PORT]\n" +
            indent +
            "(each with [--library DIR]; --send and --receive take --library DIR or "
            "--no-library)\n" +
            options;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = Action::Version;
        result.text = versionText() + u'\n';
        return result;
    }

    // One command at most, and only the options that go with it.
    const struct {
        const QCommandLineOption &option;
        Action action;
    } commands[] = {{listPorts, Action::ListPorts},
                    {send, Action::Send},
                    {receive, Action::Receive},
                    {exportIni, Action::ExportIni},
                    {diff, Action::Diff},
                    {findSpeed, Action::FindSpeed},
                    {libraryList, Action::LibraryList},
                    {libraryAdd, Action::LibraryAdd},
                    {libraryGet, Action::LibraryGet},
                    {libraryHistory, Action::LibraryHistory},
                    {librarySearch, Action::LibrarySearch},
                    {setListShow, Action::SetListShow},
                    {setListAdd, Action::SetListAdd},
                    {setListRemove, Action::SetListRemove},
                    {records, Action::Records},
                    {applyRecords, Action::ApplyRecords},
                    {conflicts, Action::Conflicts},
                    {paper.sheet, Action::Sheet},
                    {paper.exportMid, Action::ExportMid},
                    {serving.serve, Action::Serve}};
    QStringList given;
    for (const auto &command : commands) {
        if (parser.isSet(command.option)) {
            given << "--" + command.option.names().constFirst();
            result.action = command.action;
        }
    }
    if (given.size() > 1)
        return error(given.join(" and ") + " cannot be combined; give one command at a time.");
    const struct {
        const QCommandLineOption &option;
        QList<Action> actions;
        const char *goesWith;
    } modifiers[] = {
        {out,
         {Action::Send, Action::Receive, Action::FindSpeed, Action::Serve},
         "--send, --find-speed and --serve, or with --receive --request"},
        {in,
         {Action::Receive, Action::Send, Action::FindSpeed, Action::Serve},
         "--receive, --find-speed and --serve, or with --send --verify"},
        {speed,
         {Action::Send, Action::Serve, Action::ExportMid},
         "--send, --serve and --export-mid"},
        {fast, {Action::Send, Action::Serve}, "--send and --serve"},
        {request, {Action::Receive}, "--receive"},
        {timeout,
         {Action::Receive, Action::Send, Action::FindSpeed},
         "--receive and --find-speed, or with --send --verify"},
        {verify, {Action::Send, Action::Serve}, "--send and --serve"},
        {library,
         {Action::Send, Action::Receive, Action::FindSpeed, Action::LibraryList, Action::LibraryAdd,
          Action::LibraryGet, Action::LibraryHistory, Action::LibrarySearch, Action::SetListShow,
          Action::SetListAdd, Action::SetListRemove, Action::Serve},
         "--send, --receive, --find-speed, --serve and the --library- and --setlist- commands"},
        {noLibrary,
         {Action::Send, Action::Receive, Action::FindSpeed},
         "--send, --receive and --find-speed"},
        {entryName, {Action::LibraryAdd}, "--library-add"},
        {at, {Action::LibraryHistory}, "--library-history"},
        {output, {Action::Records, Action::ApplyRecords}, "--records and --apply-records"},
        {paper.heading, {Action::Sheet}, "--sheet"},
        {paper.page, {Action::Sheet}, "--sheet"},
        {serving.setList, {Action::Serve}, "--serve"},
        {serving.recallIn, {Action::Serve}, "--serve"},
    };
    for (const auto &modifier : modifiers) {
        if (parser.isSet(modifier.option) && !modifier.actions.contains(result.action))
            return error("--" + modifier.option.names().constFirst() + " goes only with " +
                         modifier.goesWith + ".");
    }

    // Where --send, --receive and --find-speed record what they move.
    result.libraryFolder = parser.value(library);
    result.noLibrary = parser.isSet(noLibrary);
    if (result.noLibrary && parser.isSet(library))
        return error("--library and --no-library cannot be combined.");

    const QStringList files = parser.positionalArguments();
    switch (result.action) {
    case Action::Run:
        if (files.size() > 1)
            return error("only one file can be opened; " + QString::number(files.size()) +
                         " were given.");
        if (!files.isEmpty())
            result.sysexFile = files[0];
        return result;
    case Action::ExportIni:
        if (files.size() != 2)
            return error("--export-ini needs two file names, the .syx file and the INI file to "
                         "write; " +
                         QString::number(files.size()) + " were given.");
        result.sysexFile = files[0];
        result.iniFile = files[1];
        return result;
    case Action::Diff:
        if (files.size() != 2)
            return error("--diff needs two file names, the .syx files to compare; " +
                         QString::number(files.size()) + " were given.");
        result.sysexFile = files[0];
        result.secondFile = files[1];
        return result;
    case Action::FindSpeed:
        if (files.size() > 1)
            return error("--find-speed takes one .syx file at most; " +
                         QString::number(files.size()) + " were given.");
        if (!parser.isSet(out) || !parser.isSet(in))
            return error("--find-speed needs --out PORT and --in PORT, the ports the box listens "
                         "and answers on.");
        result.sysexFile = files.value(0);
        result.outPort = parser.value(out);
        result.inPort = parser.value(in);
        result.timeoutSeconds = DefaultVerifySeconds;
        if (parser.isSet(timeout) && !readTimeout(parser.value(timeout), result.timeoutSeconds))
            return error(timeoutError(parser.value(timeout)));
        if (result.outPort.isEmpty() || result.inPort.isEmpty())
            return error("a port's name is empty.");
        return result;
    case Action::LibraryList:
    case Action::LibraryAdd:
    case Action::LibraryGet:
    case Action::LibraryHistory:
    case Action::LibrarySearch:
    case Action::SetListShow:
    case Action::SetListAdd:
    case Action::SetListRemove:
        return LibraryLine::parse(parser,
                                  {library, entryName, at, libraryGet, librarySearch, setListShow,
                                   setListAdd, setListRemove},
                                  result, error);
    case Action::Records:
    case Action::ApplyRecords:
    case Action::Conflicts:
        return parseRecords(parser, {records, applyRecords, conflicts, output}, result, error);
    case Action::Sheet:
    case Action::ExportMid: {
        const QString wrong = paper.parse(parser, speed, result);
        return wrong.isEmpty() ? result : error(wrong);
    }
    case Action::Serve: {
        const QString wrong = serving.parse(parser, {out, in, speed, fast, verify}, result);
        return wrong.isEmpty() ? result : error(wrong);
    }
    default:
        break;
    }
    if (!files.isEmpty())
        return error(given.constFirst() + " takes no other file: \"" + files[0] + "\".");
    if (result.action == Action::ListPorts)
        return result;

    result.outPort = parser.value(out);
    result.inPort = parser.value(in);
    switch (result.action) {
    case Action::Send:
        result.sysexFile = parser.value(send);
        if (!parser.isSet(out))
            return error("--send needs --out PORT, the port the box listens on.");
        result.fast = parser.isSet(fast);
        if (parser.isSet(speed)) {
            if (result.fast)
                return error("--speed and --fast cannot be combined.");
            const QString wrong = PaperOptions::readSpeed(parser.value(speed), result.speed);
            if (!wrong.isEmpty())
                return error(wrong);
        }
        result.verify = parser.isSet(verify);
        if (result.verify != parser.isSet(in))
            return error(result.verify ? "--verify needs --in PORT, the port the box answers on."
                                       : "--in goes with --send only to --verify.");
        if (parser.isSet(timeout) && !result.verify)
            return error("--timeout goes with --send only to --verify.");
        result.timeoutSeconds = DefaultVerifySeconds;
        if (parser.isSet(timeout) && !readTimeout(parser.value(timeout), result.timeoutSeconds))
            return error(timeoutError(parser.value(timeout)));
        break;
    case Action::Receive:
        result.sysexFile = parser.value(receive);
        if (!parser.isSet(in))
            return error("--receive needs --in PORT, the port the box sends on.");
        result.request = parser.isSet(request);
        if (result.request != parser.isSet(out))
            return error(result.request ? "--request needs --out PORT, the port the box listens on."
                                        : "--out goes with --receive only to send a --request.");
        if (parser.isSet(timeout) && !readTimeout(parser.value(timeout), result.timeoutSeconds))
            return error(timeoutError(parser.value(timeout)));
        break;
    default:
        break;
    }
    if (result.sysexFile.isEmpty())
        return error(given.constFirst() + " needs a file name.");
    if ((parser.isSet(out) && result.outPort.isEmpty()) ||
        (parser.isSet(in) && result.inPort.isEmpty()))
        return error("a port's name is empty.");
    return result;
}

} // namespace vkv::cli
