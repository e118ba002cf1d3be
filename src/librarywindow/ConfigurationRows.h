#pragma once

#include "Library.h"

#include <QAbstractTableModel>
#include <vector>

namespace vkv::librarywindow {

// The Configurations view's rows: one a configuration the search found, with its name, last
// change, tags, whether it is a favourite, the named configurations that hold the same records,
// and the records a content search matched. A missing one says so; a captured one is in italics.
class ConfigurationRows : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Changed, Tags, Favourite, SameAs, Records, Columns };

    using QAbstractTableModel::QAbstractTableModel;

    void setHits(std::vector<library::Library::Hit> hits);
    const library::Library::Entry &entry(int row) const {
        return hits[static_cast<std::size_t>(row)].entry;
    }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Sorted here rather than through a proxy: a proxy asks data() for each comparison, which
    // took ten thousand rows a tenth of a second. The selection stays on its configurations.
    void sort(int column, Qt::SortOrder order) override;

private:
    // Sorts the rows as asked; for each row's old number its new one.
    std::vector<int> sortHits();

    std::vector<library::Library::Hit> hits;
    int sortColumn = Name;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
};

} // namespace vkv::librarywindow
