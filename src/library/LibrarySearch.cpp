#include "LibrarySearch.h"

#include "LibraryFolder.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace vkv::library {

LibrarySearch::LibrarySearch(LibraryFolder &folder) : folder(folder) {}

const LibraryQuery::Records *LibrarySearch::cached(const QString &key) {
    const auto take = [this](const QString &key, const QByteArray &bytes) {
        LibraryQuery::Records &records = contents[key];
        if (bytes.size() == static_cast<qsizetype>(records.size()))
            std::copy(bytes.begin(), bytes.end(), records.begin());
        return &records;
    };
    if (contents.isEmpty()) {
        // All at once the first time: one query instead of thousands.
        QSqlQuery rows(folder.index().db());
        rows.setForwardOnly(true);
        if (rows.exec(QStringLiteral("SELECT key, records FROM contents")))
            while (rows.next())
                take(rows.value(0).toString(), rows.value(1).toByteArray());
    }
    auto found = contents.constFind(key);
    if (found != contents.cend())
        return &*found;
    // Another program's since.
    QSqlQuery row(folder.index().db());
    row.prepare(QStringLiteral("SELECT records FROM contents WHERE key = ?"));
    row.addBindValue(key);
    if (!row.exec() || !row.next())
        return nullptr;
    return take(key, row.value(0).toByteArray());
}

std::vector<LibrarySearch::Hit>
LibrarySearch::search(const LibraryQuery &query, const std::vector<LibraryEntries::Entry> &among) {
    std::vector<Hit> hits;
    for (const LibraryEntries::Entry &entry : among) {
        const QString title = entry.title(), tags = entry.tags.join(u' ');
        if (!query.wordsMatch({&title, &entry.notes, &tags}))
            continue;
        Hit hit{entry, {}};
        if (query.hasContentTerms()) {
            const LibraryQuery::Records *records = cached(entry.key);
            if (!records)
                continue;
            hit.records = query.matchingRecords(*records);
            if (hit.records.count == 0)
                continue;
        }
        hits.push_back(std::move(hit));
    }
    return hits;
}

} // namespace vkv::library
