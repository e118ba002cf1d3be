#include "FillDialog.h"

#include "EventTypes.h"
#include "FieldText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vkv::overview {

namespace {

QSpinBox *spin(int lowest, int highest, int value, const QString &name) {
    auto *box = new QSpinBox;
    box->setRange(lowest, highest);
    box->setValue(value);
    box->setObjectName(name);
    return box;
}

} // namespace

FillDialog::FillDialog(bool pots, const QString &what, QWidget *parent)
    : QDialog(parent), pots(pots) {
    setObjectName("FillDialog");
    setWindowTitle("Fill");
    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel("Set in " + what + ":", this);
    title->setObjectName("FillWhat");
    title->setWordWrap(true);
    layout->addWidget(title);
    auto *grid = new QGridLayout;
    layout->addLayout(grid);

    type = new QComboBox;
    type->setObjectName("FillType");
    type->addItems(editor::eventTypeItems());
    type->setCurrentIndex(2); // Controller, the usual choice for knobs
    channel = spin(1, 16, 1, "FillChannel");
    start = spin(0, 127, 0, "FillStart");
    step = spin(-127, 127, 1, "FillStep");
    auto *series = new QWidget;
    auto *seriesLayout = new QHBoxLayout(series);
    seriesLayout->setContentsMargins(0, 0, 0, 0);
    seriesLayout->addWidget(new QLabel("from"));
    seriesLayout->addWidget(start);
    seriesLayout->addWidget(new QLabel("step"));
    seriesLayout->addWidget(step);
    seriesLayout->addStretch();

    const auto add = [&](const QString &name, const QString &label, QWidget *control) {
        auto *set = new QCheckBox(label);
        set->setObjectName(name);
        set->setToolTip("Set " + label + " in every record; unchecked, each keeps its own.");
        const int at = grid->rowCount();
        grid->addWidget(set, at, 0);
        grid->addWidget(control, at, 1);
        return set;
    };
    typeSet = add("FillTypeSet", "Event Type", type);
    channelSet = add("FillChannelSet", "MIDI Channel", channel);
    numbersSet = add("FillNumbersSet", "Numbers", series);
    if (pots) {
        low = spin(0, 127, 0, "FillMin");
        high = spin(0, 127, 127, "FillMax");
        lowSet = add("FillMinSet", "Min", low);
        highSet = add("FillMaxSet", "Max", high);
    } else {
        // The pages' bounds: byte 2 takes 0..255.
        low = spin(0, 255, 127, "FillValue");
        mode = new QComboBox;
        mode->setObjectName("FillMode");
        for (int m = 0; m < image::FieldText::ModeCount; ++m)
            mode->addItem(image::FieldText::mode(m));
        lowSet = add("FillValueSet", "Value", low);
        highSet = add("FillModeSet", "Mode", mode);
    }
    // A change of a field's control means that field is to be set.
    for (QSpinBox *box : {channel, start, step, low, high})
        if (box)
            connect(box, &QSpinBox::valueChanged, this, [this, box] {
                (box == channel ? channelSet
                 : box == low   ? lowSet
                 : box == high  ? highSet
                                : numbersSet)
                    ->setChecked(true);
            });
    connect(type, &QComboBox::activated, typeSet, [this] { typeSet->setChecked(true); });
    if (mode)
        connect(mode, &QComboBox::activated, highSet, [this] { highSet->setChecked(true); });

    refusal = new QLabel(this);
    refusal->setObjectName("FillRefusal");
    refusal->setWordWrap(true);
    QPalette red = refusal->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    refusal->setPalette(red);
    refusal->hide();
    layout->addWidget(refusal);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    // Not an accepting button: a refused fill keeps the dialog open.
    QPushButton *fillButton = buttons->addButton("Fill", QDialogButtonBox::ActionRole);
    fillButton->setObjectName("FillButton");
    fillButton->setDefault(true);
    connect(fillButton, &QPushButton::clicked, this, &FillDialog::fillClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

records::BulkEdit::Fill FillDialog::choice() const {
    records::BulkEdit::Fill fill;
    if (typeSet->isChecked())
        fill.type = type->currentIndex() + 9;
    if (channelSet->isChecked())
        fill.channel = channel->value();
    if (numbersSet->isChecked())
        fill.numbers = records::BulkEdit::Series{start->value(), step->value()};
    if (pots) {
        if (lowSet->isChecked())
            fill.min = low->value();
        if (highSet->isChecked())
            fill.max = high->value();
    } else {
        if (lowSet->isChecked())
            fill.value = low->value();
        if (highSet->isChecked())
            fill.mode = mode->currentIndex();
    }
    return fill;
}

void FillDialog::fillClick() {
    const QString why = fill ? fill(choice()) : QString();
    if (why.isEmpty()) {
        accept();
        return;
    }
    refusal->setText(why);
    refusal->show();
}

} // namespace vkv::overview
