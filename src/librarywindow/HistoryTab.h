#pragma once

#include "Library.h"
#include "LibraryTable.h"

#include <QDateTime>
#include <QStringList>
#include <vector>

namespace vkv::librarywindow {

class HistoryRows;

// The library window's History tab: what went out to a box or came in from one, newest first
// (HistoryRows), each configuration by the names of the named configurations holding it. The
// selection stays on its events as the rows come anew; a held-at question selects, for each box,
// the event that tells what it held.
class HistoryTab : public LibraryTable {
    Q_OBJECT
public:
    explicit HistoryTab(QWidget *parent);

    // Shows `events`, each configuration named after the present named ones of `entries`.
    void setEvents(std::vector<library::Library::Event> events,
                   const std::vector<library::Library::Entry> &entries);
    // The selected events whose configuration was kept: whole ones, and no test copy.
    std::vector<library::Library::Event> selectedKept() const;
    // What each box (the ports used together) of the history held at `when`, a box once, in
    // words; the events that tell are selected.
    QStringList showHeldAt(library::Library &library, const QDateTime &when);

private:
    HistoryRows *rows;
};

} // namespace vkv::librarywindow
