#pragma once

#include "RecordId.h"

#include <QTableView>
#include <functional>
#include <vector>

namespace vkv::image {
class ConfigImage;
}

namespace vkv::overview {

class RecordRows;
class RowFilter;

// One tab of the overview: the rows of every pot (or every button), shown through the filter,
// whole rows selected (several with Shift and Ctrl), each cell edited with the page's control
// for its field. Knows which records are selected and which is current, and selects records for
// whoever asks (following the box).
class RecordTable : public QTableView {
    Q_OBJECT
public:
    RecordTable(const image::ConfigImage &image, bool pots, QWidget *parent = nullptr);

    bool pots() const { return isPots; }
    RecordRows &rows() const { return *records; }
    RowFilter &filter() const { return *shown; }

    // The record a row of the view is.
    records::RecordId recordAt(const QModelIndex &index) const;
    // The selected records, in the box's order.
    std::vector<records::RecordId> selected() const;
    // The current row's record; the first record when there is none.
    records::RecordId current() const;
    // Selects these records of the table's kind alone, and makes the first current and shown;
    // false, selecting nothing, when the filter hides one of them.
    bool select(const std::vector<records::RecordId> &chosen);

    // A cell was set to a value (see FieldDelegate).
    std::function<void(const QModelIndex &index, int value)> edited;

private:
    const bool isPots;
    RecordRows *records;
    RowFilter *shown;
};

} // namespace vkv::overview
