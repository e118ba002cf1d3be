#include "HistoryRows.h"

namespace vkv::librarywindow {

void HistoryRows::setEvents(std::vector<library::Library::Event> list,
                            QHash<QString, QStringList> byKey) {
    beginResetModel();
    events = std::move(list);
    names = std::move(byKey);
    endResetModel();
}

QString HistoryRows::configuration(int row) const {
    const library::Library::Event &e = event(row);
    if (e.test)
        return QStringLiteral("a test copy, not a configuration of the library");
    if (!e.whole())
        return QStringLiteral("none: it did not come whole");
    const QStringList held = names.value(e.key);
    return held.isEmpty() ? QStringLiteral("captured, unnamed") : held.join(QStringLiteral(", "));
}

int HistoryRows::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(events.size());
}

int HistoryRows::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant HistoryRows::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const library::Library::Event &e = event(index.row());
    switch (index.column()) {
    case Time:
        return e.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Event:
        return e.text();
    case Configuration:
        return configuration(index.row());
    default:
        return {};
    }
}

QVariant HistoryRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const headers[] = {"Time", "Event", "Configuration"};
    return section >= 0 && section < Columns ? QString::fromLatin1(headers[section]) : QVariant();
}

} // namespace vkv::librarywindow
