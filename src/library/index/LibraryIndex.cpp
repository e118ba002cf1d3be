#include "LibraryIndex.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace vkv::library {

namespace {

// 1: entries by their file's path. 2: entries by an identity of their own (a deleted one keeps
// its row while another takes its name); events say whether they were a test copy, the port used
// together with theirs, and what a broken send was sending.
constexpr int SchemaVersion = 2;

// A configuration file of the folder; `state` 0 present, 1 gone behind the library's back, 2 put
// in the trash. Only one present or missing configuration has a path; the trash holds any.
const char *const EntriesTable =
    "CREATE TABLE IF NOT EXISTS entries(id INTEGER PRIMARY KEY, file TEXT NOT NULL, "
    "key TEXT NOT NULL, size INTEGER NOT NULL DEFAULT 0, mtime INTEGER NOT NULL DEFAULT 0, "
    "state INTEGER NOT NULL DEFAULT 0, notes TEXT NOT NULL DEFAULT '', "
    "tags TEXT NOT NULL DEFAULT '', favourite INTEGER NOT NULL DEFAULT 0)";
const char *const EntriesByFile =
    "CREATE UNIQUE INDEX IF NOT EXISTS entries_by_file ON entries(file) WHERE state != 2";

const char *const Tables[] = {
    // Each content's records decoded for the search (LibraryQuery::Records), by the content's key.
    "CREATE TABLE IF NOT EXISTS contents(key TEXT PRIMARY KEY, records BLOB NOT NULL)",
    EntriesTable,
    EntriesByFile,
    // `direction` 0 received, 1 sent; `key` null for one that did not come or go whole;
    // `verified` null unchecked, 1 the box held it, 0 it held other values; `test` 1 for a test
    // copy of a search for the box's speed; `paired` the port used together with `port`;
    // `sending` the key of what a send that broke off was sending.
    "CREATE TABLE IF NOT EXISTS events(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, "
    "direction INTEGER NOT NULL, port TEXT NOT NULL, key TEXT, bytes INTEGER NOT NULL, "
    "verified INTEGER, test INTEGER NOT NULL DEFAULT 0, paired TEXT, sending TEXT)",
    "CREATE INDEX IF NOT EXISTS events_by_time ON events(time)",
    "CREATE INDEX IF NOT EXISTS events_by_key ON events(key, time)",
};

// From version 1: the entries get identities, the events their new columns.
const char *const FromVersion1[] = {
    "ALTER TABLE entries RENAME TO entries_1",
    EntriesTable,
    "INSERT INTO entries(file, key, size, mtime, state, notes, tags, favourite) "
    "SELECT file, key, size, mtime, state, notes, tags, favourite FROM entries_1",
    "DROP TABLE entries_1",
    EntriesByFile,
    "ALTER TABLE events ADD COLUMN test INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE events ADD COLUMN paired TEXT",
    "ALTER TABLE events ADD COLUMN sending TEXT",
};

// The columns a copy may hold, each table's; a copy of an older index holds fewer.
const QStringList EntryColumns = {"id", "file", "key", "state", "notes", "tags", "favourite"};
const QStringList EventColumns = {"id",    "time",     "direction", "port",   "key",
                                  "bytes", "verified", "test",      "paired", "sending"};

QString nextConnection() {
    static std::atomic<int> count{0};
    return QStringLiteral("vkv-library-%1").arg(++count);
}

// The SQLite result codes that mean another program holds the index.
bool locked(const QSqlError &error) {
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("5") || code == QLatin1String("6");
}

} // namespace

LibraryIndex::LibraryIndex(int busyTimeoutMs)
    : busyTimeoutMs(busyTimeoutMs), connection(nextConnection()) {}

LibraryIndex::~LibraryIndex() {
    close();
}

void LibraryIndex::close() {
    if (!database.isValid())
        return;
    database.close();
    database = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection);
}

QString LibraryIndex::words(const QSqlError &error) {
    if (locked(error))
        return QStringLiteral("the library's index is in use by another program (it stayed "
                              "locked)");
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return QStringLiteral("the library's index: %1").arg(text);
}

bool LibraryIndex::run(QSqlQuery &query, QString *why) {
    if (query.exec())
        return true;
    if (why)
        *why = words(query.lastError());
    return false;
}

bool LibraryIndex::run(const QString &sql, QString *why) {
    QSqlQuery query(database);
    if (query.exec(sql)) {
        query.finish(); // a statement left open would hold its read lock
        return true;
    }
    if (why)
        *why = words(query.lastError());
    return false;
}

bool LibraryIndex::openFile(const QString &path, QString *why) {
    database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    if (!database.isValid()) {
        if (why)
            *why = QStringLiteral("the SQLite driver of Qt SQL (libqt6sql6-sqlite) is not "
                                  "installed");
        return false;
    }
    database.setDatabaseName(path);
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!database.open()) {
        if (why)
            *why = words(database.lastError());
        return false;
    }
    return true;
}

bool LibraryIndex::sound(QString *why) {
    QSqlQuery check(database);
    if (!check.exec(QStringLiteral("PRAGMA quick_check")) || !check.next()) {
        if (why)
            *why = words(check.lastError());
        return false;
    }
    const QString said = check.value(0).toString();
    check.finish();
    if (said != QLatin1String("ok")) {
        if (why)
            *why = QStringLiteral("the library's index is damaged (%1)").arg(said);
        return false;
    }
    return true;
}

int LibraryIndex::version() {
    QSqlQuery version(database);
    int found = 0;
    if (version.exec(QStringLiteral("PRAGMA user_version")) && version.next())
        found = version.value(0).toInt();
    version.finish();
    return found;
}

bool LibraryIndex::makeTables(QString *why) {
    return write(
        [this](QString *failed) {
            // Another program may have made or changed them while this one waited for the write.
            const int found = version();
            if (found == SchemaVersion)
                return true;
            if (found == 1) {
                for (const char *sql : FromVersion1)
                    if (!run(QString::fromLatin1(sql), failed))
                        return false;
            } else {
                for (const char *sql : Tables)
                    if (!run(QString::fromLatin1(sql), failed))
                        return false;
            }
            return run(QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion), failed);
        },
        why);
}

LibraryIndex::Opened LibraryIndex::open(const QString &path, QString *why) {
    close();
    const bool existed = QFileInfo::exists(path);
    if (!openFile(path, why))
        return Opened::Failed;
    QString damage;
    if (!sound(&damage)) {
        // Another program writing it holds no lock that stops this read: a locked index is in
        // use, not damaged.
        QSqlQuery probe(database);
        if (!probe.exec(QStringLiteral("PRAGMA quick_check")) && locked(probe.lastError())) {
            if (why)
                *why = damage;
            close();
            return Opened::Failed;
        }
        close();
        // Kept beside it, never deleted: whatever can be read of it is the user's.
        const QString aside =
            path + QStringLiteral(".damaged-") +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        for (const QString &ending : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            if (QFileInfo::exists(path + ending) && !QFile::rename(path + ending, aside + ending)) {
                if (why)
                    *why = damage + QStringLiteral(", and it cannot be moved aside");
                return Opened::Failed;
            }
        if (!openFile(path, why))
            return Opened::Failed;
        if (why)
            *why = damage;
    }
    // The write-ahead log lets readers and one writer work at once, also across programs.
    // A read-only folder keeps the mode it has: the index is then read, and writes fail.
    run(QStringLiteral("PRAGMA journal_mode=WAL"), nullptr);
    run(QStringLiteral("PRAGMA synchronous=FULL"), nullptr);
    const int found = version();
    if (found > SchemaVersion) {
        if (why)
            *why = QStringLiteral("the library's index was made by a newer version of the "
                                  "program");
        close();
        return Opened::Failed;
    }
    QString failed;
    if (found < SchemaVersion && !makeTables(&failed)) {
        if (why)
            *why = failed;
        close();
        return Opened::Failed;
    }
    if (!damage.isEmpty())
        return Opened::Remade;
    // One of an older version was brought up to date: it is the index as it was.
    return existed && found > 0 ? Opened::Existing : Opened::New;
}

bool LibraryIndex::write(const std::function<bool(QString *why)> &work, QString *why) {
    // IMMEDIATE takes the write lock at once, waiting for another program's: a deferred
    // transaction that reads first could find it taken meanwhile, and then fail without waiting.
    if (!run(QStringLiteral("BEGIN IMMEDIATE"), why))
        return false;
    if (!work(why)) {
        run(QStringLiteral("ROLLBACK"), nullptr);
        return false;
    }
    if (!run(QStringLiteral("COMMIT"), why)) {
        run(QStringLiteral("ROLLBACK"), nullptr);
        return false;
    }
    return true;
}

bool LibraryIndex::withCopy(const QString &path, const QStringList &statements, QString *why) {
    return withCopy(
        path,
        [&](QStringList *made) {
            *made = statements;
            return true;
        },
        why);
}

bool LibraryIndex::withCopy(const QString &path,
                            const std::function<bool(QStringList *statements)> &make,
                            QString *why) {
    QSqlQuery attach(database);
    attach.prepare(QStringLiteral("ATTACH DATABASE ? AS copy"));
    attach.addBindValue(path);
    if (!run(attach, why))
        return false;
    attach.finish();
    QStringList statements;
    if (!make(&statements)) {
        if (why)
            *why = QStringLiteral("it is no copy of the library's index");
        run(QStringLiteral("DETACH DATABASE copy"), nullptr);
        return false;
    }
    const bool done = write(
        [&](QString *failed) {
            for (const QString &sql : statements)
                if (!run(sql, failed))
                    return false;
            return true;
        },
        why);
    run(QStringLiteral("DETACH DATABASE copy"), nullptr);
    return done;
}

bool LibraryIndex::copyTo(const QString &path, QString *why) {
    QFile::remove(path);
    const bool copied =
        withCopy(path,
                 {QStringLiteral("CREATE TABLE copy.entries AS SELECT %1 FROM main.entries")
                      .arg(EntryColumns.join(QStringLiteral(", "))),
                  QStringLiteral("CREATE TABLE copy.events AS SELECT %1 FROM main.events")
                      .arg(EventColumns.join(QStringLiteral(", ")))},
                 why);
    if (!copied)
        QFile::remove(path);
    return copied;
}

QStringList LibraryIndex::copyColumns(const QString &table, const QStringList &known) {
    QStringList columns;
    QSqlQuery info(database);
    if (info.exec(QStringLiteral("PRAGMA copy.table_info(%1)").arg(table)))
        while (info.next())
            if (known.contains(info.value(1).toString()))
                columns << info.value(1).toString();
    return columns;
}

bool LibraryIndex::takeFrom(const QString &path, QString *why) {
    // Only the columns the copy has: one of an older index lacks the newer ones, which then keep
    // their defaults.
    return withCopy(
        path,
        [this](QStringList *statements) {
            for (const auto &[table, known] : {std::pair{QStringLiteral("entries"), EntryColumns},
                                               std::pair{QStringLiteral("events"), EventColumns}}) {
                const QString columns = copyColumns(table, known).join(QStringLiteral(", "));
                if (columns.isEmpty())
                    return false;
                *statements << QStringLiteral("INSERT OR IGNORE INTO main.%1(%2) SELECT %2 FROM "
                                              "copy.%1")
                                   .arg(table, columns);
            }
            return true;
        },
        why);
}

} // namespace vkv::library
