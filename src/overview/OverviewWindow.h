#pragma once

#include "ConfigImage.h"
#include "RecordEditor.h"
#include "RecordId.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QModelIndex;
class QTabWidget;
class QTableView;

namespace vkv::image {
class ImageHistory;
struct ImageChange;
} // namespace vkv::image

namespace vkv::overview {

class RecordTable;

// The overview: every record of the configuration at a glance, in two tabs, "Pots" (256 rows)
// and "Buttons" (128), one row a record in the box's order with the record sheet's fields in the
// pages' words, and the records that send the same message. A filter shows one bank, or only the
// records that send the same.
//
// It edits many records at a time, each edit one step of the image's history (Ctrl+Z here or in
// the main window takes it back): a cell edited with the page's control for its field, over every
// selected row; "Fill ..." (type, channel, a series of numbers, min, max, value, mode); Copy and
// Paste as rows of the record sheet; "Banks ..." (a bank copied onto another, or two swapped);
// "Take from Library ..." (a bank's records, or those at the selection's places, from a
// configuration of the library). It shows every change of the image at once, whoever made it.
// With "Follow the box" checked, a message that comes in selects the records that send it. The
// undo keys here undo and redo the configuration, as in the main window.
class OverviewWindow : public QWidget {
    Q_OBJECT
public:
    // What "Take from Library ..." reads: the names of the library's configurations (none, with
    // why, when it cannot be read), and one of them by its place in that list.
    struct Library {
        std::function<QStringList(QString *why)> names;
        std::function<std::optional<image::DumpBytes>(int index, QString *why)> read;
    };

    explicit OverviewWindow(image::ImageHistory &history, QWidget *parent = nullptr);
    ~OverviewWindow() override;

    void setLibrary(Library library) { this->library = std::move(library); }
    bool following() const;
    void setFollowing(bool on);
    // A message came in (MIDI IN, or the program's own Motors port): with "Follow the box" on and
    // the window shown, the rows of the records that send it are selected and shown. Nothing is
    // written.
    void heard(int status, int number);

    // The table of a tab, and the records selected in the tab shown, in the box's order.
    QTableView *view(bool pots) const;
    std::vector<records::RecordId> selected() const;

    // The actions, as their buttons and keys run them.
    void fillClick();
    void copyClick();
    // Rows of the record sheet from the clipboard: into the records they name, or, where they name
    // none, from the current row on (`byNames`); without `byNames` from the current row on.
    void pasteClick(bool byNames);
    void banksClick();
    void takeClick();

signals:
    void followingChanged(bool on);
    // The user moved or resized the window and let go.
    void placeChanged(const QRect &place);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    RecordTable &table(bool pots) const { return pots ? *potTable : *buttonTable; }
    bool potsShown() const;
    // The rows (and the title) as the image is now, or at the next show while hidden.
    void imageChanged();
    void refresh();
    void showRows(int which);
    void editCells(const RecordTable &table, const QModelIndex &index, int value);
    void say(const QString &text, bool good);
    // What an edit did, worded after `what`.
    void said(const QString &what, const records::RecordEditor::Outcome &outcome);

    image::ImageHistory &history;
    records::RecordEditor editor;
    Library library;
    RecordTable *potTable = nullptr, *buttonTable = nullptr;
    QTabWidget *tabs;
    QComboBox *filter;
    QCheckBox *follow;
    QLabel *summary;
    QLabel *status;
    bool stale = true;
    bool selecting = false; // the window selects rows itself, following the box
    int lastHeard = -1;     // the message last followed, while its selection stands
};

} // namespace vkv::overview
