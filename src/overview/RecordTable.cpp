#include "RecordTable.h"

#include "FieldDelegate.h"
#include "RecordRows.h"
#include "RowFilter.h"

#include <QHeaderView>
#include <algorithm>

namespace vkv::overview {

namespace {

using Column = records::RecordWords::Column;

} // namespace

RecordTable::RecordTable(const image::ConfigImage &image, bool pots, QWidget *parent)
    : QTableView(parent), isPots(pots), records(new RecordRows(image, pots, this)),
      shown(new RowFilter(this)) {
    setObjectName(pots ? "OverviewPots" : "OverviewButtons");
    shown->setSourceModel(records);
    setModel(shown);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Typing over a cell edits it, as in a spreadsheet.
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setWordWrap(false);
    // Widths measured once from the longest words: measuring every row at every change would
    // cost each edit a pass over all of them.
    const QFontMetrics metrics = fontMetrics();
    const auto width = [&](const QString &text) {
        return metrics.horizontalAdvance(text) + 3 * metrics.averageCharWidth();
    };
    for (int c = 0; c < records->sameColumn(); ++c) {
        const Column column = *records->columnOf(c);
        const QString longest = column == Column::Record ? QStringLiteral("button 16.8")
                                : column == Column::Type ? QStringLiteral("Channel Aftertouch ")
                                : column == Column::Mode ? QStringLiteral("ON ONLY ")
                                                         : QStringLiteral("0000");
        setColumnWidth(
            c, std::max(width(longest), width(records->headerData(c, Qt::Horizontal).toString())));
    }
    horizontalHeader()->setStretchLastSection(true);
    auto *delegate = new FieldDelegate(*records, this);
    delegate->edited = [this](const QModelIndex &index, int value) {
        if (edited)
            edited(index, value);
    };
    setItemDelegate(delegate);
}

records::RecordId RecordTable::recordAt(const QModelIndex &index) const {
    return records->record(shown->mapToSource(index).row());
}

std::vector<records::RecordId> RecordTable::selected() const {
    std::vector<records::RecordId> chosen;
    for (const QModelIndex &row : selectionModel()->selectedRows())
        chosen.push_back(recordAt(row));
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

records::RecordId RecordTable::current() const {
    return currentIndex().isValid() ? recordAt(currentIndex()) : records->record(0);
}

bool RecordTable::select(const std::vector<records::RecordId> &chosen) {
    QItemSelection rows;
    QModelIndex first;
    for (const records::RecordId record : chosen) {
        if (record.pot != isPots)
            continue;
        const QModelIndex at = shown->mapFromSource(records->index(record.index, 0));
        if (!at.isValid())
            return false;
        rows.select(at, at);
        if (!first.isValid())
            first = at;
    }
    selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (first.isValid()) {
        selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        scrollTo(first);
    }
    return true;
}

} // namespace vkv::overview
