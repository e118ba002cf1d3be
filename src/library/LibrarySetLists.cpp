#include "LibrarySetLists.h"

#include "EntryName.h"
#include "LibraryFolder.h"
#include "SetListFile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace vkv::library {

namespace {

struct Known {
    QString name;
    qint64 entry = 0;
};

QString folderOf(const LibraryFolder &folder) {
    return folder.path(SetListFile::Folder);
}

} // namespace

LibrarySetLists::LibrarySetLists(LibraryFolder &folder, LibraryEntries &entries)
    : folder(folder), entries(entries) {}

QStringList LibrarySetLists::names() const {
    QStringList names;
    const QStringList files = QDir(folderOf(folder))
                                  .entryList({QStringLiteral("*") + SetListFile::Suffix},
                                             QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString &file : files)
        names << SetListFile::fromFile(file);
    return names;
}

QString LibrarySetLists::fileOf(const QString &name) const {
    QString loose;
    for (const QString &found : names()) {
        if (found == name)
            return SetListFile::fileName(found);
        if (EntryName::same(found, name))
            loose = SetListFile::fileName(found);
    }
    return loose;
}

bool LibrarySetLists::refuseName(const QString &name) {
    const QString refused = EntryName::refusal(name);
    return refused.isEmpty() ? true : folder.refuse(refused);
}

std::optional<SetList> LibrarySetLists::read(const QString &name, QStringList *damaged) {
    const QString file = fileOf(name);
    if (file.isEmpty()) {
        folder.fail(QStringLiteral("There is no set list \"%1\" in the library.").arg(name));
        return std::nullopt;
    }
    const QString path = folderOf(folder) + u'/' + file;
    QString why;
    auto read = SetListFile::read(path, &why);
    if (!read) {
        folder.fail(QStringLiteral("The set list %1 cannot be read: %2.")
                        .arg(QDir::toNativeSeparators(path), why));
        return std::nullopt;
    }
    if (damaged) {
        damaged->clear();
        for (const QString &line : read->damaged)
            *damaged << QDir::toNativeSeparators(path) + QStringLiteral(", ") + line;
    }
    SetList list = std::move(read->list);
    list.name = SetListFile::fromFile(file);

    // What the index knows of the slots.
    QHash<int, Known> known;
    QSqlQuery rows(folder.index().db());
    rows.prepare(QStringLiteral("SELECT program, name, entry FROM setlist_slots WHERE list = ?"));
    rows.addBindValue(EntryName::folded(list.name));
    if (rows.exec())
        while (rows.next())
            known.insert(rows.value(0).toInt(),
                         {rows.value(1).toString(), rows.value(2).toLongLong()});
    rows.finish();

    // Each configuration's name and state by its identity, and the named ones by their names.
    QHash<qint64, std::pair<QString, int>> byId;
    QHash<QString, qint64> byName;
    QSqlQuery all(folder.index().db());
    all.setForwardOnly(true);
    if (all.exec(QStringLiteral("SELECT id, file, state FROM entries WHERE file NOT LIKE "
                                "'captured/%'")))
        while (all.next()) {
            const QString entryName = EntryName::fromFile(all.value(1).toString());
            const int state = all.value(2).toInt();
            byId.insert(all.value(0).toLongLong(), {entryName, state});
            if (state != LibraryFolder::InTrash)
                byName.insert(EntryName::folded(entryName), all.value(0).toLongLong());
        }
    all.finish();

    bool learnt = false, renamed = false;
    for (SetList::Slot &slot : list.slotList) {
        const auto was = known.constFind(slot.program);
        if (was != known.cend() && was->name == slot.name) {
            slot.entry = was->entry;
        } else {
            slot.entry = byName.value(EntryName::folded(slot.name), 0);
            learnt = true;
        }
    }
    if (learnt || known.size() != static_cast<qsizetype>(list.slotList.size())) {
        QString failed;
        if (!folder.index().write([&](QString *why) { return note(list, why); }, &failed))
            folder.notice(QStringLiteral("The library's index could not note the set list "
                                         "\"%1\": %2.")
                              .arg(list.name, failed));
    }
    for (SetList::Slot &slot : list.slotList) {
        const auto entry = byId.constFind(slot.entry);
        slot.missing = entry == byId.cend() || entry->second != LibraryFolder::Present;
        // A configuration renamed, or back from the trash under another name: its slots follow.
        if (entry != byId.cend() && entry->second != LibraryFolder::InTrash &&
            slot.name != entry->first) {
            slot.name = entry->first;
            renamed = true;
        }
    }
    if (renamed && !write(list))
        qWarning("%s", qPrintable(folder.error()));
    return list;
}

bool LibrarySetLists::note(const SetList &list, QString *why) {
    QSqlQuery clear(folder.index().db());
    clear.prepare(QStringLiteral("DELETE FROM setlist_slots WHERE list = ?"));
    clear.addBindValue(EntryName::folded(list.name));
    if (!LibraryIndex::run(clear, why))
        return false;
    QSqlQuery put(folder.index().db());
    put.prepare(QStringLiteral("INSERT INTO setlist_slots(list, program, name, entry) "
                               "VALUES(?, ?, ?, ?)"));
    for (const SetList::Slot &slot : list.slotList) {
        put.addBindValue(EntryName::folded(list.name));
        put.addBindValue(slot.program);
        put.addBindValue(slot.name);
        put.addBindValue(slot.entry != 0 ? QVariant(slot.entry) : QVariant());
        if (!LibraryIndex::run(put, why))
            return false;
    }
    return true;
}

bool LibrarySetLists::write(const SetList &list) {
    if (!folder.isOpen())
        return folder.fail(QStringLiteral("The library is not open."));
    if (!refuseName(list.name))
        return false;
    if (list.channel != SetList::AnyChannel && (list.channel < 1 || list.channel > 16))
        return folder.refuse(
            QStringLiteral("Channel %1 is no MIDI channel (1 to 16, or any).").arg(list.channel));
    QHash<int, QString> taken;
    for (const SetList::Slot &slot : list.slotList) {
        if (slot.program < 0 || slot.program >= SetList::Programs)
            return folder.refuse(
                QStringLiteral("%1 is no program number (0 to 127).").arg(slot.program));
        if (taken.contains(slot.program))
            return folder.refuse(QStringLiteral("Program %1 recalls \"%2\" already.")
                                     .arg(slot.program)
                                     .arg(taken.value(slot.program)));
        taken.insert(slot.program, slot.name);
    }
    if (!QDir().mkpath(folderOf(folder)))
        return folder.fail(QStringLiteral("The folder %1 cannot be made.")
                               .arg(QDir::toNativeSeparators(folderOf(folder))));
    // A list named again in other case keeps its file's name.
    SetList written = list;
    if (const QString file = fileOf(list.name); !file.isEmpty())
        written.name = SetListFile::fromFile(file);
    const QString path = folderOf(folder) + u'/' + SetListFile::fileName(written.name);
    QString why;
    if (!SetListFile::write(path, written, &why))
        return folder.fail(QStringLiteral("The set list \"%1\" cannot be written to %2: %3.")
                               .arg(written.name, QDir::toNativeSeparators(path), why));
    // The file is the truth: a slot the index could not note is taken by its name when the list
    // is next read.
    if (!folder.index().write([&](QString *failed) { return note(written, failed); }, &why))
        folder.notice(QStringLiteral("The set list \"%1\" was written, but the library's index "
                                     "could not note its slots (%2).")
                          .arg(written.name, why));
    return true;
}

bool LibrarySetLists::add(const QString &name, int program, const LibraryEntries::Entry &entry) {
    if (!entry.named())
        return folder.refuse(QStringLiteral("Only a named configuration can fill a set list's "
                                            "slot; keep it under a name first."));
    SetList list;
    list.name = name;
    if (!fileOf(name).isEmpty()) {
        auto read = this->read(name);
        if (!read)
            return false;
        list = std::move(*read);
    }
    if (const SetList::Slot *slot = list.slot(program))
        return folder.refuse(QStringLiteral("Program %1 of the set list \"%2\" recalls \"%3\" "
                                            "already; remove it first.")
                                 .arg(program)
                                 .arg(list.name, slot->name));
    list.slotList.push_back({program, entry.name, entry.id, entry.missing});
    return write(list);
}

bool LibrarySetLists::remove(const QString &name, int program) {
    auto list = read(name);
    if (!list)
        return false;
    const auto before = list->slotList.size();
    std::erase_if(list->slotList,
                  [program](const SetList::Slot &slot) { return slot.program == program; });
    if (list->slotList.size() == before)
        return folder.refuse(QStringLiteral("Program %1 of the set list \"%2\" recalls nothing.")
                                 .arg(program)
                                 .arg(list->name));
    return write(*list);
}

bool LibrarySetLists::rename(const QString &from, const QString &to) {
    const QString file = fileOf(from);
    if (file.isEmpty())
        return folder.fail(QStringLiteral("There is no set list \"%1\" in the library.").arg(from));
    if (!refuseName(to))
        return false;
    const QString taken = fileOf(to);
    if (!taken.isEmpty() && taken != file)
        return folder.refuse(QStringLiteral("The name \"%1\" is taken already (by the set list "
                                            "\"%2\").")
                                 .arg(to, SetListFile::fromFile(taken)));
    const QString target = SetListFile::fileName(to);
    if (target == file)
        return true;
    if (!QFile::rename(folderOf(folder) + u'/' + file, folderOf(folder) + u'/' + target))
        return folder.fail(QStringLiteral("The set list \"%1\" could not be renamed.").arg(from));
    folder.update(QStringLiteral("UPDATE setlist_slots SET list = ? WHERE list = ?"),
                  {EntryName::folded(to), EntryName::folded(SetListFile::fromFile(file))});
    return true;
}

bool LibrarySetLists::erase(const QString &name) {
    const QString file = fileOf(name);
    if (file.isEmpty())
        return folder.fail(QStringLiteral("There is no set list \"%1\" in the library.").arg(name));
    if (!QFile::moveToTrash(folderOf(folder) + u'/' + file))
        return folder.fail(
            QStringLiteral("The set list \"%1\" could not be put in the trash.").arg(name));
    folder.update(QStringLiteral("DELETE FROM setlist_slots WHERE list = ?"),
                  {EntryName::folded(SetListFile::fromFile(file))});
    return true;
}

void LibrarySetLists::follow(qint64 entry) {
    QSqlQuery holding(folder.index().db());
    holding.prepare(QStringLiteral("SELECT DISTINCT list FROM setlist_slots WHERE entry = ?"));
    holding.addBindValue(entry);
    QStringList folded;
    if (holding.exec())
        while (holding.next())
            folded << holding.value(0).toString();
    holding.finish();
    // Reading a list rewrites the slots of a configuration whose name changed.
    for (const QString &name : names())
        if (folded.contains(EntryName::folded(name)))
            read(name);
}

void LibrarySetLists::readAll() {
    for (const QString &name : names())
        read(name);
}

} // namespace vkv::library
