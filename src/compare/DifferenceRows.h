#pragma once

#include "ImageComparison.h"

#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace vkv::compare {

// The comparison window's rows, as a table over the differences: the record's name, then the
// fields that differ with both values ("Event Type: Controller / Note On"). A row is worded only
// when the view asks for it, so a list of every record costs no more to show than the rows on
// the screen. The first column carries the record's kind and ID for the window's double click.
class DifferenceRows : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { PotRole = Qt::UserRole, IdRole };
    enum Column { RecordColumn, FieldsColumn, ColumnCount };

    explicit DifferenceRows(QObject *parent = nullptr);

    // The rows become `differences`; the fields' column is headed "<nameA> / <nameB>".
    void setDifferences(std::vector<vkv::image::RecordDifference> differences, const QString &nameA,
                        const QString &nameB);
    const std::vector<vkv::image::RecordDifference> &differences() const { return rows; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<vkv::image::RecordDifference> rows;
    QString namesHeading;
};

} // namespace vkv::compare
