#pragma once

#include "Library.h"
#include "LibraryTable.h"

#include <QString>
#include <optional>
#include <vector>

namespace vkv::librarywindow {

class ConfigurationRows;
class Questions;

// The library window's Configurations tab: the configurations a search found (ConfigurationRows),
// sortable by any column, the selection staying on its configurations as the rows come anew; and
// what is done to a configuration of the list alone: rename, notes, tags, favourite and delete. A
// delete goes to the desktop's trash and undoDelete() brings it back, the last first; one that
// cannot come back leaves the steps, saying why. What it has to say, and that the library changed,
// it tells the window by signals.
class ConfigurationsTab : public LibraryTable {
    Q_OBJECT
public:
    ConfigurationsTab(library::Library &library, const Questions &questions, QWidget *parent);

    // Shows `hits`, keeping the selection on the configurations still found; the records matched
    // are shown for a search with content terms.
    void setHits(std::vector<library::Library::Hit> hits, bool contentTerms);
    int count() const;
    std::vector<library::Library::Entry> selectedEntries() const;
    // Another folder is shown: its deletes cannot be brought back here.
    void forgetDeletes() { trashed.clear(); }

    // The actions, as the buttons run them on the selection.
    void renameSelected();
    void notesOfSelected();
    void tagsOfSelected();
    void favouriteSelected();
    void deleteSelected();
    void undoDelete();

signals:
    // A line for the window's status line: teal when `good`, else red.
    void said(const QString &text, bool good);
    // The library changed: the window reads it again.
    void changed();

private:
    // The one configuration selected; nothing, said, when it is not one.
    std::optional<library::Library::Entry> one();
    void sayLibrary(bool done, const QString &doneText);

    library::Library &library;
    const Questions &questions;
    ConfigurationRows *rows;
    struct Deleted {
        library::Library::Trashed trashed;
        QString title;
    };
    std::vector<Deleted> trashed; // Ctrl+Z brings back the last
};

} // namespace vkv::librarywindow
