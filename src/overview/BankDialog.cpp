#include "BankDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vkv::overview {

BankDialog::BankDialog(int bank, QWidget *parent) : QDialog(parent) {
    setObjectName("BankDialog");
    setWindowTitle("Banks");
    const auto spin = [](int value, const char *name) {
        auto *box = new QSpinBox;
        box->setRange(1, 16);
        box->setValue(value);
        box->setObjectName(name);
        return box;
    };
    first = spin(bank, "BankFirst");
    second = spin(bank % 16 + 1, "BankSecond");
    copy = new QRadioButton("Copy bank A onto bank B");
    copy->setObjectName("BankCopy");
    copy->setChecked(true);
    swap = new QRadioButton("Swap banks A and B");
    swap->setObjectName("BankSwap");
    pots = new QCheckBox("Pots");
    pots->setObjectName("BankPots");
    pots->setChecked(true);
    buttons = new QCheckBox("Buttons");
    buttons->setObjectName("BankButtons");
    buttons->setChecked(true);

    auto *layout = new QVBoxLayout(this);
    auto *banks = new QHBoxLayout;
    banks->addWidget(new QLabel("Bank A"));
    banks->addWidget(first);
    banks->addWidget(new QLabel("Bank B"));
    banks->addWidget(second);
    banks->addStretch();
    layout->addLayout(banks);
    layout->addWidget(copy);
    layout->addWidget(swap);
    auto *kinds = new QHBoxLayout;
    kinds->addWidget(pots);
    kinds->addWidget(buttons);
    kinds->addStretch();
    layout->addLayout(kinds);

    auto *box = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    go = box->addButton("Copy", QDialogButtonBox::ActionRole);
    go->setObjectName("BankGo");
    go->setDefault(true);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(go, &QPushButton::clicked, this, [this] {
        if (apply)
            apply(choice());
        accept();
    });
    for (QAbstractButton *b : std::initializer_list<QAbstractButton *>{copy, swap, pots, buttons})
        connect(b, &QAbstractButton::toggled, this, &BankDialog::showChoice);
    connect(first, &QSpinBox::valueChanged, this, &BankDialog::showChoice);
    connect(second, &QSpinBox::valueChanged, this, &BankDialog::showChoice);
    showChoice();
}

BankDialog::Choice BankDialog::choice() const {
    return {swap->isChecked(), first->value(), second->value(), pots->isChecked(),
            buttons->isChecked()};
}

void BankDialog::showChoice() {
    go->setText(swap->isChecked() ? "Swap" : "Copy");
    // Nothing to do with no kind of record, or a bank onto itself.
    go->setEnabled((pots->isChecked() || buttons->isChecked()) &&
                   first->value() != second->value());
}

} // namespace vkv::overview
