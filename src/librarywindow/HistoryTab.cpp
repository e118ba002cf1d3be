#include "HistoryTab.h"

#include "HistoryRows.h"

#include <QHash>
#include <QItemSelectionModel>
#include <QSet>

namespace vkv::librarywindow {

using library::Library;

HistoryTab::HistoryTab(QWidget *parent)
    : LibraryTable("LibraryHistory", parent), rows(new HistoryRows(this)) {
    setModel(rows);
    setColumnWidth(HistoryRows::Time, 140);
    setColumnWidth(HistoryRows::Event, 360);
}

void HistoryTab::setEvents(std::vector<Library::Event> events,
                           const std::vector<Library::Entry> &entries) {
    QHash<QString, QStringList> names;
    for (const Library::Entry &entry : entries)
        if (entry.named() && !entry.missing)
            names[entry.key] << entry.name;
    QSet<qint64> kept;
    for (const QModelIndex &row : selectionModel()->selectedRows())
        kept << rows->event(row.row()).id;
    rows->setEvents(std::move(events), std::move(names));
    reselect([&](int row) { return kept.contains(rows->event(row).id); });
}

std::vector<Library::Event> HistoryTab::selectedKept() const {
    std::vector<Library::Event> kept;
    for (const QModelIndex &row : selectionModel()->selectedRows()) {
        const Library::Event &event = rows->event(row.row());
        // A test copy was never kept: there is nothing to open or send.
        if (event.whole() && !event.test)
            kept.push_back(event);
    }
    return kept;
}

QStringList HistoryTab::showHeldAt(Library &library, const QDateTime &when) {
    // For each box (its ports used together), what it held then: selected, and said once.
    QStringList ports, said, boxes;
    for (int row = 0; row < rows->rowCount(); ++row)
        if (!ports.contains(rows->event(row).port))
            ports << rows->event(row).port;
    ports.sort();
    QSet<qint64> held;
    for (const QString &port : ports) {
        const auto box = library.heldAt(port, when);
        if (!box || boxes.contains(box->ports.join(u',')))
            continue;
        boxes << box->ports.join(u',');
        held << box->event.id;
        QString words =
            box->ports.join(QStringLiteral(", ")) + QStringLiteral(": ") + box->text(true);
        if (box->known)
            words += QStringLiteral(" (%1 %2)")
                         .arg(box->event.direction == Library::Direction::Sent
                                  ? QStringLiteral("sent")
                                  : QStringLiteral("received"),
                              box->event.time.toLocalTime().toString(
                                  QStringLiteral("yyyy-MM-dd HH:mm")));
        said << words;
    }
    reselect([&](int row) { return held.contains(rows->event(row).id); });
    return said;
}

} // namespace vkv::librarywindow
