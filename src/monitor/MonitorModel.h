#pragma once

#include "MidiWords.h"
#include "TapQueue.h"

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace vkv::monitor {

// The rows of the MIDI monitor: one a message, newest last, in words. What the ports' tap kept is
// added a batch at a time, with one row insertion a batch, so a flood costs the view one update a
// batch. The pieces of a SysEx (a paced send's slices, an input's chunks) fold into one row that
// grows until the message ends. At most MaxRows rows are kept; the oldest go first. A row's texts
// are made once its batch is in, for the rows that stay: a batch of 50,000 entries costs the
// words of the 10,000 rows kept, not of every entry.
//
// Filters and pause act on what comes from now on: a message they keep out is counted, not kept,
// so clock and active sensing cannot push the rows that matter out.
class MonitorModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int MaxRows = 10000;
    enum Column { TimeColumn, DirectionColumn, PortColumn, BytesColumn, WordsColumn, Columns };
    using Direction = vkv::midi::MidiTap::Direction;
    using MessageKind = vkv::midi::MessageKind;
    static constexpr int Kinds = static_cast<int>(MessageKind::Stray) + 1;

    // `kinds`: the SysEx messages to name; times count from `origin`.
    explicit MonitorModel(std::vector<vkv::midi::SysExKind> kinds,
                          vkv::midi::MidiTap::Clock::time_point origin, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // One batch from the tap; `missed`: entries the tap dropped at its cap before these.
    void add(std::vector<vkv::midi::TapQueue::Entry> entries, std::size_t missed = 0);
    // A line of the program's own (what a recall did) as a row of its own after what the tap gave
    // so far, with no direction, port or bytes; not kept while paused.
    void note(const QString &text, vkv::midi::MidiTap::Clock::time_point at);
    // Takes every row and count away.
    void clear();

    void setPaused(bool paused);
    bool paused() const { return paused_; }
    void setShown(Direction direction, bool shown);
    void setShown(MessageKind kind, bool shown);
    bool shown(Direction direction) const;
    bool shown(MessageKind kind) const { return kindShown[static_cast<std::size_t>(kind)]; }

    // A row's cells, a tab between two, as they show.
    QString rowText(int row) const;
    // What came and what of it is not in the rows, for the window's status line.
    QString statusText() const;
    std::size_t droppedRows() const { return dropped; }
    // Every message that reached the monitor since it was cleared, shown or not.
    std::size_t messagesSeen() const { return seen; }

private:
    struct Row {
        // What the texts are made of.
        enum class Form {
            Message, // `raw` holds it
            SysEx,   // a whole SysEx in one piece: `raw` holds it
            Growing, // the pieces of a SysEx: `raw` holds its first bytes
            Broken,  // a SysEx of `size` bytes whose end was lost
            EndLost, // word of a broken SysEx whose start was not seen
            Note,    // a line of the program's own: `words` holds it
        };
        std::int64_t ms = 0;
        Direction direction = Direction::In;
        QString port;
        QString bytes;
        QString words;
        Form form = Form::Message;
        std::vector<unsigned char> raw;
        std::size_t size = 0;
        unsigned char last = 0;
        int pieces = 0;
        double seconds = 0;
        bool startSeen = true;
        bool ended = false;
        bool pausedHere = false;
        bool stale = true; // the texts are still to be made
    };
    // A SysEx whose end has not come: its row grows with each piece.
    struct OpenSysEx {
        Direction direction = Direction::In;
        std::string port;
        std::uint64_t serial = 0;        // its row's
        std::vector<unsigned char> head; // its first bytes, for the hex and its kind
        unsigned char last = 0;
        std::size_t size = 0;
        int pieces = 0;
        bool startSeen = true;
        vkv::midi::MidiTap::Clock::time_point first, latest;
    };

    // Whether the entry makes a row of its own whatever came before it: a message let through.
    bool makesRow(const vkv::midi::TapQueue::Entry &entry) const;
    static MessageKind kindOf(const vkv::midi::TapQueue::Entry &entry);
    void dropAllRows();
    void take(vkv::midi::TapQueue::Entry &entry);
    void takeSysEx(vkv::midi::TapQueue::Entry &entry);
    // The row with that serial, kept or still to insert, marked as changed by this batch; nullptr
    // when it went.
    Row *rowToChange(std::uint64_t serial);
    Row &newRow(const vkv::midi::TapQueue::Entry &entry);
    // Puts this batch's new rows at the end, the oldest rows going past MaxRows.
    void insertIncoming();
    OpenSysEx *openSysEx(Direction direction, const std::string &port);
    void showOpen(const OpenSysEx &open, bool ended);
    // Makes the texts of a row whose texts are stale.
    void word(Row &row) const;
    void endBroken(OpenSysEx &open);
    void forget(const OpenSysEx &open);

    std::vector<vkv::midi::SysExKind> sysExKinds;
    vkv::midi::MidiTap::Clock::time_point origin;
    std::deque<Row> rows;
    std::vector<Row> incoming;            // this batch's new rows, inserted at its end
    std::uint64_t firstSerial = 0;        // rows.front()'s
    int changedFrom = -1, changedTo = -1; // kept rows a batch changed
    std::vector<OpenSysEx> open;
    bool unmade = false; // rows of entries now being taken would be dropped: none are made
    Row scratch;         // what such a row's maker writes into
    std::string lastPort;
    QString lastPortText;
    bool paused_ = false;
    bool inShown = true, outShown = true;
    std::array<bool, Kinds> kindShown{};
    std::size_t seen = 0, filtered = 0, notShownPaused = 0, dropped = 0, missed = 0;
};

} // namespace vkv::monitor
