#pragma once

#include "Library.h"

#include <QAbstractTableModel>
#include <QHash>
#include <vector>

namespace vkv::librarywindow {

// The History view's rows, newest first: when, what happened ("received from vela-box:out",
// "sent to vela-box:in, verified", "... (test copy)") and the configuration it was, by the names
// of the named configurations that hold its records; a speed search's test copy is none.
class HistoryRows : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Event, Configuration, Columns };

    using QAbstractTableModel::QAbstractTableModel;

    // `names`: for each content, the names of the configurations that hold it.
    void setEvents(std::vector<library::Library::Event> events, QHash<QString, QStringList> names);
    const library::Library::Event &event(int row) const {
        return events[static_cast<std::size_t>(row)];
    }
    // What the event's configuration is called: its names, or that it was captured.
    QString configuration(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<library::Library::Event> events;
    QHash<QString, QStringList> names;
};

} // namespace vkv::librarywindow
