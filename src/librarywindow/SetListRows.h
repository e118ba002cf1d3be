#pragma once

#include "SetList.h"

#include <QAbstractTableModel>

namespace vkv::librarywindow {

// The Set Lists tab's rows: one a slot of the chosen list, in the list's order, with its program
// number and its configuration's name ("Drum kit (missing)" for one that recalls nothing, in
// grey). A slot dragged elsewhere in the list is not moved here: moveAsked() asks the tab, which
// writes the list and shows it again, so the rows are always the file's.
class SetListRows : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Program, Configuration, Columns };

    using QAbstractTableModel::QAbstractTableModel;

    void setList(library::SetList list);
    const library::SetList &list() const { return shown; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // A slot dragged within the list: it carries its row, and a drop asks for the move.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

signals:
    // The slot of row `from` is to go before the slot now at row `to` (rowCount() for the end).
    void moveAsked(int from, int to);

private:
    library::SetList shown;
};

} // namespace vkv::librarywindow
