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

constexpr int SchemaVersion = 1;

const char *const Tables[] = {
    // Each content's records decoded for the search (LibraryQuery::Records), by the content's key.
    "CREATE TABLE IF NOT EXISTS contents(key TEXT PRIMARY KEY, records BLOB NOT NULL)",
    // A configuration file of the folder, by its path there; `state` 0 present, 1 gone behind
    // the library's back, 2 put in the trash.
    "CREATE TABLE IF NOT EXISTS entries(file TEXT PRIMARY KEY, key TEXT NOT NULL, "
    "size INTEGER NOT NULL DEFAULT 0, mtime INTEGER NOT NULL DEFAULT 0, "
    "state INTEGER NOT NULL DEFAULT 0, notes TEXT NOT NULL DEFAULT '', "
    "tags TEXT NOT NULL DEFAULT '', favourite INTEGER NOT NULL DEFAULT 0)",
    // `direction` 0 received, 1 sent; `key` null for one that did not come or go whole;
    // `verified` null unchecked, 1 the box held it, 0 it held other values.
    "CREATE TABLE IF NOT EXISTS events(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, "
    "direction INTEGER NOT NULL, port TEXT NOT NULL, key TEXT, bytes INTEGER NOT NULL, "
    "verified INTEGER)",
    "CREATE INDEX IF NOT EXISTS events_by_time ON events(time)",
    "CREATE INDEX IF NOT EXISTS events_by_key ON events(key, time)",
};

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

bool LibraryIndex::makeTables(QString *why) {
    return write(
        [this](QString *failed) {
            for (const char *sql : Tables)
                if (!run(QString::fromLatin1(sql), failed))
                    return false;
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
    int found = 0;
    {
        QSqlQuery version(database);
        if (version.exec(QStringLiteral("PRAGMA user_version")) && version.next())
            found = version.value(0).toInt();
    }
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
    return existed && found == SchemaVersion ? Opened::Existing : Opened::New;
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
    QSqlQuery attach(database);
    attach.prepare(QStringLiteral("ATTACH DATABASE ? AS copy"));
    attach.addBindValue(path);
    if (!run(attach, why))
        return false;
    attach.finish();
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
                 {QStringLiteral("CREATE TABLE copy.entries AS SELECT file, key, state, notes, "
                                 "tags, favourite FROM main.entries"),
                  QStringLiteral("CREATE TABLE copy.events AS SELECT * FROM main.events")},
                 why);
    if (!copied)
        QFile::remove(path);
    return copied;
}

bool LibraryIndex::takeFrom(const QString &path, QString *why) {
    return withCopy(path,
                    {QStringLiteral("INSERT OR IGNORE INTO main.entries(file, key, state, notes, "
                                    "tags, favourite) SELECT file, key, state, notes, tags, "
                                    "favourite FROM copy.entries"),
                     QStringLiteral("INSERT OR IGNORE INTO main.events SELECT * FROM copy.events")},
                    why);
}

} // namespace vkv::library
