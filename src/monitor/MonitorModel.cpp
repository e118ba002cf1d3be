#include "MonitorModel.h"

#include "MidiMessage.h"

#include <QBrush>
#include <QColor>
#include <QLocale>
#include <algorithm>

namespace vkv::monitor {

namespace {

using Clock = vkv::midi::MidiTap::Clock;
using Piece = vkv::midi::MidiTap::Piece;

// Enough of a SysEx's start to name its kind and show its first bytes.
constexpr std::size_t HeadBytes = 32;

QString words(const std::string &text) {
    return QString::fromStdString(text);
}

// "10,000": thousands grouped, as counts in a status line read best.
QString count(std::size_t n) {
    static const QLocale grouped = [] {
        QLocale locale = QLocale::c();
        locale.setNumberOptions(QLocale::DefaultNumberOptions);
        return locale;
    }();
    return grouped.toString(static_cast<qulonglong>(n));
}

} // namespace

MonitorModel::MonitorModel(std::vector<vkv::midi::SysExKind> kinds, Clock::time_point origin,
                           QObject *parent)
    : QAbstractTableModel(parent), sysExKinds(std::move(kinds)), origin(origin) {
    kindShown.fill(true);
    // Tens a second, from any box with a clock: they would push every other row out.
    kindShown[static_cast<std::size_t>(MessageKind::Clock)] = false;
}

int MonitorModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int MonitorModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant MonitorModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows.size()))
        return {};
    const Row &r = rows[static_cast<std::size_t>(index.row())];
    if (role == Qt::TextAlignmentRole && index.column() == TimeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole && index.column() == DirectionColumn)
        return QBrush(r.direction == Direction::In ? QColor(0, 110, 40) : QColor(0, 60, 170));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case TimeColumn:
        return QString::number(r.ms);
    case DirectionColumn:
        if (r.form == Row::Form::Note)
            return QString();
        return r.direction == Direction::In ? QStringLiteral("IN") : QStringLiteral("OUT");
    case PortColumn:
        return r.port;
    case BytesColumn:
        return r.bytes;
    case WordsColumn:
        return r.words;
    default:
        return {};
    }
}

QVariant MonitorModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char *const names[Columns] = {"Time (ms)", "Dir", "Port", "Bytes", "Message"};
    return section >= 0 && section < Columns ? QString::fromLatin1(names[section]) : QVariant();
}

bool MonitorModel::shown(Direction direction) const {
    return direction == Direction::In ? inShown : outShown;
}

void MonitorModel::setShown(Direction direction, bool shown) {
    (direction == Direction::In ? inShown : outShown) = shown;
}

void MonitorModel::setShown(MessageKind kind, bool shown) {
    kindShown[static_cast<std::size_t>(kind)] = shown;
}

void MonitorModel::setPaused(bool paused) {
    if (paused && !paused_) {
        // Their pieces from now on are not shown: the rows say where they were left.
        for (OpenSysEx &o : open) {
            if (Row *r = rowToChange(o.serial)) {
                r->pausedHere = r->stale = true;
                word(*r);
            }
        }
        if (!open.empty() && !rows.empty())
            emit dataChanged(index(0, WordsColumn), index(rowCount() - 1, WordsColumn));
        open.clear();
    }
    paused_ = paused;
}

void MonitorModel::clear() {
    beginResetModel();
    firstSerial += rows.size();
    rows.clear();
    open.clear();
    seen = filtered = notShownPaused = dropped = missed = 0;
    endResetModel();
}

MonitorModel::Row *MonitorModel::rowToChange(std::uint64_t serial) {
    if (serial < firstSerial)
        return nullptr;
    std::uint64_t at = serial - firstSerial;
    if (at < rows.size()) {
        const int changed = static_cast<int>(at);
        changedFrom = changedFrom < 0 ? changed : std::min(changedFrom, changed);
        changedTo = std::max(changedTo, changed);
        return &rows[at];
    }
    at -= rows.size();
    return at < incoming.size() ? &incoming[at] : nullptr;
}

MonitorModel::Row &MonitorModel::newRow(const vkv::midi::TapQueue::Entry &entry) {
    if (unmade) {
        // As if made and dropped at once: its serial is gone, and nothing finds it.
        ++firstSerial;
        ++dropped;
        scratch = Row{};
        return scratch;
    }
    Row &r = incoming.emplace_back();
    r.ms = std::chrono::duration_cast<std::chrono::milliseconds>(entry.at - origin).count();
    r.direction = entry.direction;
    // The rows of one port share its name's text.
    if (entry.port != lastPort) {
        lastPort = entry.port;
        lastPortText = QString::fromStdString(entry.port);
    }
    r.port = lastPortText;
    return r;
}

void MonitorModel::add(std::vector<vkv::midi::TapQueue::Entry> entries, std::size_t missedNow) {
    missed += missedNow;
    changedFrom = changedTo = -1;
    // From the end: where MaxRows messages that each make a row lie behind an entry, no row made
    // before it is kept. Those entries are counted and followed, but make no rows.
    std::size_t keptFrom = entries.size(), rowsBehind = 0;
    while (keptFrom > 0 && rowsBehind < MaxRows)
        if (makesRow(entries[--keptFrom]))
            ++rowsBehind;
    if (rowsBehind == MaxRows && keptFrom > 0) {
        dropAllRows();
        unmade = true;
        for (std::size_t i = 0; i < keptFrom; ++i)
            take(entries[i]);
        unmade = false;
    } else {
        keptFrom = 0;
    }
    for (std::size_t i = keptFrom; i < entries.size(); ++i)
        take(entries[i]);
    if (changedFrom >= 0) {
        for (int at = changedFrom; at <= changedTo; ++at)
            word(rows[static_cast<std::size_t>(at)]);
        emit dataChanged(index(changedFrom, BytesColumn), index(changedTo, WordsColumn));
    }
    insertIncoming();
}

void MonitorModel::note(const QString &text, Clock::time_point at) {
    if (paused_)
        return;
    Row &r = incoming.emplace_back();
    r.ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - origin).count();
    r.form = Row::Form::Note;
    r.words = text;
    r.stale = false;
    insertIncoming();
}

void MonitorModel::insertIncoming() {
    if (incoming.empty())
        return;
    // The oldest go first, kept rows before new ones, so the view never holds more than MaxRows.
    std::size_t excess =
        rows.size() + incoming.size() > MaxRows ? rows.size() + incoming.size() - MaxRows : 0;
    if (excess > 0) {
        const std::size_t fromKept = std::min(excess, rows.size());
        if (fromKept > 0) {
            beginRemoveRows({}, 0, static_cast<int>(fromKept) - 1);
            rows.erase(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(fromKept));
            endRemoveRows();
        }
        incoming.erase(incoming.begin(),
                       incoming.begin() + static_cast<std::ptrdiff_t>(excess - fromKept));
        firstSerial += excess;
        dropped += excess;
        std::erase_if(open, [this](const OpenSysEx &o) { return o.serial < firstSerial; });
    }
    if (incoming.empty())
        return;
    for (Row &r : incoming)
        word(r);
    const int first = static_cast<int>(rows.size());
    beginInsertRows({}, first, first + static_cast<int>(incoming.size()) - 1);
    std::move(incoming.begin(), incoming.end(), std::back_inserter(rows));
    incoming.clear();
    endInsertRows();
}

bool MonitorModel::makesRow(const vkv::midi::TapQueue::Entry &entry) const {
    return !paused_ && entry.piece == Piece::Message && shown(entry.direction) &&
           shown(kindOf(entry));
}

MonitorModel::MessageKind MonitorModel::kindOf(const vkv::midi::TapQueue::Entry &entry) {
    return entry.piece != Piece::Message || entry.bytes.empty() ? MessageKind::SysEx
                                                                : vkv::midi::kindOf(entry.bytes[0]);
}

void MonitorModel::dropAllRows() {
    if (!rows.empty()) {
        beginRemoveRows({}, 0, rowCount() - 1);
        firstSerial += rows.size();
        dropped += rows.size();
        rows.clear();
        endRemoveRows();
    }
    changedFrom = changedTo = -1;
}

void MonitorModel::take(vkv::midi::TapQueue::Entry &entry) {
    const bool sysEx = entry.piece != Piece::Message;
    // Messages are counted, not pieces: a SysEx counts once, at its start.
    const int counted =
        entry.piece == Piece::Message || (entry.piece == Piece::SysEx && !entry.bytes.empty() &&
                                          entry.bytes.front() == vkv::midi::SysExStart)
            ? 1
            : 0;
    seen += counted;
    if (paused_) {
        notShownPaused += counted;
        return;
    }
    if (!shown(entry.direction) || !shown(kindOf(entry))) {
        filtered += counted;
        return;
    }
    if (sysEx)
        return takeSysEx(entry);
    // A status byte sent between the pieces of a SysEx cuts it on the wire. Coming in, the back
    // end took such a message out of a SysEx that goes on, and says so itself when one broke.
    if (entry.direction == Direction::Out && !entry.bytes.empty() &&
        entry.bytes[0] < vkv::midi::FirstRealTime)
        if (OpenSysEx *o = openSysEx(entry.direction, entry.port))
            endBroken(*o);
    newRow(entry).raw = std::move(entry.bytes);
}

void MonitorModel::takeSysEx(vkv::midi::TapQueue::Entry &entry) {
    OpenSysEx *o = openSysEx(entry.direction, entry.port);
    if (entry.piece == Piece::SysExBroken) {
        if (o != nullptr)
            endBroken(*o);
        else
            newRow(entry).form = Row::Form::EndLost;
        return;
    }
    std::vector<unsigned char> &bytes = entry.bytes;
    if (bytes.empty())
        return;
    const bool starts = bytes.front() == vkv::midi::SysExStart;
    const bool ends = bytes.back() == vkv::midi::SysExEnd && (bytes.size() > 1 || !starts);
    if (starts && o != nullptr) {
        endBroken(*o);
        o = nullptr;
    }
    if (starts && ends) {
        Row &r = newRow(entry);
        r.form = Row::Form::SysEx;
        r.raw = std::move(bytes);
        return;
    }
    if (o == nullptr) {
        newRow(entry);
        OpenSysEx &started = open.emplace_back();
        started.direction = entry.direction;
        started.port = entry.port;
        started.serial = firstSerial + rows.size() + incoming.size() - 1;
        started.startSeen = starts;
        started.first = entry.at;
        o = &started;
    }
    const std::size_t room = HeadBytes > o->head.size() ? HeadBytes - o->head.size() : 0;
    o->head.insert(o->head.end(), bytes.begin(),
                   bytes.begin() + static_cast<std::ptrdiff_t>(std::min(room, bytes.size())));
    o->size += bytes.size();
    o->last = bytes.back();
    o->latest = entry.at;
    ++o->pieces;
    const auto ended = static_cast<std::size_t>(o - open.data());
    showOpen(*o, ends);
    if (ends)
        open.erase(open.begin() + static_cast<std::ptrdiff_t>(ended));
}

MonitorModel::OpenSysEx *MonitorModel::openSysEx(Direction direction, const std::string &port) {
    for (OpenSysEx &o : open)
        if (o.direction == direction && o.port == port)
            return &o;
    return nullptr;
}

void MonitorModel::showOpen(const OpenSysEx &o, bool ended) {
    Row *r = rowToChange(o.serial);
    if (r == nullptr)
        return;
    r->form = Row::Form::Growing;
    r->raw = o.head;
    r->size = o.size;
    r->last = o.last;
    r->pieces = o.pieces;
    r->startSeen = o.startSeen;
    r->ended = ended;
    r->seconds = std::chrono::duration<double>(o.latest - o.first).count();
    r->stale = true;
}

void MonitorModel::endBroken(OpenSysEx &o) {
    if (Row *r = rowToChange(o.serial)) {
        r->form = Row::Form::Broken;
        r->size = o.size;
        r->stale = true;
    }
    forget(o);
}

void MonitorModel::word(Row &r) const {
    if (!r.stale)
        return;
    r.stale = false;
    const bool out = r.direction == Direction::Out;
    switch (r.form) {
    case Row::Form::Message:
    case Row::Form::SysEx:
        r.bytes = words(vkv::midi::hexBytes(r.raw.data(), r.raw.size()));
        r.words = words(vkv::midi::describe(r.raw.data(), r.raw.size(), sysExKinds));
        break;
    case Row::Form::EndLost:
        r.words = QStringLiteral("Broken SysEx: its end was lost");
        break;
    case Row::Form::Note:
        break;
    case Row::Form::Broken:
        r.words = QStringLiteral("Broken SysEx: %1 bytes, then its end was lost").arg(r.size);
        break;
    case Row::Form::Growing: {
        r.bytes = words(vkv::midi::hexStart(r.raw.data(), r.raw.size(), r.size, r.last));
        if (!r.startSeen) {
            r.words = QStringLiteral("SysEx continued: %1 bytes, its start not shown%2")
                          .arg(r.size)
                          .arg(r.ended ? QStringLiteral(", ended") : QString());
        } else if (r.ended && out && r.pieces > 1) {
            r.words = QStringLiteral("SysEx %1 bytes sent paced in %2 s")
                          .arg(r.size)
                          .arg(r.seconds, 0, 'f', 1);
        } else if (r.ended) {
            r.words =
                words(vkv::midi::describeSysEx(r.raw.data(), r.raw.size(), r.size, sysExKinds));
        } else {
            const vkv::midi::SysExKind *kind =
                vkv::midi::findSysExKind(r.raw.data(), r.raw.size(), sysExKinds);
            const QString going = out ? QStringLiteral("going out") : QStringLiteral("coming in");
            if (kind != nullptr && kind->length > 0)
                r.words = QStringLiteral("SysEx dump %1: %2 of %3 bytes")
                              .arg(going)
                              .arg(r.size)
                              .arg(kind->length);
            else
                r.words = QStringLiteral("SysEx %1: %2 bytes").arg(going).arg(r.size);
        }
        break;
    }
    }
    if (r.pausedHere)
        r.words += QStringLiteral(" (paused here)");
}

void MonitorModel::forget(const OpenSysEx &o) {
    open.erase(open.begin() + (&o - open.data()));
}

QString MonitorModel::rowText(int at) const {
    QStringList cells;
    for (int column = 0; column < Columns; ++column)
        cells << data(index(at, column)).toString();
    return cells.join(QLatin1Char('\t'));
}

QString MonitorModel::statusText() const {
    QString text = QStringLiteral("%1 messages, %2 rows").arg(count(seen), count(rows.size()));
    if (filtered > 0)
        text += QStringLiteral(", %1 filtered out").arg(count(filtered));
    if (notShownPaused > 0)
        text += QStringLiteral(", %1 not shown while paused").arg(count(notShownPaused));
    if (dropped > 0)
        text += QStringLiteral(", the oldest %1 rows dropped (%2 are kept)")
                    .arg(count(dropped), count(MaxRows));
    if (missed > 0)
        text += QStringLiteral(", %1 missed while the window was busy").arg(count(missed));
    return text;
}

} // namespace vkv::monitor
