#include "LibraryHistory.h"

#include "DumpFile.h"
#include "EntryName.h"
#include "LibraryEntries.h"
#include "LibraryFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace vkv::library {

QString LibraryHistory::Event::text() const {
    QString words = direction == Direction::Received ? QStringLiteral("received from ") + port
                                                     : QStringLiteral("sent to ") + port;
    if (!whole())
        words += direction == Direction::Received
                     ? QStringLiteral(", broken after %1 bytes").arg(bytes)
                     : QStringLiteral(", broke off after %1 of %2 bytes")
                           .arg(bytes)
                           .arg(image::DumpSize);
    else if (verified == Verify::Held)
        words += QStringLiteral(", verified");
    else if (verified == Verify::Differed)
        words += QStringLiteral(", verify failed: the box held other values");
    if (test)
        words += QStringLiteral(" (test copy)");
    return words;
}

QString LibraryHistory::Held::text(bool quoted) const {
    const auto named = [&](const QString &otherwise) {
        if (names.isEmpty())
            return otherwise;
        return quoted ? QStringLiteral("\u201c%1\u201d")
                            .arg(names.join(QStringLiteral("\u201d, \u201c")))
                      : names.join(QStringLiteral(", "));
    };
    const bool unverified = event.direction == Direction::Sent && event.verified != Verify::Held;
    if (known)
        return named(QStringLiteral("a captured configuration")) +
               (unverified ? QStringLiteral(", not verified") : QString());
    const QString sent =
        event.test ? QStringLiteral("a test copy of a search for the speed, not a configuration "
                                    "of the library")
        : event.whole() || !event.sending.isEmpty()
            ? named(QStringLiteral("a configuration with no name"))
            : QStringLiteral("not known");
    return QStringLiteral("a broken or unknown configuration since %1 (what was sent: %2, not "
                          "verified)")
        .arg(event.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), sent);
}

LibraryHistory::LibraryHistory(LibraryFolder &folder, LibraryEntries &entries)
    : folder(folder), entries(entries) {}

namespace {

LibraryHistory::Event eventOf(const QSqlQuery &row) {
    LibraryHistory::Event event;
    event.id = row.value(0).toLongLong();
    event.time = QDateTime::fromMSecsSinceEpoch(row.value(1).toLongLong(), Qt::UTC);
    event.direction = static_cast<LibraryHistory::Direction>(row.value(2).toInt());
    event.port = row.value(3).toString();
    event.key = row.value(4).toString();
    event.bytes = row.value(5).toInt();
    if (!row.value(6).isNull())
        event.verified = row.value(6).toInt() != 0 ? LibraryHistory::Verify::Held
                                                   : LibraryHistory::Verify::Differed;
    event.test = row.value(7).toInt() != 0;
    event.paired = row.value(8).toString();
    event.sending = row.value(9).toString();
    return event;
}

const QString EventColumns =
    QStringLiteral("id, time, direction, port, key, bytes, verified, test, paired, sending");

} // namespace

QHash<QString, QString> LibraryHistory::firstCame() {
    QHash<QString, QString> firstCame;
    if (!folder.isOpen())
        return firstCame;
    QSqlQuery first(folder.index().db());
    first.setForwardOnly(true);
    if (first.exec(QStringLiteral("SELECT key, min(time), direction, port FROM events WHERE key "
                                  "IS NOT NULL AND test = 0 GROUP BY key"))) {
        while (first.next()) {
            Event event;
            event.direction = static_cast<Direction>(first.value(2).toInt());
            event.port = first.value(3).toString();
            event.key = first.value(0).toString();
            firstCame.insert(event.key, event.text() + QStringLiteral(" on ") +
                                            LibraryFolder::when(QDateTime::fromMSecsSinceEpoch(
                                                first.value(1).toLongLong(), Qt::UTC)));
        }
    }
    return firstCame;
}

std::vector<LibraryHistory::Event> LibraryHistory::events() {
    std::vector<Event> list;
    if (!folder.isOpen())
        return list;
    QSqlQuery rows(folder.index().db());
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT %1 FROM events ORDER BY time DESC, id DESC")
                       .arg(EventColumns))) {
        folder.fail(LibraryIndex::words(rows.lastError()));
        return list;
    }
    while (rows.next())
        list.push_back(eventOf(rows));
    return list;
}

QStringList LibraryHistory::boxOf(const QString &port) {
    // The ports of the history, and which were used together.
    QSqlQuery rows(folder.index().db());
    rows.setForwardOnly(true);
    QHash<QString, QStringList> together;
    if (rows.exec(QStringLiteral("SELECT DISTINCT port, paired FROM events"))) {
        while (rows.next()) {
            const QString a = rows.value(0).toString(), b = rows.value(1).toString();
            together[a];
            if (!b.isEmpty()) {
                together[a] << b;
                together[b] << a;
            }
        }
    }
    // A client's name stands for its ports.
    QStringList box;
    for (auto it = together.cbegin(); it != together.cend(); ++it)
        if (it.key() == port || it.key().startsWith(port + u':'))
            box << it.key();
    if (box.isEmpty())
        box << port;
    for (qsizetype at = 0; at < box.size(); ++at)
        for (const QString &other : together.value(box[at]))
            if (!box.contains(other))
                box << other;
    box.sort();
    return box;
}

std::optional<LibraryHistory::Held> LibraryHistory::heldAt(const QString &port,
                                                           const QDateTime &time) {
    Held held;
    held.ports = boxOf(port);
    QStringList marks;
    for (qsizetype n = 0; n < held.ports.size(); ++n)
        marks << QStringLiteral("?");
    QSqlQuery rows(folder.index().db());
    rows.setForwardOnly(true);
    rows.prepare(QStringLiteral("SELECT %1 FROM events WHERE time <= ? AND port IN (%2) ORDER BY "
                                "time DESC, id DESC")
                     .arg(EventColumns, marks.join(u',')));
    rows.addBindValue(time.toMSecsSinceEpoch());
    for (const QString &p : held.ports)
        rows.addBindValue(p);
    if (!rows.exec()) {
        folder.fail(LibraryIndex::words(rows.lastError()));
        return std::nullopt;
    }
    // The newest event that tells: a dump from the box that broke off, and the answers to test
    // copies, leave what it holds as it was.
    bool found = false;
    while (!found && rows.next()) {
        const Event event = eventOf(rows);
        if (event.direction == Direction::Received && (!event.whole() || event.test))
            continue;
        found = true;
        held.event = event;
        // A send that broke off, a test copy and a send the box was found not to hold leave it
        // holding something half-written or other.
        held.known = event.direction == Direction::Received ||
                     (event.whole() && !event.test && event.verified != Verify::Differed);
    }
    rows.finish();
    if (!found) {
        folder.fail(QStringLiteral("Nothing was received from or sent to %1 before %2.")
                        .arg(port, LibraryFolder::when(time)));
        return std::nullopt;
    }
    const QString key = held.event.whole() ? held.event.key : held.event.sending;
    if (!held.event.test && !key.isEmpty())
        held.names = entries.namesOf(key);
    return held;
}

bool LibraryHistory::capture(const Capture &capture) {
    if (!folder.isOpen())
        return folder.fail(QStringLiteral("The library is not open."));
    const auto keyOf = [](const std::optional<image::DumpBytes> &dump) {
        if (!dump)
            return QVariant(QMetaType(QMetaType::QString));
        image::DumpBytes framed = *dump;
        image::frameDump(framed.data());
        return QVariant(DumpFile::key(framed));
    };
    const QVariant key = keyOf(capture.dump);
    // A configuration is kept once per content: a second capture of it finds its file there. A
    // test copy is never kept: its key lets its verify find it.
    const bool keep = capture.dump && !capture.test;
    const QString file =
        keep ? LibraryFolder::Captured + u'/' + key.toString() + QLatin1String(EntryName::Suffix)
             : QString();
    image::DumpBytes framed{};
    if (keep) {
        framed = *capture.dump;
        image::frameDump(framed.data());
        QString why;
        if (!QFileInfo::exists(folder.path(file)) &&
            !DumpFile::write(folder.path(file), framed, true, true, &why))
            return folder.fail(
                QStringLiteral("The configuration cannot be written to %1: %2.")
                    .arg(QDir::toNativeSeparators(folder.path(LibraryFolder::Captured)), why));
    }
    QString why;
    const bool written = folder.index().write(
        [&](QString *failed) {
            if (keep && !folder.putEntry(file, framed, folder.stat(file), false, failed))
                return false;
            QSqlQuery event(folder.index().db());
            event.prepare(QStringLiteral("INSERT INTO events(time, direction, port, key, bytes, "
                                         "test, paired, sending) VALUES(?, ?, ?, ?, ?, ?, ?, ?)"));
            event.addBindValue(capture.time.toMSecsSinceEpoch());
            event.addBindValue(static_cast<int>(capture.direction));
            event.addBindValue(capture.port);
            event.addBindValue(key);
            event.addBindValue(capture.dump ? image::DumpSize : capture.bytes);
            event.addBindValue(capture.test ? 1 : 0);
            event.addBindValue(capture.paired.isEmpty() ? QVariant(QMetaType(QMetaType::QString))
                                                        : QVariant(capture.paired));
            event.addBindValue(capture.dump ? QVariant(QMetaType(QMetaType::QString))
                                            : keyOf(capture.sending));
            return LibraryIndex::run(event, failed);
        },
        &why);
    return folder.kept(written, why);
}

bool LibraryHistory::verified(const QString &port, const image::DumpBytes &sent, bool held) {
    image::DumpBytes framed = sent;
    image::frameDump(framed.data());
    return folder.update(
        QStringLiteral("UPDATE events SET verified = ? WHERE id = (SELECT id FROM events "
                       "WHERE direction = 1 AND port = ? AND key = ? AND verified IS "
                       "NULL ORDER BY time DESC, id DESC LIMIT 1)"),
        {held ? 1 : 0, port, DumpFile::key(framed)});
}

} // namespace vkv::library
