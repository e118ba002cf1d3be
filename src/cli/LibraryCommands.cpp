#include "LibraryCommands.h"

#include "CommandIo.h"
#include "CommandLine.h"
#include "DumpFile.h"
#include "EntryName.h"
#include "ImportFile.h"
#include "SetListCommands.h"
#include "SyxFile.h"

#include <QFileInfo>
#include <QSet>
#include <memory>

namespace vkv::cli {

namespace {

using Io = CommandIo;
using library::Library;

} // namespace

std::unique_ptr<Library> LibraryCommands::open(const CommandLine &line, const QString &failing) {
    auto library = std::make_unique<Library>();
    const QString folder =
        line.libraryFolder.isEmpty() ? Library::defaultFolder() : line.libraryFolder;
    const bool open = library->open(folder);
    for (const QString &notice : library->takeNotices())
        Io::fail(notice);
    if (!open) {
        Io::fail(failing + library->error());
        return nullptr;
    }
    return library;
}

namespace {

QString time(const QDateTime &at, bool seconds = false) {
    return at.toLocalTime().toString(seconds ? QStringLiteral("yyyy-MM-dd HH:mm:ss")
                                             : QStringLiteral("yyyy-MM-dd HH:mm"));
}

// What a history event's content is called: the named configurations that hold it.
QString contentName(Library &library, const Library::Event &event) {
    if (event.test)
        return QStringLiteral("a test copy, not a configuration of the library");
    if (!event.whole())
        return {};
    const QStringList names = library.namesOf(event.key);
    return names.isEmpty() ? QStringLiteral("captured ") + event.key.left(12)
                           : names.join(QStringLiteral(", "));
}

int list(Library &library) {
    QString out;
    for (const Library::Entry &entry : library.entries()) {
        QStringList flags;
        if (entry.favourite)
            flags << QStringLiteral("favourite");
        if (entry.missing)
            flags << QStringLiteral("missing");
        if (!entry.sameAs.isEmpty())
            flags << QStringLiteral("same records as ") + entry.sameAs.join(QStringLiteral(", "));
        out += QStringList{entry.title(), time(entry.changed),
                           entry.tags.join(QStringLiteral(", ")), flags.join(QStringLiteral("; "))}
                   .join(u'\t') +
               u'\n';
    }
    Io::print(stdout, out);
    return 0;
}

int add(Library &library, const CommandLine &line) {
    int code = 0;
    for (const QString &file : line.files) {
        const library::ImportFile::Found found = library::ImportFile::read(file);
        if (found.dumps.empty()) {
            Io::fail(file + ": " + found.why + "; it was not added.");
            code = 1;
            continue;
        }
        const int count = static_cast<int>(found.dumps.size());
        for (int k = 0; k < count; ++k) {
            const QString name = library::ImportFile::numbered(
                line.name.isEmpty() ? library::ImportFile::name(QFileInfo(file).fileName())
                                    : line.name,
                k, count);
            if (!library.add(found.dumps[static_cast<std::size_t>(k)], name)) {
                Io::fail(file + ": " + library.error());
                code = 1;
            }
        }
    }
    for (const QString &notice : library.takeNotices())
        Io::fail(notice);
    return code;
}

int get(Library &library, const CommandLine &line) {
    const auto entry = library.named(line.name);
    if (!entry) {
        Io::fail(library.error());
        return 1;
    }
    const auto dump = library.read(*entry);
    if (!dump) {
        Io::fail(library.error());
        return 1;
    }
    QString why;
    bool cutShort = false;
    if (!image::SyxFile::write(
            line.sysexFile,
            QByteArray(reinterpret_cast<const char *>(dump->data()), image::DumpSize), &why,
            &cutShort)) {
        Io::fail("cannot write " + line.sysexFile + ": " + why + "; " + Io::leftAs(cutShort));
        return 1;
    }
    return 0;
}

int history(Library &library, const CommandLine &line) {
    const std::vector<Library::Event> events = library.history();
    QString out;
    if (!line.at.isValid()) {
        for (const Library::Event &event : events)
            out +=
                QStringList{time(event.time, true), event.text(), contentName(library, event)}.join(
                    u'\t') +
                u'\n';
    } else {
        // What each port's box held then: the ports used together say the same.
        QStringList ports;
        for (const Library::Event &event : events)
            if (!ports.contains(event.port))
                ports << event.port;
        ports.sort();
        for (const QString &port : ports)
            if (const auto held = library.heldAt(port, line.at))
                out += QStringList{port, time(held->event.time, true), held->event.text(),
                                   held->text()}
                           .join(u'\t') +
                       u'\n';
    }
    Io::print(stdout, out);
    return 0;
}

int search(Library &library, const CommandLine &line) {
    const library::LibraryQuery query = library::LibraryQuery::parse(line.query);
    if (!query.valid()) {
        Io::fail(query.error());
        return 2;
    }
    QString out;
    for (const Library::Hit &hit : library.search(query, library.entries()))
        out += hit.entry.title() + u'\t' + hit.records.text() + u'\n';
    Io::print(stdout, out);
    return 0;
}

} // namespace

int LibraryCommands::run(const CommandLine &line) {
    // A query that is no query is wrong use, said before the library is opened.
    if (line.action == CommandLine::Action::LibrarySearch &&
        !library::LibraryQuery::parse(line.query).valid()) {
        Io::fail(library::LibraryQuery::parse(line.query).error());
        return 2;
    }
    const auto library = open(line);
    if (!library)
        return 1;
    switch (line.action) {
    case CommandLine::Action::LibraryList:
        return list(*library);
    case CommandLine::Action::LibraryAdd:
        return add(*library, line);
    case CommandLine::Action::LibraryGet:
        return get(*library, line);
    case CommandLine::Action::LibraryHistory:
        return history(*library, line);
    case CommandLine::Action::LibrarySearch:
        return search(*library, line);
    case CommandLine::Action::SetListShow:
    case CommandLine::Action::SetListAdd:
    case CommandLine::Action::SetListRemove:
        return SetListCommands::run(line, *library);
    default:
        return 1;
    }
}

void LibraryCommands::record(const CommandLine &line, const Library::Capture &capture) {
    if (line.noLibrary)
        return;
    const QString what = capture.direction == Library::Direction::Received
                             ? QStringLiteral("warning: the library did not record the dump "
                                              "received: ")
                             : QStringLiteral("warning: the library did not record the send: ");
    const auto library = open(line, what);
    if (library && !library->capture(capture))
        Io::fail(what + library->error());
}

void LibraryCommands::verified(const CommandLine &line, const QString &port,
                               const image::DumpBytes &sent, bool held) {
    if (line.noLibrary)
        return;
    const QString what = QStringLiteral("warning: the library did not record the verify: ");
    const auto library = open(line, what);
    if (library && !library->verified(port, sent, held))
        Io::fail(what + library->error());
}

} // namespace vkv::cli
