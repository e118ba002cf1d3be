#include "OverviewWindow.h"

#include "BankDialog.h"
#include "Conflicts.h"
#include "FillDialog.h"
#include "ImageHistory.h"
#include "LibraryChoice.h"
#include "RecordRows.h"
#include "RecordSheet.h"
#include "RecordTable.h"
#include "RowFilter.h"
#include "UndoKeys.h"
#include "WindowPlace.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace vkv::overview {

namespace {

using records::RecordId;
using records::RecordWords;
using Column = RecordWords::Column;

const QString CsvType = QStringLiteral("text/csv");

bool isPasteHere(const QKeyEvent *key) {
    return key->key() == Qt::Key_V && key->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier);
}

} // namespace

OverviewWindow::OverviewWindow(image::ImageHistory &history, QWidget *parent)
    : QWidget(parent, Qt::Window), history(history), editor(history) {
    setObjectName("OverviewWindow");
    resize(780, 540);

    tabs = new QTabWidget(this);
    tabs->setObjectName("OverviewTabs");
    for (const bool pots : {true, false}) {
        auto *table = new RecordTable(history.image(), pots);
        table->edited = [this, table](const QModelIndex &index, int value) {
            editCells(*table, index, value);
        };
        table->installEventFilter(this);
        connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            if (!selecting)
                lastHeard = -1; // the next message of that knob selects its records again
        });
        tabs->addTab(table, pots ? "Pots" : "Buttons");
        (pots ? potTable : buttonTable) = table;
    }

    filter = new QComboBox(this);
    filter->setObjectName("OverviewFilter");
    filter->addItem("All records", RowFilter::All);
    for (int bank = 1; bank <= 16; ++bank)
        filter->addItem(QStringLiteral("Bank %1").arg(bank), bank);
    filter->addItem("Only records that send the same", RowFilter::Same);
    connect(filter, &QComboBox::currentIndexChanged, this,
            [this] { showRows(filter->currentData().toInt()); });
    follow = new QCheckBox("Follow the box", this);
    follow->setObjectName("FollowTheBox");
    follow->setToolTip("A message from the box (at MIDI IN, or at the program's own Motors port) "
                       "selects the records that send it. Nothing is written.");
    connect(follow, &QCheckBox::toggled, this, [this](bool on) {
        lastHeard = -1;
        emit followingChanged(on);
    });
    summary = new QLabel(this);
    summary->setObjectName("OverviewSummary");
    status = new QLabel(this);
    status->setObjectName("OverviewStatus");
    status->setWordWrap(true);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel("Show:", this));
    top->addWidget(filter);
    top->addWidget(summary, 1);
    top->addWidget(follow);

    // Each action from a button and a key; the keys work wherever the focus is in the window.
    auto *buttons = new QHBoxLayout;
    const auto action = [&](const QString &name, const QString &text, const QString &tip,
                            const QKeySequence &key, const std::function<void()> &run) {
        auto *button = new QPushButton(text, this);
        button->setObjectName(name);
        button->setToolTip(tip + " (" + key.toString(QKeySequence::NativeText) + ")");
        connect(button, &QPushButton::clicked, this, run);
        buttons->addWidget(button);
        auto *a = new QAction(text, this);
        a->setObjectName(name + "Action");
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, run);
        addAction(a);
    };
    action("OverviewFill", "Fill ...",
           "Set a field in every selected record, or give their numbers a series",
           Qt::CTRL | Qt::Key_D, [this] { fillClick(); });
    action("OverviewCopy", "Copy", "The selected rows as rows of the record sheet",
           QKeySequence::Copy, [this] { copyClick(); });
    action("OverviewPaste", "Paste",
           "Rows of the record sheet into the records they name, or from the current row on",
           QKeySequence::Paste, [this] { pasteClick(true); });
    action("OverviewPasteHere", "Paste at Row", "Rows of the record sheet from the current row on",
           Qt::CTRL | Qt::SHIFT | Qt::Key_V, [this] { pasteClick(false); });
    action("OverviewBanks", "Banks ...", "Copy a bank onto another, or swap two",
           Qt::CTRL | Qt::Key_B, [this] { banksClick(); });
    action("OverviewTake", "Take from Library ...",
           "Records of a configuration in the library, a bank's or at the selection's places",
           Qt::CTRL | Qt::Key_T, [this] { takeClick(); });
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(tabs, 1);
    layout->addLayout(buttons);
    layout->addWidget(status);

    connect(&history, &image::ImageHistory::changed, this, &OverviewWindow::imageChanged);
    connect(&history, &image::ImageHistory::restored, this, &OverviewWindow::imageChanged);
    connect(new controls::WindowPlace(this), &controls::WindowPlace::changed, this,
            &OverviewWindow::placeChanged);
    refresh();
}

OverviewWindow::~OverviewWindow() = default;

QTableView *OverviewWindow::view(bool pots) const {
    return &table(pots);
}

bool OverviewWindow::potsShown() const {
    return tabs->currentIndex() == 0;
}

bool OverviewWindow::following() const {
    return follow->isChecked();
}

void OverviewWindow::setFollowing(bool on) {
    follow->setChecked(on);
}

std::vector<RecordId> OverviewWindow::selected() const {
    return table(potsShown()).selected();
}

void OverviewWindow::imageChanged() {
    lastHeard = -1;
    if (isVisible())
        refresh();
    else
        stale = true;
}

void OverviewWindow::refresh() {
    stale = false;
    int groups = 0, records = 0;
    const std::vector<QString> same = RecordRows::sameAs(history.image(), groups, records);
    potTable->rows().refresh(same);
    buttonTable->rows().refresh(same);
    summary->setText(groups == 0 ? QStringLiteral("Every record sends a message of its own.")
                                 : QStringLiteral("%1 records send the same as another (%2 %3).")
                                       .arg(records)
                                       .arg(groups)
                                       .arg(groups == 1 ? "message" : "messages"));
    const QString file = history.fileName();
    setWindowTitle(file.isEmpty() ? QStringLiteral("Overview")
                                  : QStringLiteral("Overview : ") + file);
}

void OverviewWindow::keyPressEvent(QKeyEvent *event) {
    // The configuration's undo keys, as in every window of the program; a cell being edited
    // keeps them for its own text.
    switch (controls::undoKey(event->key(), event->modifiers())) {
    case controls::UndoKey::Undo:
        history.undo();
        return;
    case controls::UndoKey::Redo:
        history.redo();
        return;
    case controls::UndoKey::None:
        QWidget::keyPressEvent(event);
    }
}

void OverviewWindow::showEvent(QShowEvent *event) {
    if (stale)
        refresh();
    QWidget::showEvent(event);
}

void OverviewWindow::showRows(int which) {
    potTable->filter().show(which);
    buttonTable->filter().show(which);
}

bool OverviewWindow::eventFilter(QObject *watched, QEvent *event) {
    // Copy and Paste on a table are the window's, not the table's copy of one cell's text.
    const bool key = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    if (!key || (watched != potTable && watched != buttonTable))
        return QWidget::eventFilter(watched, event);
    auto *press = static_cast<QKeyEvent *>(event);
    std::function<void()> run;
    if (isPasteHere(press))
        run = [this] { pasteClick(false); };
    else if (press->matches(QKeySequence::Copy))
        run = [this] { copyClick(); };
    else if (press->matches(QKeySequence::Paste))
        run = [this] { pasteClick(true); };
    if (!run)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress)
        run();
    event->accept();
    return true;
}

void OverviewWindow::editCells(const RecordTable &table, const QModelIndex &index, int value) {
    const auto column = table.rows().columnOf(index.column());
    if (!column || index.data(RecordRows::ValueRole).toInt() == value)
        return;
    // The edited row alone, unless it is one of the selected rows: then all of them.
    const RecordId edited = table.recordAt(index);
    std::vector<RecordId> records = table.selected();
    if (std::find(records.begin(), records.end(), edited) == records.end())
        records = {edited};
    said(table.rows().headerData(index.column(), Qt::Horizontal).toString() + " set in " +
             RecordWords::span(records),
         editor.set(records, *column, value));
}

void OverviewWindow::fillClick() {
    const std::vector<RecordId> records = selected();
    if (records.empty()) {
        say("Select the records to fill first.", false);
        return;
    }
    auto *dialog = new FillDialog(potsShown(), RecordWords::span(records), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->fill = [this, records](const records::BulkEdit::Fill &fill) {
        const records::RecordEditor::Outcome outcome = editor.fill(records, fill);
        if (outcome.refused.isEmpty())
            said("Filled " + RecordWords::span(records), outcome);
        return outcome.refused;
    };
    dialog->open();
}

void OverviewWindow::copyClick() {
    const std::vector<RecordId> records = selected();
    if (records.empty()) {
        say("Select the rows to copy first.", false);
        return;
    }
    const QByteArray sheet = records::RecordSheet::write(history.image(), records);
    auto *data = new QMimeData;
    data->setText(QString::fromUtf8(sheet));
    data->setData(CsvType, sheet);
    QGuiApplication::clipboard()->setMimeData(data);
    say("Copied " + RecordWords::span(records) + " as rows of the record sheet.", true);
}

void OverviewWindow::pasteClick(bool byNames) {
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    const QByteArray text = !data                      ? QByteArray()
                            : data->hasFormat(CsvType) ? data->data(CsvType)
                                                       : data->text().toUtf8();
    const bool pots = potsShown();
    const records::RecordEditor::Outcome outcome = editor.paste(
        text, pots ? records::RecordSheet::Nameless::Pots : records::RecordSheet::Nameless::Buttons,
        potTable->current().index, buttonTable->current().index, byNames);
    said("Pasted", outcome);
}

void OverviewWindow::banksClick() {
    const bool pots = potsShown();
    auto *dialog = new BankDialog(table(pots).current().bank(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->apply = [this](const BankDialog::Choice &c) {
        const QString kinds = c.pots && c.buttons ? QStringLiteral("pots and buttons")
                              : c.pots            ? QStringLiteral("pots")
                                                  : QStringLiteral("buttons");
        if (c.swap)
            said(QStringLiteral("Swapped banks %1 and %2 (%3)")
                     .arg(c.first)
                     .arg(c.second)
                     .arg(kinds),
                 editor.swapBanks(c.first, c.second, c.pots, c.buttons));
        else
            said(QStringLiteral("Copied bank %1 onto bank %2 (%3)")
                     .arg(c.first)
                     .arg(c.second)
                     .arg(kinds),
                 editor.copyBank(c.first, c.second, c.pots, c.buttons));
    };
    dialog->open();
}

void OverviewWindow::takeClick() {
    QString why;
    const QStringList names = library.names ? library.names(&why) : QStringList();
    const bool pots = potsShown();
    const std::vector<RecordId> records = table(pots).selected();
    auto *dialog =
        new LibraryChoice(names, why, records.empty() ? QString() : RecordWords::count(records),
                          table(pots).current().bank(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->take = [this, names, records](const LibraryChoice::Choice &c) {
        QString why;
        const auto other = library.read(c.configuration, &why);
        if (!other)
            return why;
        const std::vector<RecordId> places =
            c.selection ? records : records::BulkEdit::bank(c.bank, c.pots, c.buttons);
        said(QStringLiteral("Took %1 from \u201c%2\u201d")
                 .arg(RecordWords::span(places), names.value(c.configuration)),
             editor.take(*other, places));
        return QString();
    };
    dialog->open();
}

void OverviewWindow::heard(int status, int number) {
    // Channel messages alone: a clock or active sensing is no knob turned.
    if (!follow->isChecked() || !isVisible() || status < 0x80 || status >= 0xF0)
        return;
    // A knob turned sends its message again and again: once followed, its selection stands.
    const int key = status << 8 | number;
    if (key == lastHeard)
        return;
    lastHeard = key;
    const QString message =
        RecordWords::message({image::storeStatus(status), static_cast<std::uint8_t>(number), 0, 0});
    const std::vector<RecordId> found =
        records::Conflicts::sending(history.image(), status, number);
    if (found.empty()) {
        say(message + ": no record sends it.", false);
        return;
    }
    // Every record that sends it shows: a filter that hides one gives way.
    selecting = true;
    if (!potTable->select(found) || !buttonTable->select(found)) {
        filter->setCurrentIndex(0);
        potTable->select(found);
        buttonTable->select(found);
    }
    selecting = false;
    const bool shown = potsShown();
    const bool sentHere =
        std::any_of(found.begin(), found.end(), [&](RecordId r) { return r.pot == shown; });
    tabs->setCurrentIndex((sentHere ? shown : found.front().pot) ? 0 : 1);
    QStringList names;
    for (const RecordId record : found)
        names << RecordWords::name(record);
    say(message + ": " + names.join(QStringLiteral(", ")), true);
}

void OverviewWindow::said(const QString &what, const records::RecordEditor::Outcome &outcome) {
    if (!outcome.refused.isEmpty()) {
        say(outcome.refused, false);
        return;
    }
    say(what + (outcome.changed == 1
                    ? QStringLiteral(": 1 record changed.")
                    : QStringLiteral(": %1 records changed.").arg(outcome.changed)),
        true);
}

void OverviewWindow::say(const QString &text, bool good) {
    status->setText(text);
    QPalette palette = status->palette();
    palette.setColor(QPalette::WindowText, good ? QColor(0, 128, 128) : QColor(255, 0, 0));
    status->setPalette(palette);
}

} // namespace vkv::overview
