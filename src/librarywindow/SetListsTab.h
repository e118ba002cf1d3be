#pragma once

#include "Library.h"

#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace vkv::librarywindow {

class LibraryTable;
class Questions;
class SetListRows;

// The library window's Set Lists tab: the set list chosen, made, renamed or deleted (to the
// desktop's trash, asked first); its slots in order (SetListRows), each added from the library's
// named configurations at the next free program number, given another number, removed, or moved
// by dragging or Ctrl+Up / Ctrl+Down; its channel. Every change is written to the list's file at
// once, and the list is shown again as the library reads it back, with the lines of its file the
// library refused. "Recall on program change" and the last recall's line are shown here, but run
// and remembered by the owner: the check box asks by recallSwitched() and the owner answers with
// showRecall(). What it has to say it tells the window by said().
class SetListsTab : public QWidget {
    Q_OBJECT
public:
    SetListsTab(library::Library &library, const Questions &questions, QWidget *parent);

    // Reads the lists again and shows the chosen one as it is now; `entries` are the library's
    // configurations, the named ones of which can fill a slot.
    void refresh(const std::vector<library::Library::Entry> &entries);
    // The configuration a slot added next is filled with, when it is a named one (the one
    // selected in the Configurations tab).
    void offer(const library::Library::Entry &entry);
    // The list shown, "" for none.
    QString chosen() const;

    // Shows that recall is on for `list` (off for every other list), without emitting.
    void showRecall(const QString &list, bool on);
    // Shows the last recall's line ("" for none).
    void showLastRecall(const QString &line);

signals:
    // The user switched recall on or off for `list` ("" when no list is chosen).
    void recallSwitched(const QString &list, bool on);
    // A line for the window's status line: teal when `good`, else red.
    void said(const QString &text, bool good);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Shows the chosen list as the library reads it, the slot of `program` selected.
    void showList(std::optional<int> program = std::nullopt);
    void showState();
    std::optional<int> selectedRow() const;
    // Writes the list whole and shows it again; says `done` or why not.
    bool write(const library::SetList &list, std::optional<int> program, const QString &done);

    void makeList();
    void renameList();
    void deleteList();
    void chooseChannel(int index);
    void addSlot();
    void changeProgram();
    void removeSlot();
    // Moves the slot of row `from` before the one at row `to` (the row count for the end).
    void move(int from, int to);
    void moveSelected(int by);
    void switchRecall(bool on);

    library::Library &library;
    const Questions &questions;
    std::vector<library::Library::Entry> named; // what can fill a slot, by name
    QString recallList;                         // as the owner last showed it
    SetListRows *rows;
    QComboBox *lists, *channel, *configuration;
    LibraryTable *slotTable;
    QPushButton *renameButton, *deleteButton, *addButton, *programButton, *removeButton, *upButton,
        *downButton;
    QLabel *damaged, *lastRecall;
    QCheckBox *recall;
};

} // namespace vkv::librarywindow
