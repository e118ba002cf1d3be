#include "LibraryChoice.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vkv::overview {

LibraryChoice::LibraryChoice(const QStringList &names, const QString &why, const QString &selected,
                             int firstBank, QWidget *parent)
    : QDialog(parent) {
    setObjectName("LibraryChoice");
    setWindowTitle("Take from Library");
    resize(420, 360);
    list = new QListWidget;
    list->setObjectName("TakeConfigurations");
    list->addItems(names);
    if (!names.isEmpty())
        list->setCurrentRow(0);
    bankChoice = new QRadioButton("The records of bank");
    bankChoice->setObjectName("TakeBank");
    bankChoice->setChecked(true);
    bank = new QSpinBox;
    bank->setObjectName("TakeBankNumber");
    bank->setRange(1, 16);
    bank->setValue(firstBank);
    pots = new QCheckBox("Pots");
    pots->setObjectName("TakePots");
    pots->setChecked(true);
    buttons = new QCheckBox("Buttons");
    buttons->setObjectName("TakeButtons");
    buttons->setChecked(true);
    selectionChoice = new QRadioButton(
        selected.isEmpty()
            ? QStringLiteral("The records at the places of those selected")
            : QStringLiteral("The records at the places of the %1 selected").arg(selected));
    selectionChoice->setObjectName("TakeSelection");
    selectionChoice->setEnabled(!selected.isEmpty());
    message = new QLabel;
    message->setObjectName("TakeMessage");
    message->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Configuration:"));
    layout->addWidget(list, 1);
    auto *bankRow = new QHBoxLayout;
    bankRow->addWidget(bankChoice);
    bankRow->addWidget(bank);
    bankRow->addWidget(pots);
    bankRow->addWidget(buttons);
    bankRow->addStretch();
    layout->addLayout(bankRow);
    layout->addWidget(selectionChoice);
    layout->addWidget(message);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    go = box->addButton("Take", QDialogButtonBox::ActionRole);
    go->setObjectName("TakeGo");
    go->setDefault(true);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(go, &QPushButton::clicked, this, [this] {
        const QString refused = take ? take(choice()) : QString();
        if (refused.isEmpty())
            accept();
        else
            say(refused);
    });
    for (QAbstractButton *b :
         std::initializer_list<QAbstractButton *>{bankChoice, selectionChoice, pots, buttons})
        connect(b, &QAbstractButton::toggled, this, &LibraryChoice::showChoice);
    connect(list, &QListWidget::currentRowChanged, this, &LibraryChoice::showChoice);
    if (names.isEmpty())
        say(why.isEmpty() ? QStringLiteral("The library holds no configurations yet.") : why);
    showChoice();
}

LibraryChoice::Choice LibraryChoice::choice() const {
    return {list->currentRow(), selectionChoice->isChecked(), bank->value(), pots->isChecked(),
            buttons->isChecked()};
}

void LibraryChoice::showChoice() {
    go->setEnabled(list->currentRow() >= 0 &&
                   (selectionChoice->isChecked() || pots->isChecked() || buttons->isChecked()));
}

void LibraryChoice::say(const QString &text) {
    message->setText(text);
}

} // namespace vkv::overview
