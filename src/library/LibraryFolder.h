#pragma once

#include "ConfigImage.h"
#include "IndexCopies.h"
#include "LibraryIndex.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>

namespace vkv::library {

// The library's folder and its index as the library's parts share them: the paths of its files,
// the index and its copies, what went wrong (error()) and what the user should hear (notices).
//
// It keeps the index true to the files, which are the truth for content and names: at open() and
// refresh() a file added or changed behind the library's back is read again, and one that went is
// marked missing. A missing or damaged index is made anew from the folder, with notes, tags and
// history taken back from the newest copy that can be read.
class LibraryFolder {
public:
    // A configuration's state in the index.
    enum State { Present = 0, Missing = 1, InTrash = 2 };
    // A file's size and time, by which the index tells a file changed.
    struct Found {
        qint64 size = 0, mtime = 0;
    };
    // The folder of the captured configurations, each named by its content's key.
    static inline const QString Captured = QStringLiteral("captured");

    explicit LibraryFolder(int busyTimeoutMs);

    // Opens the library in `folder`, making the folder and an index when they are not there, and
    // takes in what changed in the folder since. `count` says how many configurations the folder
    // holds once read, for the notice of an index made anew.
    bool open(const QString &folder, const std::function<int()> &count);
    bool isOpen() const { return index_.isOpen(); }
    const QString &folder() const { return folder_; }
    // The full path of a file of the folder.
    QString path(const QString &file) const;
    LibraryIndex &index() { return index_; }
    const LibraryIndex &index() const { return index_; }
    // Takes in files added, changed or removed behind the library's back.
    bool refresh();

    const QString &error() const { return error_; }
    // Sets error() and logs it; false.
    bool fail(const QString &why);
    // Sets error() to why the user's own choice (a name) is refused, which the log need not keep;
    // false.
    bool refuse(const QString &why);
    // Something the user should hear, said once.
    void notice(const QString &said) { notices << said; }
    QStringList takeNotices();

    Found stat(const QString &file) const;
    // Puts a read file's entry and content in the index, within a write: `fresh` a new entry
    // (its identity in `id`), otherwise the one of that file, kept or made.
    bool putEntry(const QString &file, const image::DumpBytes &dump, const Found &found, bool fresh,
                  QString *why, qint64 *id = nullptr);
    // Runs one statement as a write; with `gone` set, one that changes no row fails saying so.
    bool update(const QString &sql, const QVariantList &values, const QString &gone = {});
    // After a write of the index: its failure said, or its copy made when due.
    bool kept(bool written, const QString &why);
    // The index changed, however it went: its copy is made when due.
    void changed();

    // "2026-12-01 18:00" in local time, as the library's words give a time.
    static QString when(const QDateTime &time);

private:
    bool scan();
    // Files left by a program that crashed while it wrote them.
    void removeLeftovers();

    QString folder_;
    QString error_;
    QStringList notices;
    LibraryIndex index_;
    IndexCopies copies; // after the index, which it writes a last copy of as it goes
};

} // namespace vkv::library
