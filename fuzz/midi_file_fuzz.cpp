// The MIDI file reader: any bytes, as a .mid file the library's import reads. It must say what
// it could not read rather than fail, give only whole SysEx messages (F0 to F7), and a message it
// gives, written as the pieces of a paced send, must read back as that one message.
#include "FuzzSupport.h"
#include "MidiFile.h"

#include <vector>

using vkv::midifile::MidiFile;

namespace {

// The message in the pieces a paced send makes of a dump: the first 6 bytes, then 3 at a time,
// the last 4 to 6 together; each a few milliseconds after the one before.
std::vector<MidiFile::Piece> pieces(const QByteArray &message) {
    std::vector<MidiFile::Piece> list;
    qsizetype at = 0;
    std::int64_t time = 0;
    while (at < message.size()) {
        const qsizetype left = message.size() - at;
        const qsizetype length = at == 0 ? std::min<qsizetype>(6, left) : left > 6 ? 3 : left;
        list.push_back({time, message.mid(at, length)});
        at += length;
        time += 30000;
    }
    return list;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const MidiFile::Read read = MidiFile::read(QByteArrayView(data, static_cast<qsizetype>(size)));
    for (const QByteArray &message : read.sysex) {
        fuzz::check(message.size() >= 2 && static_cast<std::uint8_t>(message.front()) == 0xF0 &&
                        static_cast<std::uint8_t>(message.back()) == 0xF7,
                    "every message read is a whole SysEx, F0 to F7");
        fuzz::check(message.size() <= static_cast<qsizetype>(size) + 1,
                    "no message is longer than the file that held it");
        // An F7 inside would end it early wherever it was read from.
        if (message.indexOf('\xF7') != message.size() - 1)
            continue;
        const MidiFile::Read again = MidiFile::read(MidiFile::write(pieces(message)));
        fuzz::check(again.error.isEmpty() && again.cut.isEmpty() && again.sysex.size() == 1 &&
                        again.sysex.front() == message,
                    "a message read, written as a paced send's pieces, reads back the same");
    }
    for (const QString &cut : read.cut)
        fuzz::check(cut.startsWith(QStringLiteral("track ")), "every cut message names its track");
    return 0;
}
