#include "ConfigurationRows.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>

namespace vkv::librarywindow {

void ConfigurationRows::setHits(std::vector<library::Library::Hit> found) {
    beginResetModel();
    hits = std::move(found);
    sortHits();
    endResetModel();
}

void ConfigurationRows::sort(int column, Qt::SortOrder order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    sortColumn = column;
    sortOrder = order;
    // The selection and the current row stay on their configurations: each persistent index
    // moves to where its row went.
    const std::vector<int> wentTo = sortHits();
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &was : before)
        after << index(wentTo[static_cast<std::size_t>(was.row())], was.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<int> ConfigurationRows::sortHits() {
    using Hit = library::Library::Hit;
    // Named ones by name, the captured after them; ties by name.
    const auto byName = [](const Hit &a, const Hit &b) {
        if (a.entry.named() != b.entry.named())
            return a.entry.named();
        return a.entry.title().compare(b.entry.title(), Qt::CaseInsensitive) < 0;
    };
    const auto less = [&](const Hit &a, const Hit &b) {
        switch (sortColumn) {
        case Changed:
            if (a.entry.changed != b.entry.changed)
                return a.entry.changed < b.entry.changed;
            break;
        case Tags:
            if (a.entry.tags != b.entry.tags)
                return a.entry.tags.join(u',').compare(b.entry.tags.join(u','),
                                                       Qt::CaseInsensitive) < 0;
            break;
        case Favourite:
            if (a.entry.favourite != b.entry.favourite)
                return a.entry.favourite;
            break;
        case Records:
            if (a.records.count != b.records.count)
                return a.records.count > b.records.count;
            break;
        default:
            break;
        }
        return byName(a, b);
    };
    // The rows' old numbers are sorted, so that each row's new place is known.
    std::vector<int> order(hits.size());
    for (std::size_t row = 0; row < order.size(); ++row)
        order[row] = static_cast<int>(row);
    const auto hit = [this](int row) -> const Hit & { return hits[static_cast<std::size_t>(row)]; };
    if (sortOrder == Qt::AscendingOrder)
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return less(hit(a), hit(b)); });
    else
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return less(hit(b), hit(a)); });
    std::vector<Hit> sorted;
    sorted.reserve(hits.size());
    std::vector<int> wentTo(hits.size());
    for (std::size_t at = 0; at < order.size(); ++at) {
        sorted.push_back(std::move(hits[static_cast<std::size_t>(order[at])]));
        wentTo[static_cast<std::size_t>(order[at])] = static_cast<int>(at);
    }
    hits = std::move(sorted);
    return wentTo;
}

int ConfigurationRows::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(hits.size());
}

int ConfigurationRows::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant ConfigurationRows::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const library::Library::Hit &hit = hits[static_cast<std::size_t>(index.row())];
    const library::Library::Entry &entry = hit.entry;
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case Name:
            return entry.missing ? entry.title() + QStringLiteral(" (missing)") : entry.title();
        case Changed:
            return entry.changed.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        case Tags:
            return entry.tags.join(QStringLiteral(", "));
        case Favourite:
            return entry.favourite ? QStringLiteral("\u2605") : QString();
        case SameAs:
            return entry.sameAs.join(QStringLiteral(", "));
        case Records:
            return hit.records.text();
        default:
            return {};
        }
    }
    if (role == Qt::FontRole && (!entry.named() || entry.missing)) {
        QFont font;
        font.setItalic(true);
        return font;
    }
    if (role == Qt::ForegroundRole && entry.missing)
        return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    return {};
}

QVariant ConfigurationRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const names[] = {"Name",      "Last change",     "Tags",
                                        "Favourite", "Same records as", "Records found"};
    return section >= 0 && section < Columns ? QString::fromLatin1(names[section]) : QVariant();
}

} // namespace vkv::librarywindow
