#pragma once

#include "ConfigImage.h"
#include "LibraryEntries.h"
#include "LibraryFolder.h"
#include "LibraryHistory.h"
#include "LibraryImport.h"
#include "LibraryQuery.h"
#include "LibrarySearch.h"
#include "LibrarySetLists.h"
#include "LibraryTrash.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vkv::library {

// The library of configurations: a folder of .syx files, one configuration each, and its index.
// This is its face to the rest of the program; each job is a class of its own behind it: the
// folder and its index (LibraryFolder, with the index's copies), the named configurations
// (LibraryEntries), the history of captures and what a box held (LibraryHistory), the trash
// (LibraryTrash), import and export (LibraryImport), the search (LibrarySearch) and the set lists
// (LibrarySetLists).
//
// The files are the truth for content and names. A named configuration is the file named after
// it ("Live set 2026.syx"); a configuration that was only captured is kept once per distinct
// content in the folder "captured", named by its content's key (records alike = content alike,
// as "Compare ..." compares them). The index (LibraryIndex, in the folder "index") holds what
// files can't; a missing or damaged one is made anew from the folder when the library opens, with
// notes, tags and history taken back from the newest of the last three copies the library keeps
// of them there. A file changed behind the library's back is read again, and one removed is shown
// as missing, at open and at refresh().
//
// Every configuration that passes the program's ports whole is captured: the event (time,
// direction, port, whether a verify held) and its content; one that broke off is an event only,
// and so is a test copy that a search for the box's speed sent. A send and the answers to its
// requests on the ports used together are one box, whose ports all held what it held.
//
// Each configuration has an identity of its own in the index, apart from its name: deleting puts
// its file in the desktop's trash and keeps its notes, tags and favourite under that identity
// while a new configuration takes the name, and restore() brings both back.
//
// A failure returns false (or nothing) and error() says why in the user's words. Use a library
// on the thread that made it (its index is a database connection); two programs, or two threads
// with a library each, may use one folder at once.
class Library {
public:
    using Direction = LibraryHistory::Direction;
    using Verify = LibraryHistory::Verify;
    using Entry = LibraryEntries::Entry;
    using Event = LibraryHistory::Event;
    using Capture = LibraryHistory::Capture;
    using Held = LibraryHistory::Held;
    using Hit = LibrarySearch::Hit;
    using Refused = LibraryImport::Refused;
    using Imported = LibraryImport::Imported;
    using Trashed = LibraryTrash::Trashed;

    static constexpr int DefaultBusyMs = 5000;

    explicit Library(int busyTimeoutMs = DefaultBusyMs);
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;

    // $XDG_DATA_HOME/vkvela/library, or ~/.local/share/vkvela/library.
    static QString defaultFolder();

    // Opens the library in `folder`, making the folder and an index when they are not there, and
    // takes in what changed in the folder since.
    bool open(const QString &folder);
    bool isOpen() const { return files.isOpen(); }
    const QString &folder() const { return files.folder(); }
    // The full path of a file of the folder.
    QString path(const QString &file) const { return files.path(file); }
    const QString &error() const { return files.error(); }
    // What the library had to say the user should hear (an index made anew, a write that the
    // index takes later); each said once.
    QStringList takeNotices() { return files.takeNotices(); }

    // Takes in files added, changed or removed behind the library's back.
    bool refresh() { return files.refresh(); }

    // The configurations, named ones and those only captured (unless a named one holds the same
    // records); missing ones too, but none in the trash.
    std::vector<Entry> entries();
    // The named configuration of that name (ignoring case when no name is exactly it).
    std::optional<Entry> named(const QString &name) { return entryList.named(name); }
    // Newest first.
    std::vector<Event> history() { return events.events(); }
    // What the box on `port` (a port's whole name, or its client's name) held at `when`. Nothing
    // when nothing was sent to it or received from it before then (error() says so).
    std::optional<Held> heldAt(const QString &port, const QDateTime &when) {
        return events.heldAt(port, when);
    }
    // The configuration a file holds now, read from it.
    std::optional<image::DumpBytes> read(const Entry &entry) { return entryList.read(entry); }
    // A content, from whichever file of the folder holds it now.
    std::optional<image::DumpBytes> content(const QString &key) { return entryList.content(key); }
    // The names of the present named configurations that hold this content.
    QStringList namesOf(const QString &key) { return entryList.namesOf(key); }

    // A new named configuration, with an identity of its own; refused (error() says why) for a
    // name no file can have or one taken already (also by one whose file is missing).
    std::optional<Entry> add(const image::DumpBytes &dump, const QString &name) {
        return entryList.add(dump, name);
    }
    // Moves the configuration to another name with its notes, tags and favourite, or refuses
    // (error() says why) and changes nothing.
    // Its set lists' slots follow it.
    bool rename(const Entry &entry, const QString &name);
    bool setNotes(const Entry &entry, const QString &notes) {
        return entryList.setNotes(entry, notes);
    }
    bool setTags(const Entry &entry, const QStringList &tags) {
        return entryList.setTags(entry, tags);
    }
    bool setFavourite(const Entry &entry, bool favourite) {
        return entryList.setFavourite(entry, favourite);
    }
    // Its file to the trash and the entry out of the list, both or neither (error() says why).
    std::optional<Trashed> trash(const Entry &entry) { return bin.trash(entry); }
    // Brings a deleted configuration back with its notes: under its name, or when that is taken
    // meanwhile under a free one ("Gig (restored)"). The name it came back under ("" for a
    // captured one); nothing when it cannot come back (error() says why), with `again` set when
    // it may later (the index was busy).
    std::optional<QString> restore(const Trashed &trashed, bool *again = nullptr);

    bool capture(const Capture &capture) { return events.capture(capture); }
    // The box held (or did not hold) a configuration sent to `port`: its latest send of it that
    // no verify has answered says so, a test copy's too.
    bool verified(const QString &port, const image::DumpBytes &sent, bool held) {
        return events.verified(port, sent, held);
    }

    // The configurations of `among` the query finds.
    std::vector<Hit> search(const LibraryQuery &query, const std::vector<Entry> &among) {
        return finder.search(query, among);
    }
    // Every dump in the files below `folder` (.syx and MIDI files) enters, named after its file;
    // every file with none is listed with why (links are not followed).
    Imported importFolder(const QString &folder) { return importer.importFolder(folder); }
    // Copies the configurations' files into `folder`, each named after its configuration; a file
    // there already is never replaced (refused, with the others).
    bool exportTo(const std::vector<Entry> &entries, const QString &folder,
                  std::vector<Refused> *refused) {
        return importer.exportTo(entries, folder, refused);
    }

    // The set lists (see LibrarySetLists): their names, in order of the name.
    QStringList setListNames() const { return lists.names(); }
    // The set list of that name, each slot with its configuration's identity and whether it is
    // missing; `damaged` gets each line of its file that was refused, with its number.
    std::optional<SetList> setList(const QString &name, QStringList *damaged = nullptr) {
        return lists.read(name, damaged);
    }
    // Writes a set list whole, made when it is not there.
    bool writeSetList(const SetList &list) { return lists.write(list); }
    // A slot recalling `entry` at `program`, the list made when it is not there.
    bool addToSetList(const QString &list, int program, const Entry &entry) {
        return lists.add(list, program, entry);
    }
    bool removeFromSetList(const QString &list, int program) { return lists.remove(list, program); }
    bool renameSetList(const QString &from, const QString &to) { return lists.rename(from, to); }
    // Its file to the desktop's trash.
    bool deleteSetList(const QString &name) { return lists.erase(name); }

private:
    // In the order they depend on each other; the folder, made first, goes last.
    LibraryFolder files;
    LibraryEntries entryList;
    LibraryHistory events;
    LibraryTrash bin;
    LibraryImport importer;
    LibrarySearch finder;
    LibrarySetLists lists;
};

} // namespace vkv::library
