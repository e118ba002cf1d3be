#include "LibraryWindow.h"

#include "ConfigurationsTab.h"
#include "HistoryTab.h"
#include "SetListsTab.h"
#include "UndoKeys.h"

#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace vkv::librarywindow {

using library::Library;

LibraryWindow::LibraryWindow(std::function<image::DumpBytes()> editor, QWidget *parent)
    : QWidget(parent, Qt::Window), editor(std::move(editor)), lib(std::make_unique<Library>(2000)),
      questions(this), searchBox(new QLineEdit(this)), views(new QTabWidget(this)),
      configurations(new ConfigurationsTab(*lib, questions, this)), history(new HistoryTab(this)),
      setLists(new SetListsTab(*lib, questions, this)), notes(new QLabel(this)),
      status(new QLabel(this)), watcher(new QFileSystemWatcher(this)),
      folderSettle(new QTimer(this)) {
    // A window of the GUI thread: a write of another program is waited for two seconds at most.
    setObjectName("LibraryWindow");
    setWindowTitle("Library of Configurations");
    resize(820, 520);

    searchBox->setObjectName("LibrarySearch");
    searchBox->setClearButtonEnabled(true);
    searchBox->setPlaceholderText("Search names, notes and tags, or what they send: cc:74 ch:10 "
                                  "note:C4 pc:5 pot:3.5 button:2.1");
    connect(searchBox, &QLineEdit::textChanged, this, &LibraryWindow::search);
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel("Search:", this));
    top->addWidget(searchBox, 1);

    views->setObjectName("LibraryViews");
    views->addTab(configurations, "Configurations");
    views->addTab(history, "History");
    views->addTab(setLists, "Set Lists");
    for (QTableView *view : std::initializer_list<QTableView *>{configurations, history}) {
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &LibraryWindow::showSelection);
        connect(view, &QTableView::doubleClicked, this, &LibraryWindow::openSelected);
    }
    connect(views, &QTabWidget::currentChanged, this, &LibraryWindow::showSelection);
    connect(configurations, &ConfigurationsTab::said, this, &LibraryWindow::say);
    connect(configurations, &ConfigurationsTab::changed, this, [this] { reload(); });
    connect(setLists, &SetListsTab::said, this, &LibraryWindow::say);

    notes->setObjectName("LibraryNotes");
    notes->setWordWrap(true);
    notes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status->setObjectName("LibraryStatus");
    status->setWordWrap(true);

    auto *buttons = new QGridLayout;
    const auto button = [this, buttons](const char *name, const char *caption, const char *tip,
                                        auto action, int row, int column) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(QString::fromLatin1(tip));
        connect(b, &QPushButton::clicked, this, action);
        buttons->addWidget(b, row, column);
        return b;
    };
    // What is done to a configuration of the list alone is the Configurations tab's. (Plain
    // lambdas: a captured member function pointer trips GCC's maybe-uninitialized under ASan.)
    openButton = button("LibraryOpen", "Open in Editor",
                        "Make it the editor's configuration (Ctrl+Z in the editor takes it back)",
                        &LibraryWindow::openSelected, 0, 0);
    sendButton = button("LibrarySend", "Send to Box",
                        "Send it to the box at the speed set, verified if \"Verify after send\" "
                        "is on; the editor is not touched",
                        &LibraryWindow::sendSelected, 0, 1);
    compareButton =
        button("LibraryCompare", "Compare", "Compare two configurations, or one with the editor's",
               &LibraryWindow::compareSelected, 0, 2);
    button("LibraryAdd", "Add Editor's ...", "Add the editor's configuration under a name",
           &LibraryWindow::addEditors, 0, 4);
    keepButton = button("LibraryKeep", "Keep as ...", "Keep a captured configuration under a name",
                        &LibraryWindow::keepSelected, 0, 5);
    renameButton = button(
        "LibraryRename", "Rename ...", "Give it another name",
        [this] { configurations->renameSelected(); }, 0, 6);
    notesButton = button(
        "LibraryNotesEdit", "Notes ...", "Write notes on it",
        [this] { configurations->notesOfSelected(); }, 1, 0);
    tagsButton = button(
        "LibraryTags", "Tags ...", "Tag it: words separated by commas",
        [this] { configurations->tagsOfSelected(); }, 1, 1);
    favouriteButton = button(
        "LibraryFavourite", "Favourite", "Mark it as a favourite, or not",
        [this] { configurations->favouriteSelected(); }, 1, 2);
    deleteButton = button(
        "LibraryDelete", "Delete", "Put it in the desktop's trash (Ctrl+Z here brings it back)",
        [this] {
            if (!historyShown() && !setListsShown())
                configurations->deleteSelected();
        },
        1, 3);
    button("LibraryImport", "Import Folder ...",
           "Add every dump in a folder and the folders within it", &LibraryWindow::importFolder, 1,
           4);
    exportButton = button("LibraryExport", "Export ...", "Copy them into a folder as .syx files",
                          &LibraryWindow::exportSelected, 1, 5);
    button("LibraryHeldAt", "Held at ...",
           "What the box held at a time: the last configuration sent to it or received from "
           "it whole, or a broken or unknown one after a send that broke off",
           &LibraryWindow::heldAt, 0, 3);
    exportMidiButton = button("LibraryExportMidi", "Export as MIDI file ...",
                              "Write it as a MIDI file that sends it to the box at the speed set, "
                              "paced as Send Sysex sends it, for a DAW's song",
                              &LibraryWindow::exportMidiSelected, 1, 6);
    button("LibraryFolder", "Folder ...", "Choose where the library is",
           &LibraryWindow::chooseLibraryFolder, 0, 7);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(views, 1);
    layout->addWidget(notes);
    layout->addLayout(buttons);
    layout->addWidget(status);

    // Files another program or the desktop changes are taken in once they settle.
    folderSettle->setSingleShot(true);
    folderSettle->setInterval(300);
    connect(folderSettle, &QTimer::timeout, this, [this] { reload(); });
    connect(watcher, &QFileSystemWatcher::directoryChanged, folderSettle,
            qOverload<>(&QTimer::start));
    showSelection();
}

LibraryWindow::~LibraryWindow() = default;

bool LibraryWindow::openFolder(const QString &folder) {
    if (!watcher->directories().isEmpty())
        watcher->removePaths(watcher->directories());
    configurations->forgetDeletes();
    const bool opened = lib->open(folder);
    setWindowTitle(QStringLiteral("Library of Configurations : ") +
                   QDir::toNativeSeparators(lib->folder()));
    if (!opened) {
        entries.clear();
        configurations->setHits({}, false);
        history->setEvents({}, {});
        setLists->refresh({});
        say(lib->error(), false);
        return false;
    }
    watcher->addPaths({lib->folder(), lib->path(QStringLiteral("captured"))});
    reload(false); // it has just read the folder
    say(QStringLiteral("%1 configurations in %2")
            .arg(entries.size())
            .arg(QDir::toNativeSeparators(lib->folder())),
        true);
    return true;
}

void LibraryWindow::reload(bool rescan) {
    if (!lib->isOpen())
        return;
    if (rescan)
        lib->refresh();
    entries = lib->entries();
    search();
    history->setEvents(lib->history(), entries);
    // Renames and deletes reach the set lists' slots.
    setLists->refresh(entries);
    showSelection();
}

void LibraryWindow::captured(const QString &what, const QString &why) {
    if (!why.isEmpty())
        say(QStringLiteral("The library could not record %1: %2").arg(what, why), false);
    if (lib->isOpen())
        reload();
}

void LibraryWindow::say(const QString &said, bool good) {
    // What the library has to say comes with it, whatever the action was.
    QString text = said;
    if (lib->isOpen())
        for (const QString &notice : lib->takeNotices()) {
            text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + notice;
            good = false;
        }
    status->setText(text);
    status->setToolTip(text);
    QPalette palette = status->palette();
    palette.setColor(QPalette::WindowText, good ? QColor(0, 128, 128) : QColor(255, 0, 0));
    status->setPalette(palette);
}

void LibraryWindow::search() {
    const library::LibraryQuery query = library::LibraryQuery::parse(searchBox->text());
    if (!query.valid()) {
        say(query.error(), false); // the list stays as it was while the user types on
        return;
    }
    configurations->setHits(lib->search(query, entries), query.hasContentTerms());
    if (!searchBox->text().trimmed().isEmpty())
        say(QStringLiteral("%1 of %2 configurations found")
                .arg(configurations->count())
                .arg(entries.size()),
            true);
}

bool LibraryWindow::historyShown() const {
    return views->currentWidget() == history;
}

bool LibraryWindow::setListsShown() const {
    return views->currentWidget() == setLists;
}

std::vector<LibraryWindow::Item> LibraryWindow::selected() const {
    std::vector<Item> items;
    // The set lists' buttons are their tab's own: the others act on nothing shown there.
    if (setListsShown())
        return items;
    if (historyShown()) {
        for (const Library::Event &event : history->selectedKept())
            items.push_back({event.text() + QStringLiteral(", ") +
                                 event.time.toLocalTime().toString("yyyy-MM-dd HH:mm"),
                             event.key, std::nullopt});
    } else {
        for (const Library::Entry &entry : configurations->selectedEntries())
            items.push_back({entry.title(), entry.key, entry});
    }
    return items;
}

std::optional<LibraryWindow::Item> LibraryWindow::one() {
    const auto items = selected();
    if (items.size() != 1) {
        say(QStringLiteral("Select one configuration first."), false);
        return std::nullopt;
    }
    return items.front();
}

std::optional<image::DumpBytes> LibraryWindow::contentOf(const Item &item) {
    // The file is the truth: read now, not as the index last saw it.
    auto dump = item.entry ? lib->read(*item.entry) : lib->content(item.key);
    if (!dump) {
        say(lib->error(), false);
        reload();
    }
    return dump;
}

void LibraryWindow::showSelection() {
    const auto items = selected();
    const bool single = items.size() == 1;
    const bool entry = single && items.front().entry.has_value();
    const bool named = entry && items.front().entry->named();
    openButton->setEnabled(single);
    sendButton->setEnabled(single);
    compareButton->setEnabled(single || items.size() == 2);
    keepButton->setEnabled(single && !named);
    renameButton->setEnabled(named);
    notesButton->setEnabled(entry);
    tagsButton->setEnabled(entry);
    favouriteButton->setEnabled(entry);
    deleteButton->setEnabled(!items.empty() && !historyShown());
    // A slot added next recalls the configuration selected, as the user expects.
    if (entry && named)
        setLists->offer(*items.front().entry);
    exportButton->setEnabled(!items.empty());
    exportMidiButton->setEnabled(entry);
    notes->setText(entry && !items.front().entry->notes.isEmpty()
                       ? QStringLiteral("Notes: ") + items.front().entry->notes
                       : QString());
}

void LibraryWindow::openSelected() {
    const auto item = one();
    if (!item)
        return;
    if (const auto dump = contentOf(*item)) {
        emit openInEditor(*dump, item->title);
        say(QStringLiteral("%1 is the editor's configuration now; Ctrl+Z in the editor takes it "
                           "back.")
                .arg(Questions::quoted(item->title)),
            true);
    }
}

void LibraryWindow::sendSelected() {
    const auto item = one();
    if (!item)
        return;
    if (const auto dump = contentOf(*item))
        emit sendToBox(*dump, item->title);
}

void LibraryWindow::exportMidiSelected() {
    const auto item = one();
    if (!item || !item->entry)
        return;
    if (const auto dump = contentOf(*item))
        emit exportMidiFile(*dump, item->title);
}

void LibraryWindow::compareSelected() {
    const auto items = selected();
    if (items.size() == 1) {
        if (const auto dump = contentOf(items[0]))
            emit compare(editor(), QStringLiteral("Editor"), *dump, items[0].title);
    } else if (items.size() == 2) {
        const auto a = contentOf(items[0]), b = contentOf(items[1]);
        if (a && b)
            emit compare(*a, items[0].title, *b, items[1].title);
    } else {
        say(QStringLiteral("Select one configuration to compare with the editor's, or two."),
            false);
    }
}

void LibraryWindow::addEditors() {
    const image::DumpBytes dump = editor();
    questions.name(QStringLiteral("Add the Editor's Configuration"), QString(),
                   [&](const QString &name) -> std::optional<QString> {
                       if (!lib->add(dump, name))
                           return lib->error();
                       reload();
                       say(QStringLiteral("The editor's configuration is in the library as %1.")
                               .arg(Questions::quoted(name)),
                           true);
                       return std::nullopt;
                   });
}

void LibraryWindow::keepSelected() {
    const auto item = one();
    if (!item)
        return;
    const auto dump = contentOf(*item);
    if (!dump)
        return;
    questions.name(QStringLiteral("Keep as a Named Configuration"), QString(),
                   [&](const QString &name) -> std::optional<QString> {
                       if (!lib->add(*dump, name))
                           return lib->error();
                       reload();
                       say(QStringLiteral("Kept as %1.").arg(Questions::quoted(name)), true);
                       return std::nullopt;
                   });
}

void LibraryWindow::heldAt() {
    const auto answer = questions.text(
        QStringLiteral("Held at"), QStringLiteral("What did the box hold at (2026-12-01 18:00):"),
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")), false);
    if (!answer)
        return;
    const QDateTime when =
        QDateTime::fromString(answer->trimmed(), QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!when.isValid()) {
        say(QStringLiteral("\"%1\" is no time; write it as 2026-12-01 18:00.").arg(*answer), false);
        return;
    }
    views->setCurrentWidget(history);
    const QStringList said = history->showHeldAt(*lib, when);
    say(said.isEmpty() ? QStringLiteral("Nothing was sent or received before %1.").arg(*answer)
                       : QStringLiteral("At %1: ").arg(*answer) + said.join(QStringLiteral("; ")),
        !said.isEmpty());
}

void LibraryWindow::importFolder() {
    const QString from = questions.folder(QStringLiteral("Import a Folder"), QDir::homePath());
    if (from.isEmpty())
        return;
    const Library::Imported imported = lib->importFolder(from);
    reload();
    QString said = QStringLiteral("%1 configurations imported").arg(imported.added);
    if (!imported.already.isEmpty())
        said += QStringLiteral("; %1 were in the library already").arg(imported.already.size());
    if (!imported.refused.empty())
        said += QStringLiteral("; %1 passed over, each with why in the list")
                    .arg(imported.refused.size());
    say(said + u'.', imported.refused.empty());
    if (imported.refused.empty())
        return;
    // Each file left out, with why: in a box of its own, which does not stop the window.
    QString list;
    for (const Library::Refused &refused : imported.refused)
        list += refused.file + QStringLiteral(": ") + refused.why + u'\n';
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Import"),
                                QStringLiteral("%1 passed over: no configuration dump, or not "
                                               "read (links are not followed).")
                                    .arg(imported.refused.size()),
                                QMessageBox::Ok, this);
    box->setObjectName("LibraryImportRefused");
    box->setDetailedText(list);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void LibraryWindow::exportSelected() {
    std::vector<Library::Entry> list;
    for (const Item &item : selected()) {
        if (item.entry) {
            list.push_back(*item.entry);
        } else {
            Library::Entry captured;
            captured.captured = item.title;
            captured.key = item.key;
            // A history event's content, from whichever file holds it.
            for (const Library::Entry &entry : entries)
                if (entry.key == item.key && !entry.missing) {
                    captured = entry;
                    break;
                }
            list.push_back(captured);
        }
    }
    if (list.empty())
        return;
    const QString to = questions.folder(QStringLiteral("Export to a Folder"), QDir::homePath());
    if (to.isEmpty())
        return;
    std::vector<Library::Refused> refused;
    if (lib->exportTo(list, to, &refused)) {
        say(QStringLiteral("%1 configurations copied to %2.")
                .arg(list.size())
                .arg(QDir::toNativeSeparators(to)),
            true);
        return;
    }
    QStringList why;
    for (const Library::Refused &r : refused)
        why << r.file + QStringLiteral(": ") + r.why;
    say(QStringLiteral("Not copied to %1: %2").arg(QDir::toNativeSeparators(to), why.join("; ")),
        false);
}

void LibraryWindow::chooseLibraryFolder() {
    const QString folder = questions.folder(QStringLiteral("Where the Library Is"),
                                            lib->isOpen() ? lib->folder() : QString());
    if (folder.isEmpty())
        return;
    if (openFolder(folder))
        emit folderChosen(lib->folder());
}

void LibraryWindow::keyPressEvent(QKeyEvent *event) {
    // The undo key as every window of the program has it; the search box keeps its own.
    if (controls::undoKey(event->key(), event->modifiers()) == controls::UndoKey::Undo)
        configurations->undoDelete();
    else
        QWidget::keyPressEvent(event);
}

void LibraryWindow::changeEvent(QEvent *event) {
    // What changed behind the library's back while the user was elsewhere.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        folderSettle->start();
    QWidget::changeEvent(event);
}

} // namespace vkv::librarywindow
