#pragma once

#include "ConfigImage.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vkv::library {

class LibraryEntries;
class LibraryFolder;

// The history of what passed the program's ports. Every configuration that passes whole is
// captured: the event (time, direction, port, whether a verify held) and its content, kept once
// per distinct content in the folder "captured"; one that broke off is an event only, and so is a
// test copy that a search for the box's speed sent. A send and the answers to its requests on the
// ports used together are one box, whose ports all held what it held: heldAt() says what that
// was at a time.
class LibraryHistory {
public:
    enum class Direction { Received = 0, Sent = 1 };
    enum class Verify { NotChecked, Held, Differed };

    // A configuration that went out or came in, or one that did not come or go whole.
    struct Event {
        qint64 id = 0;
        QDateTime time;
        Direction direction = Direction::Received;
        QString port;
        QString key; // "" when it broke off
        int bytes = 0;
        Verify verified = Verify::NotChecked;
        // A test copy that a search for the box's speed sent, or the box's answer to one.
        bool test = false;
        // The port used together with `port` (a send's MIDI IN, a received dump's MIDI OUT), or "".
        QString paired;
        // Of a send that broke off: the key of what it was sending, "" when not known.
        QString sending;
        bool whole() const { return !key.isEmpty(); }
        // "received from vela-box:out", "sent to vela-box:in, verified", and " (test copy)" after
        // a test copy's.
        QString text() const;
    };

    // What a transfer hands the library to record.
    struct Capture {
        QDateTime time;
        Direction direction = Direction::Received;
        QString port;
        std::optional<image::DumpBytes> dump; // none: it broke off
        int bytes = image::DumpSize;          // of one that broke off, how many went or came
        // A test copy of a search for the box's speed (or the answer to one): shown in History as
        // a test, never kept as a captured configuration, never what the box is said to hold.
        bool test = false;
        // The port used together with `port`: a send's MIDI IN (where the answers to its
        // requests come), a received dump's MIDI OUT (where its request went); "" for none.
        QString paired = {};
        // Of a send that broke off: what it was sending, when the sender knows.
        std::optional<image::DumpBytes> sending = std::nullopt;
    };

    // What a box held at a time, as far as the history tells: the last whole configuration sent
    // to it or received from it, or, after a send that broke off, a verify that failed or a test
    // copy, a broken or unknown one until the next whole send or whole answer.
    struct Held {
        QStringList ports; // the box's: the port asked about and those used together with it
        // The whole configuration it held, or the send after which it held a broken or unknown one.
        Event event;
        bool known = true;
        // The named configurations holding what it held, or what was sent.
        QStringList names;
        // "Gig", "Gig, not verified", "a broken or unknown configuration since 2026-12-01
        // 18:02:10 (what was sent: Gig, not verified)"; names in quotes when `quoted`.
        QString text(bool quoted = false) const;
    };

    // `entries` names what the box held.
    LibraryHistory(LibraryFolder &folder, LibraryEntries &entries);

    bool capture(const Capture &capture);
    // The box held (or did not hold) a configuration sent to `port`: its latest send of it that
    // no verify has answered says so, a test copy's too.
    bool verified(const QString &port, const image::DumpBytes &sent, bool held);
    // Newest first.
    std::vector<Event> events();
    // What the box on `port` (a port's whole name, or its client's name) held at `when`. Nothing
    // when nothing was sent to it or received from it before then (error() says so).
    std::optional<Held> heldAt(const QString &port, const QDateTime &when);
    // How each captured content came first, by its key: "received from vela-box:out on
    // 2026-12-09 15:30".
    QHash<QString, QString> firstCame();

private:
    // The ports used together with those `port` names, the first ones among them.
    QStringList boxOf(const QString &port);

    LibraryFolder &folder;
    LibraryEntries &entries;
};

} // namespace vkv::library
