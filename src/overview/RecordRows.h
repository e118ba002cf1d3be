#pragma once

#include "RecordId.h"
#include "RecordWords.h"

#include <QAbstractTableModel>
#include <QString>
#include <optional>
#include <vector>

namespace vkv::image {
class ConfigImage;
}

namespace vkv::overview {

// The rows of one tab of the overview: every pot (or every button) of the image in the box's
// order, one column a field of the record sheet in its words, and last the records that send the
// same message. It reads the image as it is whenever a cell is asked for; refresh() says that the
// image (and which records send the same) changed. Edits go past it: the window makes each one a
// step of the image's history.
class RecordRows : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        // The value the cell's editor starts from: the event type's index 0..6 (-1 for none), the
        // channel 1..16, a mode's index (-1 for none), any other field its byte.
        ValueRole = Qt::UserRole,
        // The record's bank, 1..16, and whether other records send the same.
        BankRole,
        SameRole,
    };

    RecordRows(const image::ConfigImage &image, bool pots, QObject *parent = nullptr);

    bool pots() const { return isPots; }
    // The sheet's column of a column, or nothing for "Sends the same as".
    std::optional<records::RecordWords::Column> columnOf(int column) const;
    // The column that shows a sheet column, or -1.
    int columnFor(records::RecordWords::Column column) const;
    int sameColumn() const { return static_cast<int>(columns.size()); }
    records::RecordId record(int row) const { return {isPots, row}; }

    // For each record of `image` in the box's order, the names of the other records that send
    // what it sends, at most SameShown of them, then how many more ("" for none); and how many
    // messages more than one record sends (`groups`), and how many records send them.
    static constexpr int SameShown = 8;
    static std::vector<QString> sameAs(const image::ConfigImage &image, int &groups, int &records);

    // The image changed; `sameAs` holds, for each record in the box's order, the names of the
    // other records that send what it sends ("" for none).
    void refresh(const std::vector<QString> &sameAs);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    const image::ConfigImage &image;
    const bool isPots;
    std::vector<records::RecordWords::Column> columns;
    std::vector<QString> same; // for each row
};

} // namespace vkv::overview
