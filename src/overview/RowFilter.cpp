#include "RowFilter.h"

#include "RecordRows.h"

namespace vkv::overview {

RowFilter::RowFilter(QObject *parent) : QSortFilterProxyModel(parent) {
    setDynamicSortFilter(true);
}

void RowFilter::show(int which) {
    if (which == rows)
        return;
    rows = which;
    invalidateFilter();
}

bool RowFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const {
    if (rows == All)
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (rows == Same)
        return index.data(RecordRows::SameRole).toBool();
    return index.data(RecordRows::BankRole).toInt() == rows;
}

} // namespace vkv::overview
