#pragma once

#include "SetList.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace vkv::library {

// A set list as a plain text file any editor, sync tool or script can handle: one line a slot, in
// the list's order, the program number, a tab and the configuration's name:
//
//     # channel 1
//     0<TAB>Live set 2026
//     1<TAB>Drum kit
//
// The first line, "# channel N" (or "# channel any"), keeps the list's channel beside its slots;
// other lines beginning with "#", and blank ones, are the user's and are passed by. Reading is
// line by line: a damaged line is refused with its number and why, and the other lines are kept.
// A file is written beside its target first and put in its place only once whole.
class SetListFile {
public:
    static constexpr auto Suffix = ".txt";
    // The library folder's folder of set lists.
    static inline const QString Folder = QStringLiteral("setlists");

    struct Read {
        SetList list; // its name left empty: the file's name is the list's
        // "line 3: "x" is no program number (0 to 127)", one a damaged line.
        QStringList damaged;
    };

    static Read parse(const QByteArray &text);
    static QByteArray text(const SetList &list);

    // Nothing when the file cannot be read (`why` says why).
    static std::optional<Read> read(const QString &path, QString *why = nullptr);
    // On failure nothing at `path` has changed and `why` says why.
    static bool write(const QString &path, const SetList &list, QString *why = nullptr);

    // "Encore.txt"; "Encore" of it.
    static QString fileName(const QString &name);
    static QString fromFile(const QString &fileName);
};

} // namespace vkv::library
