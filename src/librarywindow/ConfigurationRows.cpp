#include "ConfigurationRows.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>

namespace vkv::librarywindow {

void ConfigurationRows::setHits(std::vector<library::Library::Hit> found) {
    beginResetModel();
    hits = std::move(found);
    endResetModel();
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
    static const char *const names[] = {"Name",     "Last change",     "Tags",
                                        "Favourite", "Same records as", "Records found"};
    return section >= 0 && section < Columns ? QString::fromLatin1(names[section]) : QVariant();
}

} // namespace vkv::librarywindow
