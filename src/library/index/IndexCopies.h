#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <optional>

namespace vkv::library {

class LibraryIndex;

// The copies of the index that notes, tags, favourites and history come back from when the index
// is lost or damaged (the files give back the rest): three small SQLite files in the index's
// folder, the newest replaced while it is young, so that the older ones keep their age. A copy is
// written once the index changed, at most every ten seconds so that a run of edits costs one, and
// as the library closes; each is written beside its place first and put there once whole.
class IndexCopies {
public:
    static constexpr int Copies = 3;
    // The newest copy is replaced until it is this old.
    static constexpr qint64 CopyAgeMs = 10 * 60 * 1000;
    // What the names of the copies on their way begin with.
    static constexpr auto TemporaryPrefix = "copy-new-";

    explicit IndexCopies(LibraryIndex &index);
    // Writes the copy that is due.
    ~IndexCopies();
    IndexCopies(const IndexCopies &) = delete;
    IndexCopies &operator=(const IndexCopies &) = delete;

    // The folder the copies are in: the index's.
    void setFolder(const QString &folder) { this->folder = folder; }
    // Takes notes, tags, favourites and history back into the index from the newest copy that can
    // be read; when that copy was written, or nothing when none could.
    std::optional<QDateTime> takeBack();
    // The index changed, or is new: a copy is due.
    void due() { copyDue = true; }
    // A copy is due when there is none yet or the newest is old.
    void dueWhenOld();
    // Writes the copy that is due, unless one was written less than ten seconds ago.
    void whenDue();

private:
    bool write();
    QString path(int n) const;

    LibraryIndex &index;
    QString folder;
    bool copyDue = false;
    QElapsedTimer sinceCopy;
};

} // namespace vkv::library
