#include "LibraryImport.h"

#include "DumpFile.h"
#include "EntryName.h"
#include "FolderWalk.h"
#include "ImportFile.h"
#include "LibraryFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace vkv::library {

LibraryImport::LibraryImport(LibraryFolder &folder, LibraryEntries &entries)
    : folder(folder), entries(entries) {}

LibraryImport::Imported LibraryImport::importFolder(const QString &from) {
    Imported imported;
    if (!folder.isOpen()) {
        folder.fail(QStringLiteral("The library is not open."));
        return imported;
    }
    // The names taken, as one name (case and normalisation not counting), and what they hold;
    // one whose file is missing keeps its name.
    QHash<QString, QString> taken;
    for (const LibraryEntries::Entry &entry : entries.entries())
        if (entry.named())
            taken.insert(EntryName::folded(entry.name), entry.missing ? QString() : entry.key);
    for (const QString &file : QDir(folder.folder()).entryList(QDir::Files | QDir::Hidden))
        if (file.endsWith(QLatin1String(EntryName::Suffix), Qt::CaseInsensitive) &&
            !taken.contains(EntryName::folded(EntryName::fromFile(file))))
            taken.insert(EntryName::folded(EntryName::fromFile(file)), QString()); // not in yet
    struct New {
        QString file;
        image::DumpBytes dump;
    };
    std::vector<New> added;
    // The library's own folder, where it is inside the folder imported, is passed over.
    const FolderWalk walk(from, QFileInfo(folder.folder()).canonicalFilePath(),
                          QStringLiteral("the library's own folder"));
    for (const FolderWalk::Passed &passed : walk.passed())
        imported.refused.push_back({QDir::toNativeSeparators(passed.shown), passed.why});
    for (const FolderWalk::File &found : walk.files()) {
        const QString shown = QDir::toNativeSeparators(found.shown);
        const ImportFile::Found brought = ImportFile::read(found.path);
        if (brought.dumps.empty()) {
            imported.refused.push_back({shown, brought.why});
            continue;
        }
        const int count = static_cast<int>(brought.dumps.size());
        for (int k = 0; k < count; ++k) {
            image::DumpBytes dump = brought.dumps[static_cast<std::size_t>(k)];
            image::frameDump(dump.data());
            const QString key = DumpFile::key(dump);
            const QString fitted = EntryName::fitted(
                ImportFile::numbered(ImportFile::name(QFileInfo(found.path).fileName()), k, count));
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
            if (!DumpFile::write(folder.path(EntryName::fileName(name)), dump, false, false,
                                 &failed, &clash)) {
                imported.refused.push_back({shown, failed});
                continue;
            }
            taken.insert(EntryName::folded(name), key);
            added.push_back({EntryName::fileName(name), dump});
        }
    }
    // Written without waiting for the disk, files and index alike: what they hold is still where
    // it came from, a file the system had not written when the power went is left out at the
    // next open, and the index takes in again what the folder holds. Waiting for the disk here
    // took up to a second while other programs had much to write.
    QString why;
    folder.index().run(QStringLiteral("PRAGMA synchronous=NORMAL"), nullptr);
    const bool written =
        added.empty() ||
        folder.index().write(
            [&](QString *failed) {
                for (const New &n : added)
                    if (!folder.putEntry(n.file, n.dump, folder.stat(n.file), true, failed))
                        return false;
                return true;
            },
            &why);
    folder.index().run(QStringLiteral("PRAGMA synchronous=FULL"), nullptr);
    if (!written)
        folder.notice(QStringLiteral("The configurations imported are in the library folder, but "
                                     "its index could not take them now (%1); they are taken in "
                                     "when the library next opens.")
                          .arg(why));
    imported.added = static_cast<int>(added.size());
    folder.changed();
    return imported;
}

bool LibraryImport::exportTo(const std::vector<LibraryEntries::Entry> &list, const QString &to,
                             std::vector<Refused> *refused) {
    bool all = true;
    for (const LibraryEntries::Entry &entry : list) {
        const QString name = entry.named() ? entry.name : EntryName::fitted(entry.title());
        const auto dump = entries.read(entry);
        QString why = folder.error();
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
