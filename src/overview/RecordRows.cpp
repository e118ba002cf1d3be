#include "RecordRows.h"

#include "ConfigImage.h"
#include "Conflicts.h"
#include "FieldText.h"
#include "RecordFields.h"

#include <QStringList>
#include <algorithm>

namespace vkv::overview {

namespace {

using Column = records::RecordWords::Column;
using Field = image::RecordFields::Field;

QString header(Column column) {
    switch (column) {
    case Column::Record:
        return QStringLiteral("Record");
    case Column::Type:
        return image::RecordFields::word(Field::EventType);
    case Column::Channel:
        return image::RecordFields::word(Field::Channel);
    case Column::Number:
        return QStringLiteral("Number");
    case Column::Min:
        return image::RecordFields::word(Field::Min);
    case Column::Max:
        return image::RecordFields::word(Field::Max);
    case Column::Value:
        return QStringLiteral("Value");
    case Column::Mode:
        return image::RecordFields::word(Field::Mode);
    }
    return {};
}

} // namespace

RecordRows::RecordRows(const image::ConfigImage &image, bool pots, QObject *parent)
    : QAbstractTableModel(parent), image(image), isPots(pots),
      same(static_cast<std::size_t>(pots ? image::PotCount : image::ButtonCount)) {
    for (int c = 0; c < records::RecordWords::ColumnCount; ++c)
        if (records::RecordWords::has(pots, static_cast<Column>(c)))
            columns.push_back(static_cast<Column>(c));
}

std::optional<Column> RecordRows::columnOf(int column) const {
    if (column < 0 || column >= static_cast<int>(columns.size()))
        return std::nullopt;
    return columns[static_cast<std::size_t>(column)];
}

int RecordRows::columnFor(Column column) const {
    const auto at = std::find(columns.begin(), columns.end(), column);
    return at == columns.end() ? -1 : static_cast<int>(at - columns.begin());
}

std::vector<QString> RecordRows::sameAs(const image::ConfigImage &image, int &groups,
                                        int &records) {
    std::vector<QString> same(static_cast<std::size_t>(records::RecordCount));
    const auto found = records::Conflicts::find(image);
    groups = static_cast<int>(found.size());
    records = 0;
    for (const auto &group : found) {
        records += static_cast<int>(group.records.size());
        QStringList names;
        for (const records::RecordId record : group.records)
            names << records::RecordWords::name(record);
        for (std::size_t i = 0; i < group.records.size(); ++i) {
            QStringList others = names;
            others.removeAt(static_cast<qsizetype>(i));
            const auto more = others.size() - SameShown;
            if (more > 0) {
                others = others.mid(0, SameShown);
                others << QStringLiteral("%1 more").arg(more);
            }
            same[static_cast<std::size_t>(group.records[i].order())] =
                others.join(QStringLiteral(", "));
        }
    }
    return same;
}

void RecordRows::refresh(const std::vector<QString> &sameAs) {
    const int first = isPots ? 0 : image::PotCount;
    std::copy_n(sameAs.begin() + first, same.size(), same.begin());
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int RecordRows::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(same.size());
}

int RecordRows::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns.size()) + 1;
}

QVariant RecordRows::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    const records::RecordId id = record(index.row());
    const auto row = static_cast<std::size_t>(index.row());
    if (role == BankRole)
        return id.bank();
    if (role == SameRole)
        return !same[row].isEmpty();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != ValueRole)
        return {};
    const auto column = columnOf(index.column());
    if (!column) // a long list shows whole in the tip
        return role == ValueRole ? QVariant() : QVariant(same[row]);
    if (role == Qt::ToolTipRole)
        return {};
    const records::RecordWords::Bytes bytes = records::RecordWords::bytes(image, id);
    if (role != ValueRole)
        return records::RecordWords::text(bytes, id, *column);
    // What the pages' controls show for the record.
    const int status = std::max<int>(image::readStatus(bytes[0]), 0x90);
    switch (*column) {
    case Column::Type:
        return image::readStatus(bytes[0]) >= 0x90 ? status / 16 - 9 : -1;
    case Column::Channel:
        return status % 16 + 1;
    case Column::Mode:
        return bytes[3] < image::FieldText::ModeCount ? int(bytes[3]) : -1;
    case Column::Record:
        return id.index;
    default:
        return int(bytes[static_cast<std::size_t>(records::RecordWords::byteOf(*column))]);
    }
}

QVariant RecordRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const auto column = columnOf(section);
    return column ? header(*column) : QStringLiteral("Sends the same as");
}

Qt::ItemFlags RecordRows::flags(const QModelIndex &index) const {
    const auto column = columnOf(index.column());
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (column && *column != Column::Record)
        flags |= Qt::ItemIsEditable;
    return flags;
}

} // namespace vkv::overview
