#include "FieldDelegate.h"

#include "EventTypes.h"
#include "FieldText.h"
#include "RecordFields.h"
#include "RecordRows.h"

#include <QComboBox>
#include <QSpinBox>

namespace vkv::overview {

namespace {

using Column = records::RecordWords::Column;
using Field = image::RecordFields::Field;

// The pages' bounds of a field, from the one table of them; the channel counts from 1.
std::pair<int, int> bounds(bool pots, Column column) {
    const Field field = column == Column::Channel  ? Field::Channel
                        : column == Column::Number ? Field::Byte1
                        : column == Column::Min    ? Field::Min
                        : column == Column::Max    ? Field::Max
                                                   : Field::Byte2;
    const auto &table = pots ? image::RecordFields::pots() : image::RecordFields::buttons();
    for (const auto &entry : table.fields())
        if (entry.field == field)
            return field == Field::Channel ? std::pair{entry.lowest + 1, entry.highest + 1}
                                           : std::pair{entry.lowest, entry.highest};
    return {0, 0};
}

bool isList(Column column) {
    return column == Column::Type || column == Column::Mode;
}

} // namespace

FieldDelegate::FieldDelegate(const RecordRows &rows, QObject *parent)
    : QStyledItemDelegate(parent), rows(rows) {}

QWidget *FieldDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                     const QModelIndex &index) const {
    const auto column = rows.columnOf(index.column());
    if (!column || *column == Column::Record)
        return nullptr;
    if (isList(*column)) {
        auto *list = new QComboBox(parent);
        if (*column == Column::Type)
            list->addItems(editor::eventTypeItems());
        else
            for (int mode = 0; mode < image::FieldText::ModeCount; ++mode)
                list->addItem(image::FieldText::mode(mode));
        // A choice from the list is the edit, as on the pages.
        auto *self = const_cast<FieldDelegate *>(this);
        connect(list, &QComboBox::activated, self, [self, list] {
            emit self->commitData(list);
            emit self->closeEditor(list);
        });
        return list;
    }
    auto *spin = new QSpinBox(parent);
    const auto [lowest, highest] = bounds(rows.pots(), *column);
    spin->setRange(lowest, highest);
    return spin;
}

void FieldDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const {
    const int value = index.data(RecordRows::ValueRole).toInt();
    if (auto *list = qobject_cast<QComboBox *>(editor))
        list->setCurrentIndex(value);
    else if (auto *spin = qobject_cast<QSpinBox *>(editor))
        spin->setValue(value);
}

void FieldDelegate::setModelData(QWidget *editor, QAbstractItemModel *,
                                 const QModelIndex &index) const {
    const auto column = rows.columnOf(index.column());
    if (!column || !edited)
        return;
    if (auto *list = qobject_cast<QComboBox *>(editor)) {
        if (list->currentIndex() < 0)
            return;
        edited(index, list->currentIndex() + (*column == Column::Type ? 9 : 0));
    } else if (auto *spin = qobject_cast<QSpinBox *>(editor)) {
        spin->interpretText();
        edited(index, spin->value());
    }
}

} // namespace vkv::overview
