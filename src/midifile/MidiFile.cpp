#include "MidiFile.h"

#include <algorithm>
#include <optional>

namespace vkv::midifile {

namespace {

constexpr std::uint8_t SysExStart = 0xF0;
constexpr std::uint8_t SysExEnd = 0xF7; // also the status of an event that continues a SysEx
constexpr std::uint8_t Meta = 0xFF;
constexpr std::uint8_t EndOfTrack = 0x2F;
constexpr std::uint8_t SetTempo = 0x51;
constexpr std::uint8_t FirstRealTime = 0xF8;

void putVariable(QByteArray &out, std::uint32_t value) {
    // Seven bits a byte, most significant first, each but the last with bit 7 set.
    char bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1)
        out.append(static_cast<char>(bytes[--n] | 0x80));
    out.append(bytes[0]);
}

void putBigEndian(QByteArray &out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xFF));
}

// The bytes of one track, read event by event.
class TrackReader {
public:
    TrackReader(QByteArrayView bytes, int number) : bytes(bytes), number(number) {}

    bool atEnd() const { return at >= bytes.size(); }
    std::optional<std::uint8_t> byte() {
        if (atEnd())
            return std::nullopt;
        return static_cast<std::uint8_t>(bytes[at++]);
    }
    std::optional<std::uint8_t> peek() const {
        if (atEnd())
            return std::nullopt;
        return static_cast<std::uint8_t>(bytes[at]);
    }
    // A variable-length quantity: at most four bytes, as the file format allows.
    std::optional<std::uint32_t> variable() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const auto b = byte();
            if (!b)
                return std::nullopt;
            value = value << 7 | (*b & 0x7F);
            if ((*b & 0x80) == 0)
                return value;
        }
        return std::nullopt;
    }
    // What is left of the track; the reader is then at its end.
    QByteArrayView rest() {
        const QByteArrayView left = bytes.sliced(at);
        at = bytes.size();
        return left;
    }
    // `length` bytes, or nothing when the track ends first.
    std::optional<QByteArrayView> take(std::uint32_t length) {
        if (length > static_cast<std::uint64_t>(bytes.size() - at))
            return std::nullopt;
        const QByteArrayView taken = bytes.sliced(at, length);
        at += length;
        return taken;
    }
    QString where() const { return QStringLiteral("track %1").arg(number); }

private:
    QByteArrayView bytes;
    qsizetype at = 0;
    int number;
};

// The SysEx message being put together from the parts of one track.
class SysExParts {
public:
    explicit SysExParts(MidiFile::Read &read, const QString &track) : read(read), track(track) {}

    bool open() const { return !parts.isEmpty(); }
    // An F0 event: `data` is what follows the F0.
    void start(QByteArrayView data) {
        drop(QStringLiteral("had no end (F7) before the next SysEx began"));
        parts.append(static_cast<char>(SysExStart));
        add(data);
    }
    // An F7 event: continues the open SysEx; with none open, bytes sent as they are, which start
    // a SysEx only when they begin with F0.
    void continueWith(QByteArrayView data) {
        if (!open()) {
            if (!data.isEmpty() && static_cast<std::uint8_t>(data[0]) == SysExStart)
                start(data.sliced(1));
            return;
        }
        if (data.size() == 1 && static_cast<std::uint8_t>(data[0]) >= FirstRealTime)
            return; // a real-time message between the parts
        add(data);
    }
    // The track broke off in the middle of an F0 or F7 event: what came of it is cut, never whole.
    void brokeOff(std::uint8_t status, QByteArrayView partial) {
        if (status == SysExStart) {
            start({});
            parts.append(partial);
        } else if (status == SysExEnd && open()) {
            parts.append(partial);
        }
    }
    void drop(const QString &why) {
        if (open())
            read.cut << QStringLiteral("%1: a SysEx of %2 bytes %3")
                            .arg(track)
                            .arg(parts.size())
                            .arg(why);
        parts.clear();
    }

private:
    void add(QByteArrayView data) {
        parts.append(data);
        if (!data.isEmpty() && static_cast<std::uint8_t>(data.back()) == SysExEnd) {
            read.sysex.push_back(parts);
            parts.clear();
        }
    }

    MidiFile::Read &read;
    QString track;
    QByteArray parts;
};

// Reads one track's events; false, with the read's error set, when it cannot go on.
bool readTrack(QByteArrayView bytes, int number, MidiFile::Read &read) {
    TrackReader track(bytes, number);
    SysExParts sysex(read, track.where());
    const auto fail = [&](const QString &why) {
        sysex.drop(QStringLiteral("was not finished where the track broke off"));
        read.error = track.where() + QStringLiteral(": ") + why;
        return false;
    };
    std::uint8_t running = 0; // the status a data byte in a status's place goes on with
    while (!track.atEnd()) {
        if (!track.variable())
            return fail(QStringLiteral("it ends in the middle of an event's time"));
        const auto first = track.peek();
        if (!first)
            return fail(QStringLiteral("it ends after an event's time"));
        if (*first < 0x80) {
            if (running == 0)
                return fail(QStringLiteral("a data byte stands where an event should begin"));
        } else {
            // A SysEx or meta event cancels running status by the book; some programs go on with
            // it after one, which is read as they meant it.
            track.byte();
        }
        const std::uint8_t status = *first < 0x80 ? running : *first;
        if (status < SysExStart) {
            const int length = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
            if (!track.take(static_cast<std::uint32_t>(length)))
                return fail(QStringLiteral("it ends in the middle of a channel message"));
            running = status;
            sysex.drop(QStringLiteral("was cut by a channel message"));
            continue;
        }
        std::uint8_t metaType = 0;
        if (status == Meta) {
            const auto type = track.byte();
            if (!type)
                return fail(QStringLiteral("it ends in the middle of a meta event"));
            metaType = *type;
        } else if (status != SysExStart && status != SysExEnd) {
            return fail(QStringLiteral("it holds the status byte %1, which a MIDI file has no "
                                       "event for")
                            .arg(QString::number(status, 16).toUpper()));
        }
        const auto length = track.variable();
        const auto data = length ? track.take(*length) : std::nullopt;
        if (!data) {
            if (length)
                sysex.brokeOff(status, track.rest());
            return fail(QStringLiteral("it ends in the middle of an event"));
        }
        if (status == SysExStart)
            sysex.start(*data);
        else if (status == SysExEnd)
            sysex.continueWith(*data);
        else if (metaType == EndOfTrack)
            break;
    }
    sysex.drop(QStringLiteral("was not finished when the track ended"));
    return true;
}

std::uint32_t bigEndian(QByteArrayView bytes, qsizetype at, int length) {
    std::uint32_t value = 0;
    for (int i = 0; i < length; ++i)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

} // namespace

QByteArray MidiFile::write(const std::vector<Piece> &pieces) {
    QByteArray track;
    putVariable(track, 0);
    track.append(static_cast<char>(Meta));
    track.append(static_cast<char>(SetTempo));
    putVariable(track, 3);
    putBigEndian(track, MicrosecondsPerBeat, 3);
    std::int64_t last = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece &piece = pieces[i];
        // To the nearest tick.
        const std::int64_t tick = std::max<std::int64_t>(
            last,
            (piece.microseconds * TicksPerBeat + MicrosecondsPerBeat / 2) / MicrosecondsPerBeat);
        putVariable(track,
                    static_cast<std::uint32_t>(std::min<std::int64_t>(tick - last, 0x0FFFFFFF)));
        last = tick;
        QByteArrayView data = piece.bytes;
        if (i == 0) {
            track.append(static_cast<char>(SysExStart));
            if (!data.isEmpty() && static_cast<std::uint8_t>(data[0]) == SysExStart)
                data = data.sliced(1);
        } else {
            track.append(static_cast<char>(SysExEnd));
        }
        putVariable(track, static_cast<std::uint32_t>(data.size()));
        track.append(data);
    }
    putVariable(track, 0);
    track.append(static_cast<char>(Meta));
    track.append(static_cast<char>(EndOfTrack));
    putVariable(track, 0);

    QByteArray file("MThd");
    putBigEndian(file, 6, 4);
    putBigEndian(file, 0, 2); // format 0: one track
    putBigEndian(file, 1, 2);
    putBigEndian(file, TicksPerBeat, 2);
    file.append("MTrk");
    putBigEndian(file, static_cast<std::uint32_t>(track.size()), 4);
    file.append(track);
    return file;
}

MidiFile::Read MidiFile::read(QByteArrayView file) {
    Read read;
    constexpr int ChunkHead = 8;
    if (file.size() < ChunkHead + 6 || file.first(4) != QByteArrayView("MThd")) {
        read.error = QStringLiteral("it is no MIDI file (it does not begin with a MIDI file's "
                                    "header)");
        return read;
    }
    qsizetype at = 0;
    int tracks = 0;
    while (at < file.size()) {
        if (file.size() - at < ChunkHead) {
            read.error = QStringLiteral("it ends in the middle of a chunk's head");
            return read;
        }
        const QByteArrayView type = file.sliced(at, 4);
        const std::uint32_t length = bigEndian(file, at + 4, 4);
        at += ChunkHead;
        const bool whole = length <= static_cast<std::uint64_t>(file.size() - at);
        const QByteArrayView body = file.sliced(at, whole ? length : file.size() - at);
        at += body.size();
        if (type == QByteArrayView("MTrk")) {
            if (!readTrack(body, ++tracks, read))
                return read;
            if (!whole) {
                read.error = QStringLiteral("track %1 is cut short").arg(tracks);
                return read;
            }
        }
    }
    return read;
}

} // namespace vkv::midifile
