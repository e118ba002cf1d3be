#pragma once

#include "LibraryEntries.h"
#include "SetList.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace vkv::library {

class LibraryFolder;

// The library's set lists: each a file of the folder "setlists" (SetListFile), the truth for its
// slots, so that nothing of them is lost with the index. A slot follows its configuration, not its
// name: the index keeps which configuration (its identity) each slot means, so a rename, or a
// restore under another name, rewrites the slots that hold it, and a new configuration that takes
// a deleted one's name fills none of the deleted one's slots. A slot whose configuration was
// deleted, went, or was never in the library is missing and recalls nothing. A slot the index
// does not know (a list written by hand, or an index made anew) is taken by its name.
//
// A failure returns false (or nothing) and the folder's error() says why in the user's words.
class LibrarySetLists {
public:
    LibrarySetLists(LibraryFolder &folder, LibraryEntries &entries);

    // The lists' names, as their files give them, in order of the name.
    QStringList names() const;
    // The list of that name (ignoring case when no file is exactly it), each slot with its
    // configuration and whether it is missing; `damaged` gets each line of its file that was
    // refused, with its number.
    std::optional<SetList> read(const QString &name, QStringList *damaged = nullptr);
    // Writes the list whole, made when it is not there: its slots' configurations as given.
    // Refused for a name no file can have, a program number out of range or given twice.
    bool write(const SetList &list);
    // A slot recalling `entry` at `program`, at the list's end; the list is made when it is not
    // there. Refused when the program has a slot already.
    bool add(const QString &list, int program, const LibraryEntries::Entry &entry);
    // Empties the slot of `program`; refused when there is none.
    bool remove(const QString &list, int program);
    // Moves a list to another name; refused when the name is taken by another list.
    bool rename(const QString &from, const QString &to);
    // Its file to the desktop's trash.
    bool erase(const QString &name);

    // The slots that hold configuration `entry` take its name now (after a rename or a restore).
    void follow(qint64 entry);
    // Takes in which configuration each slot of every list means, for those the index does not
    // know yet (a new index, a list written by hand).
    void readAll();

private:
    // The file of the list of that name, "" when there is none.
    QString fileOf(const QString &name) const;
    bool refuseName(const QString &name);
    // Notes which configurations the list's slots mean, replacing what the index knew of it.
    bool note(const SetList &list, QString *why);

    LibraryFolder &folder;
    LibraryEntries &entries;
};

} // namespace vkv::library
