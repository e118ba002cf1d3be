#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

class QSqlError;
class QSqlQuery;

namespace vkv::library {

// The library's index: one SQLite file (Qt SQL's driver) in the write-ahead-log mode, so that a
// window and a command line (a backup from cron, say) use it at the same time; a writer waits for
// another's write up to a busy timeout instead of failing at once. It holds what the files can't:
// notes, tags, favourites, the history of captures, and each content's records for the search.
//
// A file that is no index, or a damaged one, is moved aside (never deleted) and a new one made;
// one of an older version of the program is brought up to date as it opens.
// Copies of what the files can't give back (notes, tags, favourites, history) are written as
// small SQLite files of their own, and taken back from into a new index.
//
// One connection each: use an index only on the thread that opened it.
class LibraryIndex {
public:
    enum class Opened {
        Existing, // the index as it was
        New,      // there was none: made empty
        Remade,   // it was damaged or no index: moved aside, made empty; `why` says what it was
        Failed,   // it cannot be opened or made; `why` says why
    };

    explicit LibraryIndex(int busyTimeoutMs);
    ~LibraryIndex();
    LibraryIndex(const LibraryIndex &) = delete;
    LibraryIndex &operator=(const LibraryIndex &) = delete;

    Opened open(const QString &path, QString *why);
    void close();
    bool isOpen() const { return database.isOpen(); }
    QSqlDatabase &db() { return database; }
    const QSqlDatabase &db() const { return database; }

    // Runs `work` as one write, which waits up to the busy timeout for another program's. False,
    // everything of it undone, when `work` or the commit failed; `why` then holds the first error.
    bool write(const std::function<bool(QString *why)> &work, QString *why);
    // Runs a statement made with its values bound: false with `why` set when it failed.
    static bool run(QSqlQuery &query, QString *why);
    bool run(const QString &sql, QString *why);
    // A database error in the user's words: a locked index is named as such.
    static QString words(const QSqlError &error);

    // Writes a copy of the notes, tags, favourites and history to `path`, replacing what is there.
    bool copyTo(const QString &path, QString *why);
    // Takes notes, tags, favourites and history back from a copy into this index; false when the
    // file is no such copy.
    bool takeFrom(const QString &path, QString *why);

private:
    // Whether the open database is an index of ours, in one piece.
    bool sound(QString *why);
    // The version of the tables the open database holds; 0 for none.
    int version();
    // Makes the tables, or brings those of an older version up to date.
    bool makeTables(QString *why);
    bool openFile(const QString &path, QString *why);
    // Runs `statements` as one write with the copy at `path` attached as "copy"; `make` makes
    // them once it is attached, and fails when it is no copy.
    bool withCopy(const QString &path, const QStringList &statements, QString *why);
    bool withCopy(const QString &path, const std::function<bool(QStringList *statements)> &make,
                  QString *why);
    // Those of `known` that the attached copy's `table` has.
    QStringList copyColumns(const QString &table, const QStringList &known);

    int busyTimeoutMs;
    QString connection;
    QSqlDatabase database;
};

} // namespace vkv::library
