#pragma once

#include "ConfigImage.h"
#include "LibraryIndex.h"
#include "LibraryQuery.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace vkv::library {

// The library of configurations: a folder of .syx files, one configuration each, and its index.
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
    enum class Direction { Received = 0, Sent = 1 };
    enum class Verify { NotChecked, Held, Differed };

    // A configuration of the folder.
    struct Entry {
        qint64 id = 0; // its identity in the index, whatever its name
        QString file;  // its path in the folder: "Live set 2026.syx", "captured/<key>.syx"
        QString name;  // "Live set 2026"; "" for a captured configuration
        QString key;   // its content's
        QDateTime changed;
        QString notes;
        QStringList tags;
        bool favourite = false;
        bool missing = false; // its file went behind the library's back
        // The other named configurations that hold the same records: shown, never dropped.
        QStringList sameAs;
        // A captured one: how it came first, "received from vela-box:out on 2026-12-09 15:30".
        QString captured;
        bool named() const { return !name.isEmpty(); }
        // Its name, or "Captured: " and how it came.
        QString title() const;
    };

    // A configuration that went out or came in, or one that did not come or go whole.
    struct Event {
        qint64 id = 0;
        QDateTime time;
        Direction direction = Direction::Received;
        QString port;
        QString key; // "" when it broke off
        int bytes = 0;
        Verify verified = Verify::NotChecked;
        // A test copy that a search for the box's speed sent, or the box's answer to one.
        bool test = false;
        // The port used together with `port` (a send's MIDI IN, a received dump's MIDI OUT), or "".
        QString paired;
        // Of a send that broke off: the key of what it was sending, "" when not known.
        QString sending;
        bool whole() const { return !key.isEmpty(); }
        // "received from vela-box:out", "sent to vela-box:in, verified", and " (test copy)" after
        // a test copy's.
        QString text() const;
    };

    // What a transfer hands the library to record.
    struct Capture {
        QDateTime time;
        Direction direction = Direction::Received;
        QString port;
        std::optional<image::DumpBytes> dump; // none: it broke off
        int bytes = image::DumpSize;          // of one that broke off, how many went or came
        // A test copy of a search for the box's speed (or the answer to one): shown in History as
        // a test, never kept as a captured configuration, never what the box is said to hold.
        bool test = false;
        // The port used together with `port`: a send's MIDI IN (where the answers to its
        // requests come), a received dump's MIDI OUT (where its request went); "" for none.
        QString paired = {};
        // Of a send that broke off: what it was sending, when the sender knows.
        std::optional<image::DumpBytes> sending = std::nullopt;
    };

    // What a box held at a time, as far as the history tells: the last whole configuration sent
    // to it or received from it, or, after a send that broke off, a verify that failed or a test
    // copy, a broken or unknown one until the next whole send or whole answer.
    struct Held {
        QStringList ports; // the box's: the port asked about and those used together with it
        // The whole configuration it held, or the send after which it held a broken or unknown one.
        Event event;
        bool known = true;
        // The named configurations holding what it held, or what was sent.
        QStringList names;
        // "Gig", "Gig, not verified", "a broken or unknown configuration since 2026-12-01
        // 18:02:10 (what was sent: Gig, not verified)"; names in quotes when `quoted`.
        QString text(bool quoted = false) const;
    };

    struct Hit {
        Entry entry;
        LibraryQuery::Matches records; // which records met the content terms
    };
    struct Refused {
        QString file;
        QString why;
    };
    struct Imported {
        int added = 0;
        QStringList already; // the same name and records are in the library already
        std::vector<Refused> refused;
    };
    // Where a deleted configuration went, to bring it back.
    struct Trashed {
        qint64 id = 0;
        QString file;
        QString inTrash; // "" for a missing one, which only left the list
    };

    static constexpr int DefaultBusyMs = 5000;
    // The copies of the index: three, the newest replaced until it is this old.
    static constexpr int Copies = 3;
    static constexpr qint64 CopyAgeMs = 10 * 60 * 1000;

    explicit Library(int busyTimeoutMs = DefaultBusyMs);
    ~Library();
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;

    // $XDG_DATA_HOME/vkvela/library, or ~/.local/share/vkvela/library.
    static QString defaultFolder();

    // Opens the library in `folder`, making the folder and an index when they are not there, and
    // takes in what changed in the folder since.
    bool open(const QString &folder);
    bool isOpen() const { return index.isOpen(); }
    const QString &folder() const { return folder_; }
    // The full path of a file of the folder.
    QString path(const QString &file) const;
    const QString &error() const { return error_; }
    // What the library had to say the user should hear (an index made anew, a write that the
    // index takes later); each said once.
    QStringList takeNotices();

    // Takes in files added, changed or removed behind the library's back.
    bool refresh();

    // The configurations, named ones and those only captured (unless a named one holds the same
    // records); missing ones too, but none in the trash.
    std::vector<Entry> entries();
    // The named configuration of that name (ignoring case when no name is exactly it).
    std::optional<Entry> named(const QString &name);
    // Newest first.
    std::vector<Event> history();
    // What the box on `port` (a port's whole name, or its client's name) held at `when`. Nothing
    // when nothing was sent to it or received from it before then (error() says so).
    std::optional<Held> heldAt(const QString &port, const QDateTime &when);
    // The configuration a file holds now, read from it.
    std::optional<image::DumpBytes> read(const Entry &entry);
    // A content, from whichever file of the folder holds it now.
    std::optional<image::DumpBytes> content(const QString &key);
    // The names of the present named configurations that hold this content.
    QStringList namesOf(const QString &key);

    // A new named configuration, with an identity of its own; refused (error() says why) for a
    // name no file can have or one taken already (also by one whose file is missing).
    std::optional<Entry> add(const image::DumpBytes &dump, const QString &name);
    // Moves the configuration to another name with its notes, tags and favourite, or refuses
    // (error() says why) and changes nothing.
    bool rename(const Entry &entry, const QString &name);
    bool setNotes(const Entry &entry, const QString &notes);
    bool setTags(const Entry &entry, const QStringList &tags);
    bool setFavourite(const Entry &entry, bool favourite);
    // Its file to the trash and the entry out of the list, both or neither (error() says why).
    std::optional<Trashed> trash(const Entry &entry);
    // Brings a deleted configuration back with its notes: under its name, or when that is taken
    // meanwhile under a free one ("Gig (restored)"). The name it came back under ("" for a
    // captured one); nothing when it cannot come back (error() says why), with `again` set when
    // it may later (the index was busy).
    std::optional<QString> restore(const Trashed &trashed, bool *again = nullptr);

    bool capture(const Capture &capture);
    // The box held (or did not hold) a configuration sent to `port`: its latest send of it that
    // no verify has answered says so, a test copy's too.
    bool verified(const QString &port, const image::DumpBytes &sent, bool held);

    // The configurations of `among` the query finds.
    std::vector<Hit> search(const LibraryQuery &query, const std::vector<Entry> &among);
    // Every file below `folder` that is a dump enters, named after its file; every other one is
    // listed with why it did not (links are not followed).
    Imported importFolder(const QString &folder);
    // Copies the configurations' files into `folder`, each named after its configuration; a file
    // there already is never replaced (refused, with the others).
    bool exportTo(const std::vector<Entry> &entries, const QString &folder,
                  std::vector<Refused> *refused);

private:
    struct Found {
        qint64 size = 0, mtime = 0;
    };
    bool fail(const QString &why);
    bool scan();
    bool takeBackCopy(QString *when);
    void copyWhenDue();
    bool writeCopy();
    QString copyPath(int n) const;
    // Puts a read file's entry and content in the index, within a write: `fresh` a new entry
    // (its identity in `id`), otherwise the one of that file, kept or made.
    bool putEntry(const QString &file, const image::DumpBytes &dump, const Found &found, bool fresh,
                  QString *why, qint64 *id = nullptr);
    // Runs one statement as a write; with `gone` set, one that changes no row fails saying so.
    bool update(const QString &sql, const QVariantList &values, const QString &gone = {});
    // After a write of the index: its failure said, or its copy made when due.
    bool kept(bool written, const QString &why);
    Found stat(const QString &file) const;
    // The name of the configuration (a file of the folder, or one whose file is missing) that
    // `name` would be one with, but the one of file `except`; "" when the name is free.
    QString takenBy(const QString &name, const QString &except = {}) const;
    // Whether a present or missing configuration has the file `file`.
    bool listed(const QString &file) const;
    // `name`, or the first of "name (restored)", "name (restored 2)", ... that is free.
    QString freeName(const QString &name) const;
    // The ports used together with those `port` names, the first ones among them.
    QStringList boxOf(const QString &port);
    // Files left by a program that crashed while it wrote them.
    void removeLeftovers();
    const LibraryQuery::Records *cached(const QString &key);

    QString folder_;
    QString error_;
    QStringList notices;
    LibraryIndex index;
    bool copyDue = false;
    QElapsedTimer sinceCopy;
    // The search's records, by content key: a key's content never changes.
    QHash<QString, LibraryQuery::Records> contents;
};

} // namespace vkv::library
