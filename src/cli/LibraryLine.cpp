#include "LibraryLine.h"

namespace vkv::cli {

namespace {

// "2026-12-01 18:00", with or without seconds, or a day alone (its start), in local time.
QDateTime readTime(const QString &text) {
    for (const char *format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-ddTHH:mm:ss",
                               "yyyy-MM-ddTHH:mm", "yyyy-MM-dd"}) {
        const QDateTime time = QDateTime::fromString(text, QString::fromLatin1(format));
        if (time.isValid())
            return time;
    }
    return {};
}

} // namespace

CommandLine LibraryLine::parse(const QCommandLineParser &parser, const Options &options,
                               CommandLine &result,
                               const std::function<CommandLine(const QString &)> &error) {
    using Action = CommandLine::Action;
    const QStringList files = parser.positionalArguments();
    result.libraryFolder = parser.value(options.library);
    if (parser.isSet(options.library) && result.libraryFolder.isEmpty())
        return error("--library needs a folder.");
    switch (result.action) {
    case Action::LibraryAdd:
        if (files.isEmpty())
            return error("--library-add needs the .syx or MIDI files to add.");
        if (parser.isSet(options.name) && files.size() != 1)
            return error("--name names one file; " + QString::number(files.size()) +
                         " were given.");
        result.files = files;
        result.name = parser.value(options.name);
        return result;
    case Action::LibraryGet:
        if (files.size() != 1)
            return error("--library-get needs the name of a configuration and one file to write "
                         "it to; " +
                         QString::number(files.size()) + " files were given.");
        result.name = parser.value(options.get);
        result.sysexFile = files[0];
        return result;
    case Action::LibraryHistory:
        if (parser.isSet(options.at)) {
            result.at = readTime(parser.value(options.at));
            if (!result.at.isValid())
                return error("--at takes a time as 2026-12-01 18:00, not \"" +
                             parser.value(options.at) + "\".");
        }
        break;
    case Action::LibrarySearch:
        result.query = parser.value(options.search);
        break;
    case Action::SetListShow:
        result.setList = parser.value(options.setListShow);
        break;
    case Action::SetListAdd:
    case Action::SetListRemove: {
        const bool adding = result.action == Action::SetListAdd;
        result.setList = parser.value(adding ? options.setListAdd : options.setListRemove);
        if (files.size() != (adding ? 2 : 1))
            return error(adding ? "--setlist-add NAME PROGRAM ENTRY needs a program number and a "
                                  "configuration's name after the set list's name."
                                : "--setlist-remove NAME PROGRAM needs a program number after the "
                                  "set list's name.");
        bool number = false;
        result.program = files[0].toInt(&number);
        if (!number || result.program < 0 || result.program > 127)
            return error("a program number is 0 to 127, not \"" + files[0] + "\".");
        if (adding)
            result.name = files[1];
        if (result.setList.isEmpty() || (adding && result.name.isEmpty()))
            return error(QString(adding ? "--setlist-add" : "--setlist-remove") +
                         " needs names that are not empty.");
        return result;
    }
    default:
        break;
    }
    if (result.action == Action::SetListShow && result.setList.isEmpty())
        return error("--setlist-show needs a set list's name.");
    if (!files.isEmpty())
        return error(QString(result.action == Action::LibraryList      ? "--library-list"
                             : result.action == Action::LibraryHistory ? "--library-history"
                             : result.action == Action::SetListShow    ? "--setlist-show"
                                                                       : "--library-search") +
                     " takes no file: \"" + files[0] + "\".");
    return result;
}

} // namespace vkv::cli
