#include "SetListsTab.h"

#include "EntryName.h"
#include "LibraryTable.h"
#include "Questions.h"
#include "SetListRows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace vkv::librarywindow {

using library::EntryName;
using library::Library;
using library::SetList;

namespace {

// The lowest free program number above the last slot's, else the lowest free one.
std::optional<int> nextProgram(const SetList &list) {
    if (!list.slotList.empty())
        for (int program = list.slotList.back().program + 1; program < SetList::Programs; ++program)
            if (!list.slot(program))
                return program;
    return list.freeProgram();
}

} // namespace

SetListsTab::SetListsTab(Library &library, const Questions &questions, QWidget *parent)
    : QWidget(parent), library(library), questions(questions), rows(new SetListRows(this)),
      lists(new QComboBox(this)), channel(new QComboBox(this)), configuration(new QComboBox(this)),
      slotTable(new LibraryTable("SetListSlots", this)), damaged(new QLabel(this)),
      lastRecall(new QLabel(this)), recall(new QCheckBox("Recall on program change", this)) {
    setObjectName("SetListsTab");
    const auto button = [this](const char *name, const char *caption, const char *tip,
                               auto action) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(QString::fromLatin1(tip));
        connect(b, &QPushButton::clicked, this, action);
        return b;
    };

    lists->setObjectName("SetListChoice");
    lists->setMinimumContentsLength(24);
    lists->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(lists, &QComboBox::currentIndexChanged, this, [this] { showList(); });
    auto *newButton = button("SetListNew", "New ...", "Make a set list", [this] { makeList(); });
    renameButton = button("SetListRename", "Rename ...", "Give the set list another name",
                          [this] { renameList(); });
    deleteButton = button("SetListDelete", "Delete ...", "Put the set list in the desktop's trash",
                          [this] { deleteList(); });
    channel->setObjectName("SetListChannel");
    channel->setToolTip("The MIDI channel the list's program changes come on");
    channel->addItem(SetList::channelText(SetList::AnyChannel), SetList::AnyChannel);
    for (int number = 1; number <= 16; ++number)
        channel->addItem(SetList::channelText(number), number);
    connect(channel, &QComboBox::activated, this, &SetListsTab::chooseChannel);
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel("Set list:", this));
    top->addWidget(lists);
    top->addWidget(newButton);
    top->addWidget(renameButton);
    top->addWidget(deleteButton);
    top->addStretch(1);
    top->addWidget(new QLabel("Channel:", this));
    top->addWidget(channel);

    // The list's order is the slots' own: no sorting, and a slot dragged elsewhere moves there.
    slotTable->setModel(rows);
    slotTable->setColumnWidth(SetListRows::Program, 80);
    slotTable->setSelectionMode(QAbstractItemView::SingleSelection);
    slotTable->setDragEnabled(true);
    slotTable->setAcceptDrops(true);
    slotTable->setDropIndicatorShown(true);
    slotTable->setDragDropOverwriteMode(false);
    slotTable->setDragDropMode(QAbstractItemView::InternalMove);
    slotTable->setDefaultDropAction(Qt::MoveAction);
    slotTable->setToolTip("Drag a slot, or press Ctrl+Up or Ctrl+Down, to move it");
    slotTable->installEventFilter(this);
    connect(rows, &SetListRows::moveAsked, this, &SetListsTab::move);
    connect(slotTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SetListsTab::showState);
    connect(slotTable, &QTableView::doubleClicked, this, &SetListsTab::changeProgram);

    configuration->setObjectName("SetListConfiguration");
    configuration->setToolTip("The configuration a slot added recalls");
    configuration->setMinimumContentsLength(24);
    configuration->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    addButton = button("SetListAdd", "Add",
                       "Add a slot recalling the configuration, at the next free program number",
                       [this] { addSlot(); });
    programButton = button("SetListProgram", "Program ...", "Give the slot another program number",
                           [this] { changeProgram(); });
    removeButton = button("SetListRemove", "Remove", "Empty the slot", [this] { removeSlot(); });
    upButton =
        button("SetListUp", "Move Up", "Move the slot up (Ctrl+Up)", [this] { moveSelected(-1); });
    downButton = button("SetListDown", "Move Down", "Move the slot down (Ctrl+Down)",
                        [this] { moveSelected(1); });
    auto *slotButtons = new QHBoxLayout;
    slotButtons->addWidget(new QLabel("Configuration:", this));
    slotButtons->addWidget(configuration);
    slotButtons->addWidget(addButton);
    slotButtons->addStretch(1);
    for (QPushButton *b : {programButton, removeButton, upButton, downButton})
        slotButtons->addWidget(b);

    damaged->setObjectName("SetListDamaged");
    damaged->setWordWrap(true);
    damaged->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette red = damaged->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    damaged->setPalette(red);
    damaged->hide();

    recall->setObjectName("SetListRecall");
    recall->setToolTip("Recall the slot's configuration into the box when a program change on "
                       "the list's channel comes on the program's own port");
    connect(recall, &QCheckBox::clicked, this, &SetListsTab::switchRecall);
    lastRecall->setObjectName("SetListLastRecall");
    lastRecall->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long line wraps rather than widening the window.
    lastRecall->setWordWrap(true);
    auto *recallLine = new QHBoxLayout;
    recallLine->addWidget(recall);
    recallLine->addWidget(lastRecall, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(slotTable, 1);
    layout->addLayout(slotButtons);
    layout->addWidget(damaged);
    layout->addLayout(recallLine);
    showState();
}

QString SetListsTab::chosen() const {
    return lists->currentText();
}

void SetListsTab::refresh(const std::vector<Library::Entry> &entries) {
    const QVariant offered = configuration->currentData();
    named.clear();
    for (const Library::Entry &entry : entries)
        if (entry.named() && !entry.missing)
            named.push_back(entry);
    std::sort(named.begin(), named.end(), [](const Library::Entry &a, const Library::Entry &b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    configuration->clear();
    for (const Library::Entry &entry : named)
        configuration->addItem(entry.name, entry.id);
    configuration->setCurrentIndex(std::max(0, configuration->findData(offered)));

    const QString was = chosen();
    const QStringList names = library.isOpen() ? library.setListNames() : QStringList();
    {
        const QSignalBlocker quiet(lists);
        lists->clear();
        lists->addItems(names);
        lists->setCurrentIndex(std::max(0, static_cast<int>(names.indexOf(was))));
    }
    const auto row = selectedRow();
    showList(row ? std::optional<int>(rows->list().slotList[static_cast<std::size_t>(*row)].program)
                 : std::nullopt);
}

void SetListsTab::offer(const Library::Entry &entry) {
    if (const int at = configuration->findData(entry.id); at >= 0)
        configuration->setCurrentIndex(at);
}

void SetListsTab::showList(std::optional<int> program) {
    SetList list;
    QStringList refused;
    if (!chosen().isEmpty()) {
        if (auto read = library.setList(chosen(), &refused))
            list = std::move(*read);
        else
            emit said(library.error(), false);
    }
    rows->setList(list);
    {
        const QSignalBlocker quiet(channel);
        channel->setCurrentIndex(std::max(0, channel->findData(list.channel)));
    }
    // The refused lines are shown, not hidden: the next write leaves them out of the file.
    damaged->setText(refused.isEmpty()
                         ? QString()
                         : QStringLiteral("Lines of this list's file that were refused, and that "
                                          "the next change here leaves out:\n") +
                               refused.join(u'\n'));
    damaged->setVisible(!refused.isEmpty());
    if (program)
        for (int row = 0; row < rows->rowCount(); ++row)
            if (list.slotList[static_cast<std::size_t>(row)].program == *program)
                slotTable->selectRow(row);
    showState();
}

void SetListsTab::showState() {
    const bool list = !chosen().isEmpty();
    const bool slot = selectedRow().has_value();
    for (QWidget *control : std::initializer_list<QWidget *>{renameButton, deleteButton, channel,
                                                             configuration, recall, slotTable})
        control->setEnabled(list);
    addButton->setEnabled(list && configuration->count() > 0);
    for (QPushButton *b : {programButton, removeButton})
        b->setEnabled(slot);
    upButton->setEnabled(slot && *selectedRow() > 0);
    downButton->setEnabled(slot && *selectedRow() < rows->rowCount() - 1);
    recall->setChecked(list && EntryName::same(recallList, chosen()));
}

std::optional<int> SetListsTab::selectedRow() const {
    const QModelIndexList selected = slotTable->selectionModel()->selectedRows();
    if (selected.size() != 1)
        return std::nullopt;
    return selected.front().row();
}

bool SetListsTab::write(const SetList &list, std::optional<int> program, const QString &done) {
    const bool written = library.writeSetList(list);
    showList(program);
    emit said(written ? done : library.error(), written);
    return written;
}

void SetListsTab::makeList() {
    questions.name(QStringLiteral("New Set List"), QString(),
                   [&](const QString &name) -> std::optional<QString> {
                       // Writing a list of a name taken would replace that list.
                       for (const QString &list : library.setListNames())
                           if (EntryName::same(list, name))
                               return QStringLiteral(
                                          "The name %1 is taken already (by the set list %2).")
                                   .arg(Questions::quoted(name), Questions::quoted(list));
                       SetList list;
                       list.name = name;
                       if (!library.writeSetList(list))
                           return library.error();
                       refresh(std::vector<Library::Entry>(named));
                       lists->setCurrentIndex(lists->findText(name));
                       emit said(QStringLiteral("The set list %1 is made; add its slots below.")
                                     .arg(Questions::quoted(name)),
                                 true);
                       return std::nullopt;
                   });
}

void SetListsTab::renameList() {
    const QString from = chosen();
    questions.name(QStringLiteral("Rename Set List"), from,
                   [&](const QString &name) -> std::optional<QString> {
                       if (!library.renameSetList(from, name))
                           return library.error();
                       const bool recalled = EntryName::same(recallList, from);
                       refresh(std::vector<Library::Entry>(named));
                       lists->setCurrentIndex(lists->findText(name, Qt::MatchFixedString));
                       // Recall stays on for the list under its new name.
                       if (recalled) {
                           recallList = chosen();
                           showState();
                           emit recallSwitched(chosen(), true);
                       }
                       emit said(QStringLiteral("The set list %1 is called %2 now.")
                                     .arg(Questions::quoted(from), Questions::quoted(chosen())),
                                 true);
                       return std::nullopt;
                   });
}

void SetListsTab::deleteList() {
    const QString name = chosen();
    if (name.isEmpty() ||
        !questions.yes(QStringLiteral("Delete Set List"),
                       QStringLiteral("Put the set list %1 in the desktop's trash?")
                           .arg(Questions::quoted(name))))
        return;
    const bool deleted = library.deleteSetList(name);
    if (deleted && EntryName::same(recallList, name)) {
        recallList.clear();
        emit recallSwitched(name, false);
    }
    refresh(std::vector<Library::Entry>(named));
    emit said(deleted ? QStringLiteral("The set list %1 is in the desktop's trash.")
                            .arg(Questions::quoted(name))
                      : library.error(),
              deleted);
}

void SetListsTab::chooseChannel(int index) {
    SetList list = rows->list();
    list.channel = channel->itemData(index).toInt();
    write(list, std::nullopt,
          QStringLiteral("The set list %1 takes program changes on channel %2.")
              .arg(Questions::quoted(list.name), SetList::channelText(list.channel)));
}

void SetListsTab::addSlot() {
    const qint64 id = configuration->currentData().toLongLong();
    const auto entry = std::find_if(named.begin(), named.end(),
                                    [id](const Library::Entry &e) { return e.id == id; });
    if (entry == named.end())
        return;
    const auto program = nextProgram(rows->list());
    if (!program) {
        emit said(QStringLiteral("Every program number (0 to 127) of %1 has a slot; remove one "
                                 "first.")
                      .arg(Questions::quoted(chosen())),
                  false);
        return;
    }
    const bool added = library.addToSetList(chosen(), *program, *entry);
    showList(program);
    emit said(added ? QStringLiteral("Program %1 of %2 recalls %3.")
                          .arg(*program)
                          .arg(Questions::quoted(chosen()), Questions::quoted(entry->name))
                    : library.error(),
              added);
}

void SetListsTab::changeProgram() {
    const auto row = selectedRow();
    if (!row)
        return;
    const SetList::Slot slot = rows->list().slotList[static_cast<std::size_t>(*row)];
    questions.until(
        QStringLiteral("Program Number"),
        QStringLiteral("Program number (0 to 127) of %1:").arg(Questions::quoted(slot.name)),
        QString::number(slot.program), [&](const QString &answer) -> std::optional<QString> {
            bool number = false;
            const int program = answer.toInt(&number);
            if (!number || program < 0 || program >= SetList::Programs)
                return QStringLiteral("%1 is no program number (0 to 127).")
                    .arg(Questions::quoted(answer));
            if (program == slot.program)
                return std::nullopt;
            if (const SetList::Slot *taken = rows->list().slot(program))
                return QStringLiteral("Program %1 recalls %2 already; give that slot another "
                                      "number or remove it first.")
                    .arg(program)
                    .arg(Questions::quoted(taken->shown()));
            SetList list = rows->list();
            list.slotList[static_cast<std::size_t>(*row)].program = program;
            if (!write(list, program,
                       QStringLiteral("%1 is program %2 now.")
                           .arg(Questions::quoted(slot.name))
                           .arg(program)))
                return library.error();
            return std::nullopt;
        });
}

void SetListsTab::removeSlot() {
    const auto row = selectedRow();
    if (!row)
        return;
    const SetList::Slot slot = rows->list().slotList[static_cast<std::size_t>(*row)];
    const bool removed = library.removeFromSetList(chosen(), slot.program);
    showList();
    emit said(removed ? QStringLiteral("Program %1 of %2 recalls nothing now.")
                            .arg(slot.program)
                            .arg(Questions::quoted(chosen()))
                      : library.error(),
              removed);
}

void SetListsTab::move(int from, int to) {
    SetList list = rows->list();
    auto &order = list.slotList;
    if (from < 0 || from >= static_cast<int>(order.size()) || to < 0 ||
        to > static_cast<int>(order.size()))
        return;
    const SetList::Slot slot = order[static_cast<std::size_t>(from)];
    order.erase(order.begin() + from);
    order.insert(order.begin() + (to > from ? to - 1 : to), slot);
    write(list, slot.program,
          QStringLiteral("%1 is slot %2 of %3 now.")
              .arg(Questions::quoted(slot.shown()))
              .arg((to > from ? to - 1 : to) + 1)
              .arg(Questions::quoted(list.name)));
}

void SetListsTab::moveSelected(int by) {
    const auto row = selectedRow();
    if (!row || *row + by < 0 || *row + by >= rows->rowCount())
        return;
    move(*row, by > 0 ? *row + by + 1 : *row + by);
}

bool SetListsTab::eventFilter(QObject *watched, QEvent *event) {
    // Ctrl+Up and Ctrl+Down move the slot; the table's own keys move the selection.
    if (watched == slotTable && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            moveSelected(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SetListsTab::switchRecall(bool on) {
    recallList = on ? chosen() : QString();
    emit recallSwitched(chosen(), on);
}

void SetListsTab::showRecall(const QString &list, bool on) {
    if (on)
        recallList = list;
    else if (list.isEmpty() || EntryName::same(recallList, list))
        recallList.clear();
    showState();
}

void SetListsTab::showLastRecall(const QString &line) {
    lastRecall->setText(line);
    lastRecall->setToolTip(line);
}

} // namespace vkv::librarywindow
