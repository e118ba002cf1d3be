#include "LibraryEntries.h"

#include "DumpFile.h"
#include "EntryName.h"
#include "LibraryFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace vkv::library {

namespace {

// A time as the index keeps it; shown in local time only where it is shown.
QDateTime fromIndex(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

QStringList tagList(const QString &text) {
    QStringList tags;
    for (const QString &tag : text.split(u',', Qt::SkipEmptyParts))
        if (!tag.trimmed().isEmpty())
            tags << tag.trimmed();
    return tags;
}

QString goneFrom(const LibraryEntries::Entry &entry) {
    return QStringLiteral("\"%1\" is not in the library now; another program may have deleted "
                          "it.")
        .arg(entry.title());
}

} // namespace

QString LibraryEntries::Entry::title() const {
    return named() ? name : QStringLiteral("Captured: ") + captured;
}

LibraryEntries::LibraryEntries(LibraryFolder &folder) : folder(folder) {}

std::vector<LibraryEntries::Entry> LibraryEntries::entries(const QHash<QString, QString> &came) {
    std::vector<Entry> list;
    if (!folder.isOpen())
        return list;
    QSqlQuery rows(folder.index().db());
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT file, key, mtime, state, notes, tags, favourite, id "
                                  "FROM entries WHERE state != 2 ORDER BY file"))) {
        folder.fail(LibraryIndex::words(rows.lastError()));
        return list;
    }
    QHash<QString, QStringList> namedByKey;
    while (rows.next()) {
        Entry entry;
        entry.file = rows.value(0).toString();
        entry.key = rows.value(1).toString();
        entry.changed = fromIndex(rows.value(2).toLongLong());
        entry.missing = rows.value(3).toInt() == LibraryFolder::Missing;
        entry.notes = rows.value(4).toString();
        entry.tags = tagList(rows.value(5).toString());
        entry.favourite = rows.value(6).toInt() != 0;
        entry.id = rows.value(7).toLongLong();
        if (!entry.file.startsWith(LibraryFolder::Captured + u'/')) {
            entry.name = EntryName::fromFile(entry.file);
            if (!entry.missing)
                namedByKey[entry.key] << entry.name;
        } else {
            entry.captured = came.value(entry.key, QStringLiteral("not in the history"));
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

std::optional<LibraryEntries::Entry> LibraryEntries::named(const QString &name) {
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
        folder.fail(QStringLiteral("There is no configuration \"%1\" in the library.").arg(name));
    return loose;
}

std::optional<image::DumpBytes> LibraryEntries::read(const Entry &entry) {
    QString why;
    auto dump = DumpFile::read(folder.path(entry.file), &why);
    if (!dump) {
        folder.fail(
            QStringLiteral("\"%1\" cannot be read from %2: %3.")
                .arg(entry.title(), QDir::toNativeSeparators(folder.path(entry.file)), why));
        folder.refresh(); // it went or changed: the list shows it so
        return std::nullopt;
    }
    if (DumpFile::key(*dump) != entry.key)
        folder.refresh(); // changed behind the library's back: the file is the truth
    return dump;
}

std::optional<image::DumpBytes> LibraryEntries::content(const QString &key) {
    QSqlQuery rows(folder.index().db());
    rows.prepare(QStringLiteral("SELECT file FROM entries WHERE key = ? AND state = 0"));
    rows.addBindValue(key);
    if (rows.exec()) {
        while (rows.next()) {
            const auto dump = DumpFile::read(folder.path(rows.value(0).toString()));
            if (dump && DumpFile::key(*dump) == key)
                return dump;
        }
    }
    folder.fail(QStringLiteral("No file of the library holds that configuration now."));
    return std::nullopt;
}

QStringList LibraryEntries::namesOf(const QString &key) {
    QStringList names;
    QSqlQuery rows(folder.index().db());
    rows.prepare(QStringLiteral("SELECT file FROM entries WHERE key = ? AND state = 0 AND "
                                "file NOT LIKE 'captured/%'"));
    rows.addBindValue(key);
    if (rows.exec())
        while (rows.next())
            names << EntryName::fromFile(rows.value(0).toString());
    names.sort(Qt::CaseInsensitive);
    return names;
}

QString LibraryEntries::takenBy(const QString &name, const QString &except) const {
    QStringList files = QDir(folder.folder()).entryList(QDir::Files | QDir::Hidden);
    // One whose file went keeps its name until it is deleted: its file may come back.
    QSqlQuery missing(folder.index().db());
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

bool LibraryEntries::listed(const QString &file) const {
    QSqlQuery there(folder.index().db());
    there.prepare(QStringLiteral("SELECT 1 FROM entries WHERE file = ? AND state != 2"));
    there.addBindValue(file);
    return there.exec() && there.next();
}

QString LibraryEntries::freeName(const QString &name) const {
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

std::optional<LibraryEntries::Entry> LibraryEntries::add(const image::DumpBytes &dump,
                                                         const QString &name) {
    if (!folder.isOpen()) {
        folder.fail(QStringLiteral("The library is not open."));
        return std::nullopt;
    }
    const QString refused = EntryName::refusal(name);
    if (!refused.isEmpty()) {
        folder.refuse(refused);
        return std::nullopt;
    }
    const auto takenMessage = [&](const QString &by) {
        folder.refuse(
            QStringLiteral("The name \"%1\" is taken already (by \"%2\").").arg(name, by));
        return std::nullopt;
    };
    if (const QString by = takenBy(name); !by.isEmpty())
        return takenMessage(by);
    const QString file = EntryName::fileName(name);
    QString why;
    bool taken = false;
    if (!DumpFile::write(folder.path(file), dump, false, true, &why, &taken)) {
        if (taken)
            return takenMessage(name); // another program took it a moment ago
        folder.fail(QStringLiteral("\"%1\" cannot be written to %2: %3.")
                        .arg(name, QDir::toNativeSeparators(folder.folder()), why));
        return std::nullopt;
    }
    image::DumpBytes framed = dump;
    image::frameDump(framed.data());
    Entry entry;
    if (!folder.index().write(
            [&](QString *failed) {
                return folder.putEntry(file, framed, folder.stat(file), true, failed, &entry.id);
            },
            &why))
        folder.notice(QStringLiteral("\"%1\" is in the library folder, but its index could not "
                                     "take it now (%2); it is taken in when the library next "
                                     "opens.")
                          .arg(name, why));
    folder.changed();
    entry.file = file;
    entry.name = name;
    entry.key = DumpFile::key(framed);
    entry.changed = QDateTime::currentDateTime();
    return entry;
}

bool LibraryEntries::rename(const Entry &entry, const QString &name) {
    if (!entry.named())
        return folder.fail(QStringLiteral("A captured configuration has no name to change; keep it "
                                          "under a name instead."));
    if (name == entry.name)
        return true;
    const QString refused = EntryName::refusal(name);
    if (!refused.isEmpty())
        return folder.refuse(refused);
    if (const QString by = takenBy(name, entry.file); !by.isEmpty())
        return folder.refuse(
            QStringLiteral("The name \"%1\" is taken already (by \"%2\").").arg(name, by));
    // The file moves within the index's write, so that both move or neither: a write the index
    // refuses puts the file back.
    const QString file = EntryName::fileName(name);
    bool moved = false, taken = false;
    QString why;
    const bool written = folder.index().write(
        [&](QString *failed) {
            QSqlQuery row(folder.index().db());
            row.prepare(QStringLiteral("UPDATE entries SET file = ? WHERE id = ? AND state != 2"));
            row.addBindValue(file);
            row.addBindValue(entry.id);
            if (!LibraryIndex::run(row, failed))
                return false;
            if (row.numRowsAffected() == 0) {
                *failed = NotThere;
                return false;
            }
            if (!DumpFile::moveNew(folder.path(entry.file), folder.path(file), failed, &taken))
                return false;
            moved = true;
            QSqlQuery time(folder.index().db());
            time.prepare(QStringLiteral("UPDATE entries SET mtime = ? WHERE id = ?"));
            time.addBindValue(folder.stat(file).mtime);
            time.addBindValue(entry.id);
            return LibraryIndex::run(time, failed);
        },
        &why);
    if (!written) {
        if (moved && !DumpFile::moveNew(folder.path(file), folder.path(entry.file)))
            folder.refresh(); // it stays under the new name: the list shows it so
        return folder.fail(
            taken ? QStringLiteral("The name \"%1\" is taken already.").arg(name)
                  : QStringLiteral("\"%1\" was not renamed: %2.").arg(entry.name, why));
    }
    return folder.kept(true, {});
}

bool LibraryEntries::setNotes(const Entry &entry, const QString &notes) {
    return folder.update(QStringLiteral("UPDATE entries SET notes = ? WHERE id = ?"),
                         {notes, entry.id}, goneFrom(entry));
}

bool LibraryEntries::setTags(const Entry &entry, const QStringList &tags) {
    QStringList kept;
    for (const QString &tag : tags)
        if (!tag.trimmed().isEmpty() && !kept.contains(tag.trimmed()))
            kept << tag.trimmed().replace(u',', u' ');
    return folder.update(QStringLiteral("UPDATE entries SET tags = ? WHERE id = ?"),
                         {kept.join(QStringLiteral(", ")), entry.id}, goneFrom(entry));
}

bool LibraryEntries::setFavourite(const Entry &entry, bool favourite) {
    return folder.update(QStringLiteral("UPDATE entries SET favourite = ? WHERE id = ?"),
                         {favourite ? 1 : 0, entry.id}, goneFrom(entry));
}

} // namespace vkv::library
