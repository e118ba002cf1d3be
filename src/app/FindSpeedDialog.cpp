#include "FindSpeedDialog.h"

#include "SpeedReport.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vkv::app {

FindSpeedDialog::FindSpeedDialog(QWidget *parent) : QDialog(parent) {
    setObjectName("FindSpeedDialog");
    setWindowTitle("Find Speed");
    // The main window waits: no edit or send may come between the tries.
    setWindowModality(Qt::WindowModal);
    resize(470, 360);

    auto *intro = new QLabel(
        QStringLiteral("Finds the fastest speed the box takes the editor's configuration at: "
                       "it sends at a series of speeds and verifies each send, asking the box "
                       "what it holds and comparing its answer with what was sent. ") +
            transfer::SpeedReport::testCopies(),
        this);
    intro->setObjectName("FindSpeedIntro");
    intro->setWordWrap(true);
    tries = new QListWidget(this);
    tries->setObjectName("FindSpeedTries");
    tries->setSelectionMode(QAbstractItemView::NoSelection);
    notes = new QLabel(this);
    notes->setObjectName("FindSpeedNote");
    notes->setWordWrap(true);
    notes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notes->setMinimumHeight(3 * notes->fontMetrics().lineSpacing());
    notes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    use = new QPushButton("Use this speed", this);
    use->setObjectName("FindSpeedUse");
    use->setAutoDefault(false);
    cancel = new QPushButton(this);
    cancel->setObjectName("FindSpeedCancel");
    cancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(use);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(tries, 1);
    layout->addWidget(notes);
    layout->addLayout(buttons);

    connect(use, &QPushButton::clicked, this, &FindSpeedDialog::useAsked);
    connect(cancel, &QPushButton::clicked, this, &FindSpeedDialog::reject);
}

void FindSpeedDialog::begin() {
    running = true;
    tryUnderWay = false;
    tries->clear();
    notes->clear();
    use->setEnabled(false);
    cancel->setText("Cancel");
}

void FindSpeedDialog::addLine(const QString &line) {
    tries->addItem(line);
    tries->scrollToBottom();
}

void FindSpeedDialog::going(const QString &line) {
    addLine(line);
    tryUnderWay = true;
}

void FindSpeedDialog::outcome(const QString &line) {
    if (tryUnderWay && tries->count() > 0)
        tries->item(tries->count() - 1)->setText(line);
    else
        addLine(line);
    tryUnderWay = false;
}

void FindSpeedDialog::note(const QString &text) {
    notes->setText(text);
}

void FindSpeedDialog::over(const QString &text, bool offered) {
    running = false;
    notes->setText(text);
    use->setEnabled(offered);
    cancel->setText("Close");
    (offered ? use : cancel)->setFocus();
}

void FindSpeedDialog::reject() {
    if (running)
        emit cancelAsked(); // the search says when it is over
    else
        QDialog::reject();
}

} // namespace vkv::app
