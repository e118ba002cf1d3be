#include "LibraryTable.h"

#include <QHeaderView>
#include <QItemSelectionModel>

namespace vkv::librarywindow {

LibraryTable::LibraryTable(const char *name, QWidget *parent) : QTableView(parent) {
    setObjectName(QLatin1String(name));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(true);
    setWordWrap(false);
}

void LibraryTable::reselect(const std::function<bool(int)> &wanted) {
    QItemSelection rows;
    for (int row = 0; row < model()->rowCount(); ++row)
        if (wanted(row))
            rows.select(model()->index(row, 0), model()->index(row, 0));
    selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace vkv::librarywindow
