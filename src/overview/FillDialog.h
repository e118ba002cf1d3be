#pragma once

#include "BulkEdit.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace vkv::overview {

// "Fill": what to set in every selected record, each field with a box that says whether it is set
// (changing a field's control checks its box): the event type, the channel, a series of numbers
// (start and step, in the selection's order), and min and max of pots or value and mode of
// buttons, with the pages' controls and bounds. "Fill" hands the choice to `fill`; a refusal
// (a series that would leave 0..127) shows in the dialog, which stays open with nothing changed.
class FillDialog : public QDialog {
    Q_OBJECT
public:
    // `what`: the records it fills, worded ("16 pots: pot 3.1 to pot 3.16").
    FillDialog(bool pots, const QString &what, QWidget *parent = nullptr);

    // Makes the fill; returns why it was refused, or "".
    std::function<QString(const records::BulkEdit::Fill &)> fill;

    records::BulkEdit::Fill choice() const;

private:
    void fillClick();

    bool pots;
    QCheckBox *typeSet, *channelSet, *numbersSet, *lowSet, *highSet;
    QComboBox *type, *mode = nullptr;
    QSpinBox *channel, *start, *step, *low = nullptr, *high = nullptr;
    QLabel *refusal;
};

} // namespace vkv::overview
