#pragma once

#include "ConfigImage.h"
#include "Library.h"
#include "Questions.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTimer;

namespace vkv::librarywindow {

class ConfigurationsTab;
class HistoryTab;
class SetListsTab;

// The library's window: its tabs, Configurations (ConfigurationsTab), History (HistoryTab) and
// Set Lists (SetListsTab), a search as you type over names, notes, tags and what the configurations
// send, the notes of the one selected, the buttons of the actions on what is selected and a status
// line. It arranges the tabs and wires the buttons: what is done to a configuration of the list
// alone is the Configurations tab's, the rest is here. It changes the library itself; what concerns
// the editor or the box (open, send, compare, a MIDI file at the editor's speed) it asks for by a
// signal. What it has to say is in its status line, with every notice the library gives as it gives
// it. Ctrl+Z here brings back what was deleted here, the last first. Files changed behind its back
// are taken in when the folder changes and when the window is activated.
class LibraryWindow : public QWidget {
    Q_OBJECT
public:
    // The user's answer to a question: a text (a name, notes, tags) or a folder. The program shows
    // a dialog; tests give their own answers.
    using Ask = Questions::Ask;
    using ChooseFolder = Questions::ChooseFolder;

    // `editor` hands out the editor's configuration as it is now.
    explicit LibraryWindow(std::function<image::DumpBytes()> editor, QWidget *parent = nullptr);
    ~LibraryWindow() override;

    void setAsk(Ask ask) { questions.setAsk(std::move(ask)); }
    void setChooseFolder(ChooseFolder choose) { questions.setChooseFolder(std::move(choose)); }
    void setConfirm(Questions::Confirm confirm) { questions.setConfirm(std::move(confirm)); }

    // Opens the library in `folder` and shows it; false when it cannot be opened (said).
    bool openFolder(const QString &folder);
    library::Library &library() { return *lib; }
    // The set lists: the owner runs the recall the tab switches on and off, and shows its lines.
    SetListsTab &setListsTab() { return *setLists; }
    // A capture was written (`why` ""), or could not be; the history is read again.
    void captured(const QString &what, const QString &why);
    // Reads the library again: the folder's files (unless `rescan` is false) and the index, then
    // the views.
    void reload(bool rescan = true);
    // A line in the status line: teal when `good`, else red; the library's notices follow it
    // (in red).
    void say(const QString &text, bool good);

signals:
    void openInEditor(const vkv::image::DumpBytes &dump, const QString &name);
    void sendToBox(const vkv::image::DumpBytes &dump, const QString &name);
    void compare(const vkv::image::DumpBytes &a, const QString &nameA,
                 const vkv::image::DumpBytes &b, const QString &nameB);
    void folderChosen(const QString &folder);
    // "Export as MIDI file ..." on one configuration of the Configurations tab.
    void exportMidiFile(const vkv::image::DumpBytes &dump, const QString &name);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // A selected configuration or history event: what it is called, and its entry if it is one.
    struct Item {
        QString title;
        QString key;
        std::optional<library::Library::Entry> entry;
    };
    std::vector<Item> selected() const;
    std::optional<Item> one();
    std::optional<image::DumpBytes> contentOf(const Item &item);
    void search();
    void showSelection();
    bool historyShown() const;
    bool setListsShown() const;

    // The actions on the selection of either tab, and those on the library as a whole.
    void openSelected();
    void sendSelected();
    void exportMidiSelected();
    void compareSelected();
    void addEditors();
    void keepSelected();
    void importFolder();
    void exportSelected();
    // Asks for a time, and shows what each box (the ports used together) held then, once.
    void heldAt();
    void chooseLibraryFolder();

    std::function<image::DumpBytes()> editor;
    std::unique_ptr<library::Library> lib;
    std::vector<library::Library::Entry> entries;
    Questions questions;
    QLineEdit *searchBox;
    QTabWidget *views;
    ConfigurationsTab *configurations;
    HistoryTab *history;
    SetListsTab *setLists;
    QLabel *notes, *status;
    QPushButton *openButton, *sendButton, *compareButton, *keepButton, *renameButton, *notesButton,
        *tagsButton, *favouriteButton, *deleteButton, *exportButton, *exportMidiButton;
    QFileSystemWatcher *watcher;
    QTimer *folderSettle;
};

} // namespace vkv::librarywindow
