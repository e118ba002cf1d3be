#pragma once

#include <QStyledItemDelegate>
#include <functional>

namespace vkv::overview {

class RecordRows;

// The overview's cells edit with the control the pages use for the field: the event type and the
// mode from the pages' lists (a choice counts at once), the channel and the numbers in spin edits
// with the pages' bounds. What is chosen is not written into the rows: `edited` gets it (the event
// type as its high digit 9..F), and the window applies it to every selected record.
class FieldDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    FieldDelegate(const RecordRows &rows, QObject *parent = nullptr);

    // The cell at `index` (of the view's model) was set to `value`.
    std::function<void(const QModelIndex &index, int value)> edited;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    const RecordRows &rows;
};

} // namespace vkv::overview
