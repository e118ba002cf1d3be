#include "SetListRows.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QPalette>

namespace vkv::librarywindow {

namespace {
// A row of this list's own: a drag from elsewhere is no slot.
const QString SlotType = QStringLiteral("application/x-vkvela-setlist-slot");
} // namespace

void SetListRows::setList(library::SetList list) {
    beginResetModel();
    shown = std::move(list);
    endResetModel();
}

int SetListRows::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown.slotList.size());
}

int SetListRows::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant SetListRows::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const library::SetList::Slot &slot = shown.slotList[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return index.column() == Program ? QVariant(slot.program) : QVariant(slot.shown());
    if (role == Qt::TextAlignmentRole && index.column() == Program)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole && slot.missing)
        return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    return {};
}

QVariant SetListRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == Program)
        return QStringLiteral("Program");
    return section == Configuration ? QStringLiteral("Configuration") : QVariant();
}

Qt::ItemFlags SetListRows::flags(const QModelIndex &index) const {
    // A slot may be dropped on a row, between rows or below the last.
    return QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList SetListRows::mimeTypes() const {
    return {SlotType};
}

QMimeData *SetListRows::mimeData(const QModelIndexList &indexes) const {
    if (indexes.isEmpty())
        return nullptr;
    auto *data = new QMimeData;
    data->setData(SlotType, QByteArray::number(indexes.front().row()));
    return data;
}

bool SetListRows::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int,
                               const QModelIndex &parent) {
    if (!data || action != Qt::MoveAction || !data->hasFormat(SlotType))
        return false;
    bool number = false;
    const int from = data->data(SlotType).toInt(&number);
    if (!number || from < 0 || from >= rowCount())
        return false;
    // Between rows: there. On a row: in its place, the rows between moving up or down one.
    // Below the rows: at the end.
    int to = rowCount();
    if (row >= 0)
        to = std::min(row, rowCount());
    else if (parent.isValid())
        to = parent.row() > from ? parent.row() + 1 : parent.row();
    if (to != from && to != from + 1)
        emit moveAsked(from, to);
    // The view removes nothing itself: the tab shows the list as written.
    return false;
}

} // namespace vkv::librarywindow
