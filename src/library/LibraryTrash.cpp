#include "LibraryTrash.h"

#include "EntryName.h"
#include "LibraryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

namespace vkv::library {

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

LibraryTrash::LibraryTrash(LibraryFolder &folder, LibraryEntries &entries)
    : folder(folder), entries(entries) {}

std::optional<LibraryTrash::Trashed> LibraryTrash::trash(const LibraryEntries::Entry &entry) {
    // The file goes within the index's write: a write the index refuses (another program holds
    // it past the timeout) takes the file back out of the trash.
    Trashed trashed{entry.id, entry.file, {}};
    QString why;
    const bool written = folder.index().write(
        [&](QString *failed) {
            QSqlQuery row(folder.index().db());
            row.prepare(QStringLiteral("UPDATE entries SET state = 2 WHERE id = ? AND state != 2"));
            row.addBindValue(entry.id);
            if (!LibraryIndex::run(row, failed))
                return false;
            if (row.numRowsAffected() == 0) {
                *failed = LibraryEntries::NotThere;
                return false;
            }
            if (QFileInfo::exists(folder.path(entry.file)) &&
                !QFile::moveToTrash(folder.path(entry.file), &trashed.inTrash)) {
                *failed = QStringLiteral("it could not be put in the trash");
                return false;
            }
            return true;
        },
        &why);
    if (!written) {
        const bool back =
            trashed.inTrash.isEmpty() || outOfTrash(trashed.inTrash, folder.path(entry.file));
        if (!back) {
            folder.fail(
                QStringLiteral("\"%1\" is in the trash (%2), but the library could not note it "
                               "(%3): take it back out of the trash to have it in the library.")
                    .arg(entry.title(), QDir::toNativeSeparators(trashed.inTrash), why));
            folder.refresh();
            return std::nullopt;
        }
        if (!trashed.inTrash.isEmpty())
            forgetTrashInfo(trashed.inTrash);
        folder.fail(QStringLiteral("\"%1\" was not deleted: %2.").arg(entry.title(), why));
        return std::nullopt;
    }
    folder.kept(true, {});
    return trashed;
}

std::optional<QString> LibraryTrash::restore(const Trashed &trashed, bool *again) {
    if (again)
        *again = false;
    if (!folder.isOpen()) {
        folder.fail(QStringLiteral("The library is not open."));
        return std::nullopt;
    }
    const QString was = EntryName::fromFile(trashed.file);
    const bool named = !trashed.file.startsWith(LibraryFolder::Captured + u'/');
    QSqlQuery row(folder.index().db());
    row.prepare(QStringLiteral("SELECT state FROM entries WHERE id = ?"));
    row.addBindValue(trashed.id);
    if (!row.exec() || !row.next() || row.value(0).toInt() != LibraryFolder::InTrash) {
        folder.fail(QStringLiteral("\"%1\" cannot come back: it is not among the library's deleted "
                                   "configurations now.")
                        .arg(named ? was : QStringLiteral("The captured configuration")));
        return std::nullopt;
    }
    row.finish();
    // A name taken meanwhile is left to its configuration: this one comes back under a free one.
    // A captured one is named by its content, so a file there now holds the same records.
    QString file = trashed.file;
    if (named) {
        file = EntryName::fileName(entries.freeName(was));
    } else if (QFileInfo::exists(folder.path(file)) || entries.listed(file)) {
        folder.fail(
            QStringLiteral("The captured configuration cannot come back: it was captured again "
                           "since, and is in the library."));
        return std::nullopt;
    }
    if (!trashed.inTrash.isEmpty() && !outOfTrash(trashed.inTrash, folder.path(file))) {
        folder.fail(QStringLiteral("\"%1\" cannot be taken back out of the trash.")
                        .arg(named ? was : QStringLiteral("The captured configuration")));
        return std::nullopt;
    }
    const LibraryFolder::Found found = folder.stat(file);
    if (!folder.update(
            QStringLiteral("UPDATE entries SET state = ?, file = ?, size = ?, mtime = ? WHERE "
                           "id = ?"),
            {trashed.inTrash.isEmpty() ? LibraryFolder::Missing : LibraryFolder::Present, file,
             found.size, found.mtime, trashed.id})) {
        // Back to the trash, so that a later undo can try again.
        if (again)
            *again = trashed.inTrash.isEmpty() || QFile::rename(folder.path(file), trashed.inTrash);
        return std::nullopt;
    }
    if (!trashed.inTrash.isEmpty())
        forgetTrashInfo(trashed.inTrash);
    folder.refresh();
    return named ? EntryName::fromFile(file) : QString();
}

} // namespace vkv::library
