#include "DifferenceRows.h"

namespace vkv::compare {

DifferenceRows::DifferenceRows(QObject *parent) : QAbstractTableModel(parent) {}

void DifferenceRows::setDifferences(std::vector<vkv::image::RecordDifference> differences,
                                    const QString &nameA, const QString &nameB) {
    beginResetModel();
    rows = std::move(differences);
    namesHeading = nameA + " / " + nameB;
    endResetModel();
}

int DifferenceRows::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int DifferenceRows::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DifferenceRows::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const vkv::image::RecordDifference &d = rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return index.column() == RecordColumn ? d.name : vkv::image::ImageComparison::fieldsText(d);
    case PotRole:
        return d.pot;
    case IdRole:
        return d.id;
    default:
        return QVariant();
    }
}

QVariant DifferenceRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return section == RecordColumn ? QStringLiteral("Record") : namesHeading;
}

} // namespace vkv::compare
