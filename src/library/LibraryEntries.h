#pragma once

#include "ConfigImage.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vkv::library {

class LibraryFolder;

// The library's configurations as the user names them. A named configuration is the file named
// after it ("Live set 2026.syx"); a captured one is the file of its content's key in "captured".
// Each has an identity of its own in the index, apart from its name, which its notes, tags and
// favourite belong to. Names keep to EntryName's rules, and two configurations never have one
// name, not even one whose file went (it may come back).
class LibraryEntries {
public:
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

    // Why a change to a configuration another program deleted meanwhile did not happen.
    static inline const QString NotThere = QStringLiteral("it is not in the library now");

    explicit LibraryEntries(LibraryFolder &folder);

    // The configurations, named ones and those only captured (unless a named one holds the same
    // records); missing ones too, but none in the trash. `came`: how each captured content came
    // first, by its key (the history knows); one it lacks is "not in the history".
    std::vector<Entry> entries(const QHash<QString, QString> &came = {});
    // The named configuration of that name (ignoring case when no name is exactly it).
    std::optional<Entry> named(const QString &name);
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

    // The name of the configuration (a file of the folder, or one whose file is missing) that
    // `name` would be one with, but the one of file `except`; "" when the name is free.
    QString takenBy(const QString &name, const QString &except = {}) const;
    // Whether a present or missing configuration has the file `file`.
    bool listed(const QString &file) const;
    // `name`, or the first of "name (restored)", "name (restored 2)", ... that is free.
    QString freeName(const QString &name) const;

private:
    LibraryFolder &folder;
};

} // namespace vkv::library
