#pragma once

#include "LibraryEntries.h"
#include "LibraryQuery.h"

#include <QHash>
#include <QString>
#include <vector>

namespace vkv::library {

class LibraryFolder;

// The search of the library's configurations: words over their names, notes and tags, content
// terms over the records the index keeps of each content, read once and kept here by key (a key's
// content never changes), so that a search as the user types reads no file.
class LibrarySearch {
public:
    struct Hit {
        LibraryEntries::Entry entry;
        LibraryQuery::Matches records; // which records met the content terms
    };

    explicit LibrarySearch(LibraryFolder &folder);

    // The configurations of `among` the query finds.
    std::vector<Hit> search(const LibraryQuery &query,
                            const std::vector<LibraryEntries::Entry> &among);
    // Forgets the records read: another folder is opened.
    void clear() { contents.clear(); }

private:
    const LibraryQuery::Records *cached(const QString &key);

    LibraryFolder &folder;
    // The search's records, by content key.
    QHash<QString, LibraryQuery::Records> contents;
};

} // namespace vkv::library
