#pragma once

#include "LibraryEntries.h"

#include <QString>
#include <optional>

namespace vkv::library {

class LibraryFolder;

// Deleting and bringing back. A configuration deleted has its file put in the desktop's trash and
// leaves the list, both or neither; the index keeps its notes, tags and favourite under its
// identity while a new configuration may take its name, and restore() brings both back.
class LibraryTrash {
public:
    // Where a deleted configuration went, to bring it back.
    struct Trashed {
        qint64 id = 0;
        QString file;
        QString inTrash; // "" for a missing one, which only left the list
    };

    // `entries` finds a free name for one that comes back.
    LibraryTrash(LibraryFolder &folder, LibraryEntries &entries);

    // Its file to the trash and the entry out of the list, both or neither (error() says why).
    std::optional<Trashed> trash(const LibraryEntries::Entry &entry);
    // Brings a deleted configuration back with its notes: under its name, or when that is taken
    // meanwhile under a free one ("Gig (restored)"). The name it came back under ("" for a
    // captured one); nothing when it cannot come back (error() says why), with `again` set when
    // it may later (the index was busy).
    std::optional<QString> restore(const Trashed &trashed, bool *again = nullptr);

private:
    LibraryFolder &folder;
    LibraryEntries &entries;
};

} // namespace vkv::library
