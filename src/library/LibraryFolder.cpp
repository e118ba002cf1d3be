#include "LibraryFolder.h"

#include "DumpFile.h"
#include "EntryName.h"
#include "LibraryLog.h"
#include "LibraryQuery.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace vkv::library {

namespace {

const QString IndexFolder = QStringLiteral("index");
const QString IndexFile = QStringLiteral("index/library.sqlite");

QByteArray decoded(const image::DumpBytes &dump) {
    const LibraryQuery::Records records = LibraryQuery::decode(dump);
    return QByteArray(reinterpret_cast<const char *>(records.data()),
                      static_cast<qsizetype>(records.size()));
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

} // namespace

LibraryFolder::LibraryFolder(int busyTimeoutMs) : index_(busyTimeoutMs), copies(index_) {}

QString LibraryFolder::when(const QDateTime &time) {
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString LibraryFolder::path(const QString &file) const {
    return folder_ + u'/' + file;
}

bool LibraryFolder::fail(const QString &why) {
    // Said to the user by whoever asked; the log keeps it for a later look.
    error_ = why;
    qCInfo(lcLibrary, "%s", qPrintable(why));
    return false;
}

bool LibraryFolder::refuse(const QString &why) {
    error_ = why;
    return false;
}

QStringList LibraryFolder::takeNotices() {
    return std::exchange(notices, {});
}

bool LibraryFolder::open(const QString &folder, const std::function<int()> &count) {
    index_.close();
    folder_ = QDir(folder).absolutePath();
    copies.setFolder(path(IndexFolder));
    QDir dir;
    for (const QString &sub : {QString(), Captured, IndexFolder})
        if (!dir.mkpath(path(sub)))
            return fail(QStringLiteral("The library folder %1 cannot be made.")
                            .arg(QDir::toNativeSeparators(path(sub))));
    removeLeftovers();
    QString why;
    const LibraryIndex::Opened opened = index_.open(path(IndexFile), &why);
    if (opened == LibraryIndex::Opened::Failed)
        return fail(QStringLiteral("The library in %1 cannot be opened: %2.")
                        .arg(QDir::toNativeSeparators(folder_), why));
    // A new index of a folder that held a library: it is made anew from the files, and what only
    // the index held comes back from its copies.
    std::optional<QDateTime> copyTime;
    if (opened != LibraryIndex::Opened::Existing)
        copyTime = copies.takeBack();
    if (!scan())
        return false;
    if (opened == LibraryIndex::Opened::Remade || copyTime) {
        QString said = opened == LibraryIndex::Opened::Remade
                           ? QStringLiteral("The library's index was damaged (%1) and was made "
                                            "anew")
                                 .arg(why)
                           : QStringLiteral("The library's index was not there and was made anew");
        said += QStringLiteral(" from the %1 configurations of the folder; ").arg(count());
        said += copyTime ? QStringLiteral("notes, tags and history came back from its copy of %1.")
                               .arg(when(*copyTime))
                         : QStringLiteral("there was no copy to bring notes, tags and history "
                                          "back from.");
        notices << said;
        qCWarning(lcLibrary, "%s", qPrintable(said));
        copies.due();
    }
    copies.dueWhenOld();
    copies.whenDue();
    return true;
}

void LibraryFolder::removeLeftovers() {
    int removed = 0;
    for (const QString &sub : {QString(), Captured})
        removed += DumpFile::removeLeftovers(path(sub));
    removed +=
        DumpFile::removeLeftovers(path(IndexFolder), QLatin1String(IndexCopies::TemporaryPrefix));
    if (removed > 0)
        qCInfo(lcLibrary,
               "%d files left in %s by a program that ended while it wrote them were "
               "removed",
               removed, qPrintable(folder_));
}

LibraryFolder::Found LibraryFolder::stat(const QString &file) const {
    struct stat info {};
    if (::stat(QFile::encodeName(path(file)).constData(), &info) != 0)
        return {};
    return {static_cast<qint64>(info.st_size),
            static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000};
}

bool LibraryFolder::putEntry(const QString &file, const image::DumpBytes &dump, const Found &found,
                             bool fresh, QString *why, qint64 *id) {
    const QString key = DumpFile::key(dump);
    QSqlQuery content(index_.db());
    content.prepare(QStringLiteral("INSERT OR IGNORE INTO contents(key, records) VALUES(?, ?)"));
    content.addBindValue(key);
    content.addBindValue(decoded(dump));
    if (!LibraryIndex::run(content, why))
        return false;
    // A new configuration gets a row of its own, never another's (a deleted one keeps its row,
    // notes and all); a file read again, or one that is back, keeps its row.
    QSqlQuery entry(index_.db());
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
bool LibraryFolder::scan() {
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
    QSqlQuery rows(index_.db());
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
    const bool written = index_.write(
        [&](QString *failed) {
            for (const Read &r : read)
                if (!putEntry(r.file, r.dump, r.found, false, failed))
                    return false;
            QSqlQuery missing(index_.db());
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
    copies.due();
    return true;
}

bool LibraryFolder::refresh() {
    if (!isOpen())
        return fail(QStringLiteral("The library is not open."));
    const bool scanned = scan();
    copies.whenDue();
    return scanned;
}

bool LibraryFolder::update(const QString &sql, const QVariantList &values, const QString &gone) {
    QString why;
    const bool written = index_.write(
        [&](QString *failed) {
            QSqlQuery query(index_.db());
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

bool LibraryFolder::kept(bool written, const QString &why) {
    if (!written)
        return fail(why);
    changed();
    return true;
}

void LibraryFolder::changed() {
    copies.due();
    copies.whenDue();
}

} // namespace vkv::library
