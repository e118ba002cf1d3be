#include "Library.h"

#include "DumpFile.h"
#include "EntryName.h"
#include "FolderWalk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>
#include <atomic>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkv::library {

namespace {

Q_LOGGING_CATEGORY(lcLibrary, "vkv.library", QtInfoMsg)

const QString Captured = QStringLiteral("captured");
const QString IndexFolder = QStringLiteral("index");
const QString IndexFile = QStringLiteral("index/library.sqlite");

enum State { Present = 0, Missing = 1, InTrash = 2 };

QString when(const QDateTime &time) {
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QByteArray decoded(const image::DumpBytes &dump) {
    const LibraryQuery::Records records = LibraryQuery::decode(dump);
    return QByteArray(reinterpret_cast<const char *>(records.data()),
                      static_cast<qsizetype>(records.size()));
}

// A time as the index keeps it; shown in local time only where it is shown.
QDateTime fromIndex(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

// The regular files of a folder with their sizes and times, straight from the system: a folder
// of ten thousand configurations is read on every open.
struct Listed {
    QString name;
    qint64 size, mtime;
};
std::vector<Listed> listFiles(const QString &folder) {
    std::vector<Listed> files;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return files;
    while (const dirent *entry = ::readdir(dir)) {
        struct stat info {};
        if (entry->d_name[0] == '.' || ::fstatat(::dirfd(dir), entry->d_name, &info, 0) != 0 ||
            !S_ISREG(info.st_mode))
            continue;
        files.push_back(
            {QFile::decodeName(entry->d_name), static_cast<qint64>(info.st_size),
             static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000});
    }
    ::closedir(dir);
    return files;
}

QStringList tagList(const QString &text) {
    QStringList tags;
    for (const QString &tag : text.split(u',', Qt::SkipEmptyParts))
        if (!tag.trimmed().isEmpty())
            tags << tag.trimmed();
    return tags;
}

} // namespace

QString Library::Entry::title() const {
    return named() ? name : QStringLiteral("Captured: ") + captured;
}

QString Library::Event::text() const {
    QString words = direction == Direction::Received ? QStringLiteral("received from ") + port
                                                     : QStringLiteral("sent to ") + port;
    if (!whole())
        words += direction == Direction::Received
                     ? QStringLiteral(", broken after %1 bytes").arg(bytes)
                     : QStringLiteral(", broke off after %1 of %2 bytes")
                           .arg(bytes)
                           .arg(image::DumpSize);
    else if (verified == Verify::Held)
        words += QStringLiteral(", verified");
    else if (verified == Verify::Differed)
        words += QStringLiteral(", verify failed: the box held other values");
    if (test)
        words += QStringLiteral(" (test copy)");
    return words;
}

QString Library::Held::text(bool quoted) const {
    const auto named = [&](const QString &otherwise) {
        if (names.isEmpty())
            return otherwise;
        return quoted ? QStringLiteral("\u201c%1\u201d")
                            .arg(names.join(QStringLiteral("\u201d, \u201c")))
                      : names.join(QStringLiteral(", "));
    };
    const bool unverified = event.direction == Direction::Sent && event.verified != Verify::Held;
    if (known)
        return named(QStringLiteral("a captured configuration")) +
               (unverified ? QStringLiteral(", not verified") : QString());
    const QString sent =
        event.test ? QStringLiteral("a test copy of a search for the speed, not a configuration "
                                    "of the library")
        : event.whole() || !event.sending.isEmpty()
            ? named(QStringLiteral("a configuration with no name"))
            : QStringLiteral("not known");
    return QStringLiteral("a broken or unknown configuration since %1 (what was sent: %2, not "
                          "verified)")
        .arg(event.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), sent);
}

Library::Library(int busyTimeoutMs) : index(busyTimeoutMs) {}

Library::~Library() {
    if (copyDue && index.isOpen())
        writeCopy();
}

QString Library::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vkvela/library");
}

QString Library::path(const QString &file) const {
    return folder_ + u'/' + file;
}

QString Library::copyPath(int n) const {
    return path(QStringLiteral("index/copy-%1.sqlite").arg(n));
}

bool Library::fail(const QString &why) {
    // Said to the user by whoever asked; the log keeps it for a later look.
    error_ = why;
    qCInfo(lcLibrary, "%s", qPrintable(why));
    return false;
}

QStringList Library::takeNotices() {
    return std::exchange(notices, {});
}

bool Library::open(const QString &folder) {
    index.close();
    contents.clear();
    folder_ = QDir(folder).absolutePath();
    QDir dir;
    for (const QString &sub : {QString(), Captured, IndexFolder})
        if (!dir.mkpath(path(sub)))
            return fail(QStringLiteral("The library folder %1 cannot be made.")
                            .arg(QDir::toNativeSeparators(path(sub))));
    removeLeftovers();
    QString why;
    const LibraryIndex::Opened opened = index.open(path(IndexFile), &why);
    if (opened == LibraryIndex::Opened::Failed)
        return fail(QStringLiteral("The library in %1 cannot be opened: %2.")
                        .arg(QDir::toNativeSeparators(folder_), why));
    // A new index of a folder that held a library: it is made anew from the files, and what only
    // the index held comes back from its copies.
    QString copyTime;
    bool fromCopy = false;
    if (opened != LibraryIndex::Opened::Existing)
        fromCopy = takeBackCopy(&copyTime);
    if (!scan())
        return false;
    if (opened == LibraryIndex::Opened::Remade || fromCopy) {
        const int count = static_cast<int>(entries().size());
        QString said = opened == LibraryIndex::Opened::Remade
                           ? QStringLiteral("The library's index was damaged (%1) and was made "
                                            "anew")
                                 .arg(why)
                           : QStringLiteral("The library's index was not there and was made anew");
        said += QStringLiteral(" from the %1 configurations of the folder; ").arg(count);
        said += fromCopy ? QStringLiteral("notes, tags and history came back from its copy of %1.")
                               .arg(copyTime)
                         : QStringLiteral("there was no copy to bring notes, tags and history "
                                          "back from.");
        notices << said;
        qCWarning(lcLibrary, "%s", qPrintable(said));
        copyDue = true;
    }
    const QFileInfo newest(copyPath(1));
    if (!newest.exists() || newest.lastModified().msecsTo(QDateTime::currentDateTime()) > CopyAgeMs)
        copyDue = true;
    copyWhenDue();
    return true;
}

void Library::removeLeftovers() {
    int removed = 0;
    for (const QString &sub : {QString(), Captured})
        removed += DumpFile::removeLeftovers(path(sub));
    removed += DumpFile::removeLeftovers(path(IndexFolder), QStringLiteral("copy-new-"));
    if (removed > 0)
        qCInfo(lcLibrary,
               "%d files left in %s by a program that ended while it wrote them were "
               "removed",
               removed, qPrintable(folder_));
}

bool Library::takeBackCopy(QString *when) {
    std::vector<QFileInfo> copies;
    for (int n = 1; n <= Copies; ++n)
        if (QFileInfo copy(copyPath(n)); copy.exists())
            copies.push_back(copy);
    std::sort(copies.begin(), copies.end(), [](const QFileInfo &a, const QFileInfo &b) {
        return a.lastModified() > b.lastModified();
    });
    for (const QFileInfo &copy : copies) {
        QString why;
        if (index.takeFrom(copy.filePath(), &why)) {
            *when = library::when(copy.lastModified());
            return true;
        }
        qCWarning(lcLibrary, "the copy %s cannot be taken back from: %s",
                  qPrintable(copy.filePath()), qPrintable(why));
    }
    return false;
}

void Library::copyWhenDue() {
    // At most every ten seconds, so that a run of edits costs one copy; the rest as it closes.
    if (copyDue && (!sinceCopy.isValid() || sinceCopy.elapsed() > 10000))
        writeCopy();
}

bool Library::writeCopy() {
    sinceCopy.start();
    // Named by the process and the thread: the window's library and the captures' (on a thread
    // of their own) in one program may both be writing a copy at once.
    static std::atomic<int> threads{0};
    thread_local const int self = ++threads;
    const QString fresh =
        path(QStringLiteral("index/copy-new-%1-%2.sqlite").arg(::getpid()).arg(self));
    QString why;
    if (!index.copyTo(fresh, &why)) {
        qCWarning(lcLibrary, "no copy of the index was made: %s", qPrintable(why));
        return false;
    }
    // The newest is replaced while it is young; older ones keep their age.
    const QFileInfo newest(copyPath(1));
    if (newest.exists() &&
        newest.lastModified().msecsTo(QDateTime::currentDateTime()) > CopyAgeMs) {
        for (int n = Copies - 1; n >= 1; --n)
            if (QFileInfo::exists(copyPath(n)))
                std::rename(QFile::encodeName(copyPath(n)).constData(),
                            QFile::encodeName(copyPath(n + 1)).constData());
    }
    if (std::rename(QFile::encodeName(fresh).constData(),
                    QFile::encodeName(copyPath(1)).constData()) != 0) {
        QFile::remove(fresh);
        qCWarning(lcLibrary, "no copy of the index was made: %s", std::strerror(errno));
        return false;
    }
    copyDue = false;
    return true;
}

Library::Found Library::stat(const QString &file) const {
    struct stat info {};
    if (::stat(QFile::encodeName(path(file)).constData(), &info) != 0)
        return {};
    return {static_cast<qint64>(info.st_size),
            static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000};
}

bool Library::putEntry(const QString &file, const image::DumpBytes &dump, const Found &found,
                       bool fresh, QString *why, qint64 *id) {
    const QString key = DumpFile::key(dump);
    QSqlQuery content(index.db());
    content.prepare(QStringLiteral("INSERT OR IGNORE INTO contents(key, records) VALUES(?, ?)"));
    content.addBindValue(key);
    content.addBindValue(decoded(dump));
    if (!LibraryIndex::run(content, why))
        return false;
    // A new configuration gets a row of its own, never another's (a deleted one keeps its row,
    // notes and all); a file read again, or one that is back, keeps its row.
    QSqlQuery entry(index.db());
    entry.prepare(fresh ? QStringLiteral("INSERT INTO entries(file, key, size, mtime, state) "
                                         "VALUES(?, ?, ?, ?, 0)")
                        : QStringLiteral("INSERT INTO entries(file, key, size, mtime, state) "
                                         "VALUES(?, ?, ?, ?, 0) ON CONFLICT(file) WHERE state != 2 "
                                         "DO UPDATE SET key = excluded.key, size = excluded.size, "
                                         "mtime = excluded.mtime, state = 0"));
    entry.addBindValue(file);
    entry.addBindValue(key);
    entry.addBindValue(found.size);
    entry.addBindValue(found.mtime);
    if (!LibraryIndex::run(entry, why))
        return false;
    if (id)
        *id = entry.lastInsertId().toLongLong();
    return true;
}

bool Library::scan() {
    // What the folder holds now.
    QHash<QString, Found> files;
    for (const QString &sub : {QString(), Captured}) {
        for (const Listed &listed : listFiles(path(sub))) {
            if (!listed.name.endsWith(QLatin1String(EntryName::Suffix), Qt::CaseInsensitive))
                continue;
            files.insert(sub.isEmpty() ? listed.name : sub + u'/' + listed.name,
                         {listed.size, listed.mtime});
        }
    }
    // What the index knew of it.
    struct Known {
        Found found;
        int state;
    };
    QHash<QString, Known> known;
    QSqlQuery rows(index.db());
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT file, size, mtime, state FROM entries WHERE state != 2")))
        return fail(LibraryIndex::words(rows.lastError()));
    while (rows.next())
        known.insert(
            rows.value(0).toString(),
            {{rows.value(1).toLongLong(), rows.value(2).toLongLong()}, rows.value(3).toInt()});
    rows.finish();

    // New and changed files are read again; the files are the truth.
    struct Read {
        QString file;
        image::DumpBytes dump;
        Found found;
    };
    std::vector<Read> read;
    QStringList gone;
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        const auto was = known.constFind(file.key());
        if (was != known.cend() && was->state == Present && was->found.size == file->size &&
            was->found.mtime == file->mtime)
            continue;
        QString why;
        const auto dump = DumpFile::read(path(file.key()), &why);
        if (!dump) {
            qCWarning(lcLibrary, "%s is left out of the library: %s", qPrintable(path(file.key())),
                      qPrintable(why));
            if (was != known.cend() && was->state == Present)
                gone << file.key();
            continue;
        }
        read.push_back({file.key(), *dump, *file});
    }
    for (auto was = known.cbegin(); was != known.cend(); ++was)
        if (was->state == Present && !files.contains(was.key()))
            gone << was.key();
    if (read.empty() && gone.isEmpty())
        return true;
    for (const QString &file : gone)
        qCInfo(lcLibrary, "%s went behind the library's back", qPrintable(path(file)));
    QString why;
    const bool written = index.write(
        [&](QString *failed) {
            for (const Read &r : read)
                if (!putEntry(r.file, r.dump, r.found, false, failed))
                    return false;
            QSqlQuery missing(index.db());
            missing.prepare(QStringLiteral("UPDATE entries SET state = 1 WHERE file = ? AND "
                                           "state = 0"));
            for (const QString &file : gone) {
                missing.addBindValue(file);
                if (!LibraryIndex::run(missing, failed))
                    return false;
            }
            return true;
        },
        &why);
    if (!written)
        return fail(why);
    copyDue = true;
    return true;
}

bool Library::refresh() {
    if (!isOpen())
        return fail(QStringLiteral("The library is not open."));
    const bool scanned = scan();
    copyWhenDue();
    return scanned;
}

std::vector<Library::Entry> Library::entries() {
    std::vector<Entry> list;
    if (!isOpen())
        return list;
    // How each captured content came first.
    QHash<QString, QString> firstCame;
    QSqlQuery first(index.db());
    first.setForwardOnly(true);
    if (first.exec(QStringLiteral("SELECT key, min(time), direction, port FROM events WHERE key "
                                  "IS NOT NULL AND test = 0 GROUP BY key"))) {
        while (first.next()) {
            Event event;
            event.direction = static_cast<Direction>(first.value(2).toInt());
            event.port = first.value(3).toString();
            event.key = first.value(0).toString();
            firstCame.insert(event.key, event.text() + QStringLiteral(" on ") +
                                            when(fromIndex(first.value(1).toLongLong())));
        }
    }
    QSqlQuery rows(index.db());
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT file, key, mtime, state, notes, tags, favourite, id "
                                  "FROM entries WHERE state != 2 ORDER BY file"))) {
        fail(LibraryIndex::words(rows.lastError()));
        return list;
    }
    QHash<QString, QStringList> namedByKey;
    while (rows.next()) {
        Entry entry;
        entry.file = rows.value(0).toString();
        entry.key = rows.value(1).toString();
        entry.changed = fromIndex(rows.value(2).toLongLong());
        entry.missing = rows.value(3).toInt() == Missing;
        entry.notes = rows.value(4).toString();
        entry.tags = tagList(rows.value(5).toString());
        entry.favourite = rows.value(6).toInt() != 0;
        entry.id = rows.value(7).toLongLong();
        if (!entry.file.startsWith(Captured + u'/')) {
            entry.name = EntryName::fromFile(entry.file);
            if (!entry.missing)
                namedByKey[entry.key] << entry.name;
        } else {
            entry.captured = firstCame.value(entry.key, QStringLiteral("not in the history"));
        }
        list.push_back(std::move(entry));
    }
    // A captured content that a named configuration holds is shown as that one.
    std::erase_if(list, [&](const Entry &e) { return !e.named() && namedByKey.contains(e.key); });
    // Named ones by name, then the captured ones.
    std::sort(list.begin(), list.end(), [](const Entry &a, const Entry &b) {
        if (a.named() != b.named())
            return a.named();
        return a.title().compare(b.title(), Qt::CaseInsensitive) < 0;
    });
    for (Entry &entry : list) {
        if (!entry.named())
            continue;
        for (const QString &other : namedByKey.value(entry.key))
            if (other != entry.name)
                entry.sameAs << other;
    }
    return list;
}

std::optional<Library::Entry> Library::named(const QString &name) {
    std::optional<Entry> loose;
    for (Entry &entry : entries()) {
        if (!entry.named())
            continue;
        if (entry.name == name)
            return entry;
        if (EntryName::same(entry.name, name))
            loose = entry;
    }
    if (!loose)
        fail(QStringLiteral("There is no configuration \"%1\" in the library.").arg(name));
    return loose;
}

namespace {

Library::Event eventOf(const QSqlQuery &row) {
    Library::Event event;
    event.id = row.value(0).toLongLong();
    event.time = QDateTime::fromMSecsSinceEpoch(row.value(1).toLongLong(), Qt::UTC);
    event.direction = static_cast<Library::Direction>(row.value(2).toInt());
    event.port = row.value(3).toString();
    event.key = row.value(4).toString();
    event.bytes = row.value(5).toInt();
    if (!row.value(6).isNull())
        event.verified =
            row.value(6).toInt() != 0 ? Library::Verify::Held : Library::Verify::Differed;
    event.test = row.value(7).toInt() != 0;
    event.paired = row.value(8).toString();
    event.sending = row.value(9).toString();
    return event;
}

const QString EventColumns =
    QStringLiteral("id, time, direction, port, key, bytes, verified, test, paired, sending");

} // namespace

std::vector<Library::Event> Library::history() {
    std::vector<Event> events;
    if (!isOpen())
        return events;
    QSqlQuery rows(index.db());
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT %1 FROM events ORDER BY time DESC, id DESC")
                       .arg(EventColumns))) {
        fail(LibraryIndex::words(rows.lastError()));
        return events;
    }
    while (rows.next())
        events.push_back(eventOf(rows));
    return events;
}

QStringList Library::boxOf(const QString &port) {
    // The ports of the history, and which were used together.
    QSqlQuery rows(index.db());
    rows.setForwardOnly(true);
    QHash<QString, QStringList> together;
    if (rows.exec(QStringLiteral("SELECT DISTINCT port, paired FROM events"))) {
        while (rows.next()) {
            const QString a = rows.value(0).toString(), b = rows.value(1).toString();
            together[a];
            if (!b.isEmpty()) {
                together[a] << b;
                together[b] << a;
            }
        }
    }
    // A client's name stands for its ports.
    QStringList box;
    for (auto it = together.cbegin(); it != together.cend(); ++it)
        if (it.key() == port || it.key().startsWith(port + u':'))
            box << it.key();
    if (box.isEmpty())
        box << port;
    for (qsizetype at = 0; at < box.size(); ++at)
        for (const QString &other : together.value(box[at]))
            if (!box.contains(other))
                box << other;
    box.sort();
    return box;
}

std::optional<Library::Held> Library::heldAt(const QString &port, const QDateTime &time) {
    Held held;
    held.ports = boxOf(port);
    QStringList marks;
    for (qsizetype n = 0; n < held.ports.size(); ++n)
        marks << QStringLiteral("?");
    QSqlQuery rows(index.db());
    rows.setForwardOnly(true);
    rows.prepare(QStringLiteral("SELECT %1 FROM events WHERE time <= ? AND port IN (%2) ORDER BY "
                                "time DESC, id DESC")
                     .arg(EventColumns, marks.join(u',')));
    rows.addBindValue(time.toMSecsSinceEpoch());
    for (const QString &p : held.ports)
        rows.addBindValue(p);
    if (!rows.exec()) {
        fail(LibraryIndex::words(rows.lastError()));
        return std::nullopt;
    }
    // The newest event that tells: a dump from the box that broke off, and the answers to test
    // copies, leave what it holds as it was.
    bool found = false;
    while (!found && rows.next()) {
        const Event event = eventOf(rows);
        if (event.direction == Direction::Received && (!event.whole() || event.test))
            continue;
        found = true;
        held.event = event;
        // A send that broke off, a test copy and a send the box was found not to hold leave it
        // holding something half-written or other.
        held.known = event.direction == Direction::Received ||
                     (event.whole() && !event.test && event.verified != Verify::Differed);
    }
    rows.finish();
    if (!found) {
        fail(QStringLiteral("Nothing was received from or sent to %1 before %2.")
                 .arg(port, when(time)));
        return std::nullopt;
    }
    const QString key = held.event.whole() ? held.event.key : held.event.sending;
    if (!held.event.test && !key.isEmpty())
        held.names = namesOf(key);
    return held;
}

std::optional<image::DumpBytes> Library::read(const Entry &entry) {
    QString why;
    auto dump = DumpFile::read(path(entry.file), &why);
    if (!dump) {
        fail(QStringLiteral("\"%1\" cannot be read from %2: %3.")
                 .arg(entry.title(), QDir::toNativeSeparators(path(entry.file)), why));
        refresh(); // it went or changed: the list shows it so
        return std::nullopt;
    }
    if (DumpFile::key(*dump) != entry.key)
        refresh(); // changed behind the library's back: the file is the truth
    return dump;
}

std::optional<image::DumpBytes> Library::content(const QString &key) {
    QSqlQuery rows(index.db());
    rows.prepare(QStringLiteral("SELECT file FROM entries WHERE key = ? AND state = 0"));
    rows.addBindValue(key);
    if (rows.exec()) {
        while (rows.next()) {
            const auto dump = DumpFile::read(path(rows.value(0).toString()));
            if (dump && DumpFile::key(*dump) == key)
                return dump;
        }
    }
    fail(QStringLiteral("No file of the library holds that configuration now."));
    return std::nullopt;
}

QStringList Library::namesOf(const QString &key) {
    QStringList names;
    QSqlQuery rows(index.db());
    rows.prepare(QStringLiteral("SELECT file FROM entries WHERE key = ? AND state = 0 AND "
                                "file NOT LIKE 'captured/%'"));
    rows.addBindValue(key);
    if (rows.exec())
        while (rows.next())
            names << EntryName::fromFile(rows.value(0).toString());
    names.sort(Qt::CaseInsensitive);
    return names;
}

QString Library::takenBy(const QString &name, const QString &except) const {
    QStringList files = QDir(folder_).entryList(QDir::Files | QDir::Hidden);
    // One whose file went keeps its name until it is deleted: its file may come back.
    QSqlQuery missing(index.db());
    missing.setForwardOnly(true);
    if (missing.exec(QStringLiteral("SELECT file FROM entries WHERE state = 1 AND file NOT LIKE "
                                    "'captured/%'")))
        while (missing.next())
            files << missing.value(0).toString();
    for (const QString &file : files) {
        const QString other = EntryName::fromFile(file);
        if (file != except &&
            file.endsWith(QLatin1String(EntryName::Suffix), Qt::CaseInsensitive) &&
            EntryName::same(other, name))
            return other;
    }
    return {};
}

bool Library::listed(const QString &file) const {
    QSqlQuery there(index.db());
    there.prepare(QStringLiteral("SELECT 1 FROM entries WHERE file = ? AND state != 2"));
    there.addBindValue(file);
    return there.exec() && there.next();
}

QString Library::freeName(const QString &name) const {
    if (takenBy(name).isEmpty())
        return name;
    for (int n = 1;; ++n) {
        const QString mark =
            n == 1 ? QStringLiteral(" (restored)") : QStringLiteral(" (restored %1)").arg(n);
        QString base = name;
        while ((base + mark).toUtf8().size() > EntryName::MaxBytes)
            base.chop(1);
        if (takenBy(base.trimmed() + mark).isEmpty())
            return base.trimmed() + mark;
    }
}

std::optional<Library::Entry> Library::add(const image::DumpBytes &dump, const QString &name) {
    if (!isOpen()) {
        fail(QStringLiteral("The library is not open."));
        return std::nullopt;
    }
    const QString refused = EntryName::refusal(name);
    if (!refused.isEmpty()) {
        error_ = refused;
        return std::nullopt;
    }
    const auto takenMessage = [&](const QString &by) {
        error_ = QStringLiteral("The name \"%1\" is taken already (by \"%2\").").arg(name, by);
        return std::nullopt;
    };
    if (const QString by = takenBy(name); !by.isEmpty())
        return takenMessage(by);
    const QString file = EntryName::fileName(name);
    QString why;
    bool taken = false;
    if (!DumpFile::write(path(file), dump, false, true, &why, &taken)) {
        if (taken)
            return takenMessage(name); // another program took it a moment ago
        fail(QStringLiteral("\"%1\" cannot be written to %2: %3.")
                 .arg(name, QDir::toNativeSeparators(folder_), why));
        return std::nullopt;
    }
    image::DumpBytes framed = dump;
    image::frameDump(framed.data());
    Entry entry;
    if (!index.write(
            [&](QString *failed) {
                return putEntry(file, framed, stat(file), true, failed, &entry.id);
            },
            &why))
        notices << QStringLiteral("\"%1\" is in the library folder, but its index could not take "
                                  "it now (%2); it is taken in when the library next opens.")
                       .arg(name, why);
    copyDue = true;
    copyWhenDue();
    entry.file = file;
    entry.name = name;
    entry.key = DumpFile::key(framed);
    entry.changed = QDateTime::currentDateTime();
    return entry;
}

bool Library::update(const QString &sql, const QVariantList &values, const QString &gone) {
    QString why;
    const bool written = index.write(
        [&](QString *failed) {
            QSqlQuery query(index.db());
            query.prepare(sql);
            for (const QVariant &value : values)
                query.addBindValue(value);
            if (!LibraryIndex::run(query, failed))
                return false;
            if (!gone.isEmpty() && query.numRowsAffected() == 0) {
                *failed = gone;
                return false;
            }
            return true;
        },
        &why);
    return kept(written, why);
}

namespace {

const QString NotThere = QStringLiteral("it is not in the library now");

QString goneFrom(const Library::Entry &entry) {
    return QStringLiteral("\"%1\" is not in the library now; another program may have deleted "
                          "it.")
        .arg(entry.title());
}

} // namespace

bool Library::kept(bool written, const QString &why) {
    if (!written)
        return fail(why);
    copyDue = true;
    copyWhenDue();
    return true;
}

bool Library::rename(const Entry &entry, const QString &name) {
    if (!entry.named())
        return fail(QStringLiteral("A captured configuration has no name to change; keep it "
                                   "under a name instead."));
    if (name == entry.name)
        return true;
    const QString refused = EntryName::refusal(name);
    if (!refused.isEmpty()) {
        error_ = refused;
        return false;
    }
    if (const QString by = takenBy(name, entry.file); !by.isEmpty()) {
        error_ = QStringLiteral("The name \"%1\" is taken already (by \"%2\").").arg(name, by);
        return false;
    }
    // The file moves within the index's write, so that both move or neither: a write the index
    // refuses puts the file back.
    const QString file = EntryName::fileName(name);
    bool moved = false, taken = false;
    QString why;
    const bool written = index.write(
        [&](QString *failed) {
            QSqlQuery row(index.db());
            row.prepare(QStringLiteral("UPDATE entries SET file = ? WHERE id = ? AND state != 2"));
            row.addBindValue(file);
            row.addBindValue(entry.id);
            if (!LibraryIndex::run(row, failed))
                return false;
            if (row.numRowsAffected() == 0) {
                *failed = NotThere;
                return false;
            }
            if (!DumpFile::moveNew(path(entry.file), path(file), failed, &taken))
                return false;
            moved = true;
            QSqlQuery time(index.db());
            time.prepare(QStringLiteral("UPDATE entries SET mtime = ? WHERE id = ?"));
            time.addBindValue(stat(file).mtime);
            time.addBindValue(entry.id);
            return LibraryIndex::run(time, failed);
        },
        &why);
    if (!written) {
        if (moved && !DumpFile::moveNew(path(file), path(entry.file)))
            refresh(); // it stays under the new name: the list shows it so
        return fail(taken ? QStringLiteral("The name \"%1\" is taken already.").arg(name)
                          : QStringLiteral("\"%1\" was not renamed: %2.").arg(entry.name, why));
    }
    return kept(true, {});
}

bool Library::setNotes(const Entry &entry, const QString &notes) {
    return update(QStringLiteral("UPDATE entries SET notes = ? WHERE id = ?"), {notes, entry.id},
                  goneFrom(entry));
}

bool Library::setTags(const Entry &entry, const QStringList &tags) {
    QStringList kept;
    for (const QString &tag : tags)
        if (!tag.trimmed().isEmpty() && !kept.contains(tag.trimmed()))
            kept << tag.trimmed().replace(u',', u' ');
    return update(QStringLiteral("UPDATE entries SET tags = ? WHERE id = ?"),
                  {kept.join(QStringLiteral(", ")), entry.id}, goneFrom(entry));
}

bool Library::setFavourite(const Entry &entry, bool favourite) {
    return update(QStringLiteral("UPDATE entries SET favourite = ? WHERE id = ?"),
                  {favourite ? 1 : 0, entry.id}, goneFrom(entry));
}

namespace {

// Takes a file back out of the desktop's trash to `to`. The trash may be on another disk: QFile
// copies where it cannot rename, and never over a file.
bool outOfTrash(const QString &inTrash, const QString &to) {
    return QFile::rename(inTrash, to);
}

// The trash's note of where a file it held came from, which goes once the file is back.
void forgetTrashInfo(const QString &inTrash) {
    const QFileInfo info(inTrash);
    QFile::remove(info.absolutePath() + QStringLiteral("/../info/") + info.fileName() +
                  QStringLiteral(".trashinfo"));
}

} // namespace

std::optional<Library::Trashed> Library::trash(const Entry &entry) {
    // The file goes within the index's write: a write the index refuses (another program holds
    // it past the timeout) takes the file back out of the trash.
    Trashed trashed{entry.id, entry.file, {}};
    QString why;
    const bool written = index.write(
        [&](QString *failed) {
            QSqlQuery row(index.db());
            row.prepare(QStringLiteral("UPDATE entries SET state = 2 WHERE id = ? AND state != 2"));
            row.addBindValue(entry.id);
            if (!LibraryIndex::run(row, failed))
                return false;
            if (row.numRowsAffected() == 0) {
                *failed = NotThere;
                return false;
            }
            if (QFileInfo::exists(path(entry.file)) &&
                !QFile::moveToTrash(path(entry.file), &trashed.inTrash)) {
                *failed = QStringLiteral("it could not be put in the trash");
                return false;
            }
            return true;
        },
        &why);
    if (!written) {
        const bool back =
            trashed.inTrash.isEmpty() || outOfTrash(trashed.inTrash, path(entry.file));
        if (!back) {
            fail(QStringLiteral("\"%1\" is in the trash (%2), but the library could not note it "
                                "(%3): take it back out of the trash to have it in the library.")
                     .arg(entry.title(), QDir::toNativeSeparators(trashed.inTrash), why));
            refresh();
            return std::nullopt;
        }
        if (!trashed.inTrash.isEmpty())
            forgetTrashInfo(trashed.inTrash);
        fail(QStringLiteral("\"%1\" was not deleted: %2.").arg(entry.title(), why));
        return std::nullopt;
    }
    kept(true, {});
    return trashed;
}

std::optional<QString> Library::restore(const Trashed &trashed, bool *again) {
    if (again)
        *again = false;
    if (!isOpen()) {
        fail(QStringLiteral("The library is not open."));
        return std::nullopt;
    }
    const QString was = EntryName::fromFile(trashed.file);
    const bool named = !trashed.file.startsWith(Captured + u'/');
    QSqlQuery row(index.db());
    row.prepare(QStringLiteral("SELECT state FROM entries WHERE id = ?"));
    row.addBindValue(trashed.id);
    if (!row.exec() || !row.next() || row.value(0).toInt() != InTrash) {
        fail(QStringLiteral("\"%1\" cannot come back: it is not among the library's deleted "
                            "configurations now.")
                 .arg(named ? was : QStringLiteral("The captured configuration")));
        return std::nullopt;
    }
    row.finish();
    // A name taken meanwhile is left to its configuration: this one comes back under a free one.
    // A captured one is named by its content, so a file there now holds the same records.
    QString file = trashed.file;
    if (named) {
        file = EntryName::fileName(freeName(was));
    } else if (QFileInfo::exists(path(file)) || listed(file)) {
        fail(QStringLiteral("The captured configuration cannot come back: it was captured again "
                            "since, and is in the library."));
        return std::nullopt;
    }
    if (!trashed.inTrash.isEmpty() && !outOfTrash(trashed.inTrash, path(file))) {
        fail(QStringLiteral("\"%1\" cannot be taken back out of the trash.")
                 .arg(named ? was : QStringLiteral("The captured configuration")));
        return std::nullopt;
    }
    const Found found = stat(file);
    if (!update(QStringLiteral("UPDATE entries SET state = ?, file = ?, size = ?, mtime = ? WHERE "
                               "id = ?"),
                {trashed.inTrash.isEmpty() ? Missing : Present, file, found.size, found.mtime,
                 trashed.id})) {
        // Back to the trash, so that a later undo can try again.
        if (again)
            *again = trashed.inTrash.isEmpty() || QFile::rename(path(file), trashed.inTrash);
        return std::nullopt;
    }
    if (!trashed.inTrash.isEmpty())
        forgetTrashInfo(trashed.inTrash);
    refresh();
    return named ? EntryName::fromFile(file) : QString();
}

bool Library::capture(const Capture &capture) {
    if (!isOpen())
        return fail(QStringLiteral("The library is not open."));
    const auto keyOf = [](const std::optional<image::DumpBytes> &dump) {
        if (!dump)
            return QVariant(QMetaType(QMetaType::QString));
        image::DumpBytes framed = *dump;
        image::frameDump(framed.data());
        return QVariant(DumpFile::key(framed));
    };
    const QVariant key = keyOf(capture.dump);
    // A configuration is kept once per content: a second capture of it finds its file there. A
    // test copy is never kept: its key lets its verify find it.
    const bool keep = capture.dump && !capture.test;
    const QString file =
        keep ? Captured + u'/' + key.toString() + QLatin1String(EntryName::Suffix) : QString();
    image::DumpBytes framed{};
    if (keep) {
        framed = *capture.dump;
        image::frameDump(framed.data());
        QString why;
        if (!QFileInfo::exists(path(file)) &&
            !DumpFile::write(path(file), framed, true, true, &why))
            return fail(QStringLiteral("The configuration cannot be written to %1: %2.")
                            .arg(QDir::toNativeSeparators(path(Captured)), why));
    }
    QString why;
    const bool written = index.write(
        [&](QString *failed) {
            if (keep && !putEntry(file, framed, stat(file), false, failed))
                return false;
            QSqlQuery event(index.db());
            event.prepare(QStringLiteral("INSERT INTO events(time, direction, port, key, bytes, "
                                         "test, paired, sending) VALUES(?, ?, ?, ?, ?, ?, ?, ?)"));
            event.addBindValue(capture.time.toMSecsSinceEpoch());
            event.addBindValue(static_cast<int>(capture.direction));
            event.addBindValue(capture.port);
            event.addBindValue(key);
            event.addBindValue(capture.dump ? image::DumpSize : capture.bytes);
            event.addBindValue(capture.test ? 1 : 0);
            event.addBindValue(capture.paired.isEmpty() ? QVariant(QMetaType(QMetaType::QString))
                                                        : QVariant(capture.paired));
            event.addBindValue(capture.dump ? QVariant(QMetaType(QMetaType::QString))
                                            : keyOf(capture.sending));
            return LibraryIndex::run(event, failed);
        },
        &why);
    return kept(written, why);
}

bool Library::verified(const QString &port, const image::DumpBytes &sent, bool held) {
    image::DumpBytes framed = sent;
    image::frameDump(framed.data());
    return update(QStringLiteral("UPDATE events SET verified = ? WHERE id = (SELECT id FROM events "
                                 "WHERE direction = 1 AND port = ? AND key = ? AND verified IS "
                                 "NULL ORDER BY time DESC, id DESC LIMIT 1)"),
                  {held ? 1 : 0, port, DumpFile::key(framed)});
}

const LibraryQuery::Records *Library::cached(const QString &key) {
    const auto take = [this](const QString &key, const QByteArray &bytes) {
        LibraryQuery::Records &records = contents[key];
        if (bytes.size() == static_cast<qsizetype>(records.size()))
            std::copy(bytes.begin(), bytes.end(), records.begin());
        return &records;
    };
    if (contents.isEmpty()) {
        // All at once the first time: one query instead of thousands.
        QSqlQuery rows(index.db());
        rows.setForwardOnly(true);
        if (rows.exec(QStringLiteral("SELECT key, records FROM contents")))
            while (rows.next())
                take(rows.value(0).toString(), rows.value(1).toByteArray());
    }
    auto found = contents.constFind(key);
    if (found != contents.cend())
        return &*found;
    // Another program's since.
    QSqlQuery row(index.db());
    row.prepare(QStringLiteral("SELECT records FROM contents WHERE key = ?"));
    row.addBindValue(key);
    if (!row.exec() || !row.next())
        return nullptr;
    return take(key, row.value(0).toByteArray());
}

std::vector<Library::Hit> Library::search(const LibraryQuery &query,
                                          const std::vector<Entry> &among) {
    std::vector<Hit> hits;
    for (const Entry &entry : among) {
        const QString title = entry.title(), tags = entry.tags.join(u' ');
        if (!query.wordsMatch({&title, &entry.notes, &tags}))
            continue;
        Hit hit{entry, {}};
        if (query.hasContentTerms()) {
            const LibraryQuery::Records *records = cached(entry.key);
            if (!records)
                continue;
            hit.records = query.matchingRecords(*records);
            if (hit.records.count == 0)
                continue;
        }
        hits.push_back(std::move(hit));
    }
    return hits;
}

Library::Imported Library::importFolder(const QString &from) {
    Imported imported;
    if (!isOpen()) {
        fail(QStringLiteral("The library is not open."));
        return imported;
    }
    // The names taken, as one name (case and normalisation not counting), and what they hold;
    // one whose file is missing keeps its name.
    QHash<QString, QString> taken;
    for (const Entry &entry : entries())
        if (entry.named())
            taken.insert(EntryName::folded(entry.name), entry.missing ? QString() : entry.key);
    for (const QString &file : QDir(folder_).entryList(QDir::Files | QDir::Hidden))
        if (file.endsWith(QLatin1String(EntryName::Suffix), Qt::CaseInsensitive) &&
            !taken.contains(EntryName::folded(EntryName::fromFile(file))))
            taken.insert(EntryName::folded(EntryName::fromFile(file)), QString()); // not in yet
    struct New {
        QString file;
        image::DumpBytes dump;
    };
    std::vector<New> added;
    // The library's own folder, where it is inside the folder imported, is passed over.
    const FolderWalk walk(from, QFileInfo(folder_).canonicalFilePath(),
                          QStringLiteral("the library's own folder"));
    for (const FolderWalk::Passed &passed : walk.passed())
        imported.refused.push_back({QDir::toNativeSeparators(passed.shown), passed.why});
    for (const FolderWalk::File &found : walk.files()) {
        const QString shown = QDir::toNativeSeparators(found.shown);
        QString why;
        auto dump = DumpFile::read(found.path, &why);
        if (!dump) {
            imported.refused.push_back({shown, why});
            continue;
        }
        image::frameDump(dump->data());
        const QString key = DumpFile::key(*dump);
        const QString fitted =
            EntryName::fitted(EntryName::fromFile(QFileInfo(found.path).fileName()));
        const QString base = fitted.isEmpty() ? QStringLiteral("Imported") : fitted;
        QString name = base;
        if (taken.contains(EntryName::folded(name)) &&
            taken.value(EntryName::folded(name)) == key) {
            imported.already << shown;
            continue;
        }
        // A name made longer must still fit.
        for (int n = 2; taken.contains(EntryName::folded(name)); ++n) {
            const QString mark = QStringLiteral(" (%1)").arg(n);
            QString stem = base;
            while ((stem + mark).toUtf8().size() > EntryName::MaxBytes)
                stem.chop(1);
            name = stem.trimmed() + mark;
        }
        QString failed;
        bool clash = false;
        if (!DumpFile::write(path(EntryName::fileName(name)), *dump, false, false, &failed,
                             &clash)) {
            imported.refused.push_back({shown, failed});
            continue;
        }
        taken.insert(EntryName::folded(name), key);
        added.push_back({EntryName::fileName(name), *dump});
    }
    // Written without waiting for the disk, files and index alike: what they hold is still where
    // it came from, a file the system had not written when the power went is left out at the
    // next open, and the index takes in again what the folder holds. Waiting for the disk here
    // took up to a second while other programs had much to write.
    QString why;
    index.run(QStringLiteral("PRAGMA synchronous=NORMAL"), nullptr);
    const bool written =
        added.empty() || index.write(
                             [&](QString *failed) {
                                 for (const New &n : added)
                                     if (!putEntry(n.file, n.dump, stat(n.file), true, failed))
                                         return false;
                                 return true;
                             },
                             &why);
    index.run(QStringLiteral("PRAGMA synchronous=FULL"), nullptr);
    if (!written)
        notices << QStringLiteral("The configurations imported are in the library folder, but its "
                                  "index could not take them now (%1); they are taken in when the "
                                  "library next opens.")
                       .arg(why);
    imported.added = static_cast<int>(added.size());
    copyDue = true;
    copyWhenDue();
    return imported;
}

bool Library::exportTo(const std::vector<Entry> &list, const QString &to,
                       std::vector<Refused> *refused) {
    bool all = true;
    for (const Entry &entry : list) {
        const QString name = entry.named() ? entry.name : EntryName::fitted(entry.title());
        const auto dump = read(entry);
        QString why = error_;
        if (dump &&
            DumpFile::write(to + u'/' + EntryName::fileName(name), *dump, false, true, &why))
            continue;
        all = false;
        if (refused)
            refused->push_back({EntryName::fileName(name), why});
    }
    return all;
}

} // namespace vkv::library
