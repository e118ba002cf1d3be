#pragma once

#include "ConfigImage.h"
#include "Library.h"

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
class QTableView;
class QTimer;

namespace vkv::librarywindow {

class ConfigurationRows;
class HistoryRows;

// The library's window: the Configurations view (name, last change, tags, favourite, the named
// configurations with the same records, the records a search matched) and the History view
// (newest first), a search as you type over names, notes, tags and what the configurations send,
// and the actions on what is selected. It changes the library itself; what concerns the editor or
// the box (open, send, compare) it asks for by a signal. What it has to say is in its status
// line, with every notice the library gives as it gives it. A delete goes to the desktop's
// trash, and Ctrl+Z here brings it back, the last first; one that cannot come back leaves the
// steps, saying why. Files changed behind its back are taken in when the folder changes and when
// the window is activated.
class LibraryWindow : public QWidget {
    Q_OBJECT
public:
    // The user's answer to a question: a text (a name, notes, tags) or a folder. The program shows
    // a dialog; tests give their own answers.
    using Ask = std::function<std::optional<QString>(const QString &title, const QString &label,
                                                     const QString &text, bool multiLine)>;
    using ChooseFolder = std::function<QString(const QString &title, const QString &start)>;

    // `editor` hands out the editor's configuration as it is now.
    explicit LibraryWindow(std::function<image::DumpBytes()> editor, QWidget *parent = nullptr);
    ~LibraryWindow() override;

    void setAsk(Ask ask) { this->ask = std::move(ask); }
    void setChooseFolder(ChooseFolder choose) { chooseFolder = std::move(choose); }

    // Opens the library in `folder` and shows it; false when it cannot be opened (said).
    bool openFolder(const QString &folder);
    library::Library &library() { return *lib; }
    // A capture was written (`why` ""), or could not be; the history is read again.
    void captured(const QString &what, const QString &why);
    // Reads the library again: the folder's files (unless `rescan` is false) and the index, then
    // the views.
    void reload(bool rescan = true);
    // A line in the status line: teal when `good`, else red; the library's notices follow it
    // (in red).
    void say(const QString &text, bool good);

    // The actions, as the buttons run them on the selection.
    void openSelected();
    void sendSelected();
    void compareSelected();
    void addEditors();
    void keepSelected();
    void renameSelected();
    void notesOfSelected();
    void tagsOfSelected();
    void favouriteSelected();
    void deleteSelected();
    void undoDelete();
    void importFolder();
    void exportSelected();
    // Asks for a time, and shows what each box (the ports used together) held then, once.
    void heldAt();
    void chooseLibraryFolder();

signals:
    void openInEditor(const vkv::image::DumpBytes &dump, const QString &name);
    void sendToBox(const vkv::image::DumpBytes &dump, const QString &name);
    void compare(const vkv::image::DumpBytes &a, const QString &nameA,
                 const vkv::image::DumpBytes &b, const QString &nameB);
    void folderChosen(const QString &folder);

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
    // Asks for a name until the library takes it or the user gives up; `take` tries one.
    void askName(const QString &title, const QString &initial,
                 const std::function<bool(const QString &)> &take);
    void search();
    // Selects the rows of `view` that are `wanted`, and only those.
    static void reselect(QTableView *view, const std::function<bool(int)> &wanted);
    void showSelection();
    bool historyShown() const;
    void sayLibrary(bool done, const QString &doneText);

    std::function<image::DumpBytes()> editor;
    std::unique_ptr<library::Library> lib;
    std::vector<library::Library::Entry> entries;
    struct Deleted {
        library::Library::Trashed trashed;
        QString title;
    };
    std::vector<Deleted> trashed; // Ctrl+Z brings back the last
    Ask ask;
    ChooseFolder chooseFolder;
    QLineEdit *searchBox;
    QTabWidget *views;
    QTableView *configurations, *history;
    ConfigurationRows *configurationRows;
    HistoryRows *historyRows;
    QLabel *notes, *status;
    QPushButton *openButton, *sendButton, *compareButton, *keepButton, *renameButton, *notesButton,
        *tagsButton, *favouriteButton, *deleteButton, *exportButton;
    QFileSystemWatcher *watcher;
    QTimer *folderSettle;
};

} // namespace vkv::librarywindow
