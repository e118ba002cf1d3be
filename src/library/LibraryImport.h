#pragma once

#include "LibraryEntries.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace vkv::library {

class LibraryFolder;

// Configurations in and out of the library as whole folders of .syx files. An import takes every
// dump below a folder, each named after its file (a name taken gets a number): a .syx file's dump,
// and each dump a MIDI file holds ("Song 1", "Song 2", ... when it holds several); it lists every
// other file with why it did not enter; an export copies configurations' files out, each named
// after its configuration, and never replaces a file there.
class LibraryImport {
public:
    struct Refused {
        QString file;
        QString why;
    };
    struct Imported {
        int added = 0;
        QStringList already; // the same name and records are in the library already
        std::vector<Refused> refused;
    };

    // `entries` knows the names taken and reads what is exported.
    LibraryImport(LibraryFolder &folder, LibraryEntries &entries);

    // Every dump in the files below `folder` enters, named after its file; every file with none
    // is listed with why (links are not followed).
    Imported importFolder(const QString &folder);
    // Copies the configurations' files into `folder`, each named after its configuration; a file
    // there already is never replaced (refused, with the others).
    bool exportTo(const std::vector<LibraryEntries::Entry> &entries, const QString &folder,
                  std::vector<Refused> *refused);

private:
    LibraryFolder &folder;
    LibraryEntries &entries;
};

} // namespace vkv::library
