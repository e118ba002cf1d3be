// The dump as a Standard MIDI File, without a window: written as the paced send's pieces at their
// times and read back byte for byte, and the files DAWs and other programs make read as they
// should: the dump in one event, split oddly, with running status and real-time messages between
// its parts, cut short, two dumps in one file.
#include "ConfigImage.h"
#include "MidiFile.h"
#include "MidiFileBuilder.h"
#include "MidiFileEvents.h"
#include "PacedSchedule.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

namespace vkv::midifile {

namespace {

QByteArray dumpOf(const image::DumpBytes &dump) {
    return QByteArray(reinterpret_cast<const char *>(dump.data()), image::DumpSize);
}

image::DumpBytes defaults() {
    image::ConfigImage image;
    EXPECT_TRUE(image::loadDefaultImage(image));
    return image.bytes();
}

const QByteArray F0("\xF0", 1), F7("\xF7", 1);

// The test's files, for the fuzz target's seeds: VKV_SEED_DIR=... test_midifile writes them.
void seed(const char *name, const QByteArray &bytes) {
    if (const char *dir = std::getenv("VKV_SEED_DIR")) {
        QFile out(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    }
}

} // namespace

TEST(MidiFile, TheDumpReadsBackByteForByteWithItsPiecesAtThePacedSendsTimes) {
    std::mt19937 random(40);
    std::uniform_int_distribution<int> byte(0, 127); // what a SysEx carries between F0 and F7
    for (const int speed : {2, 100, 1000}) {
        SCOPED_TRACE(speed);
        image::DumpBytes dump = defaults();
        for (int at = image::PotRecordsOffset; at < image::EndByteOffset; ++at)
            dump[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(byte(random));
        const QByteArray bytes = dumpOf(dump);
        const auto slices = transfer::PacedSchedule::of(speed);
        std::vector<MidiFile::Piece> pieces;
        for (const auto &slice : slices)
            pieces.push_back({slice.microseconds, bytes.mid(slice.offset, slice.length)});
        const QByteArray written = MidiFile::write(pieces);
        seed(qPrintable(QStringLiteral("written-%1.mid").arg(speed)), written);

        const MidiFile::Read read = MidiFile::read(written);
        EXPECT_EQ(read.error, "");
        EXPECT_TRUE(read.cut.isEmpty()) << read.cut.join('\n').toStdString();
        ASSERT_EQ(read.sysex.size(), 1u);
        EXPECT_EQ(read.sysex[0], bytes);

        // Format 0, one track: the tempo, an F0 event, F7 events, the end; a tick a millisecond.
        EXPECT_EQ(written.left(14), QByteArray("MThd\0\0\0\x06\0\0\0\x01\x01\xF4", 14));
        int division = 0;
        const std::vector<MidiFileEvent> list = midiFileEvents(written, &division);
        ASSERT_EQ(list.size(), slices.size() + 2);
        EXPECT_EQ(list.front().status, 0xFF);
        EXPECT_EQ(list.front().data, QByteArray("\x51\x07\xA1\x20", 4)); // 500000 µs a beat
        const double msPerTick = 500.0 / division;
        for (std::size_t k = 0; k < slices.size(); ++k) {
            const MidiFileEvent &e = list[k + 1];
            EXPECT_DOUBLE_EQ(static_cast<double>(e.tick) * msPerTick,
                             static_cast<double>(slices[k].microseconds) / 1000)
                << k;
            EXPECT_EQ(e.status, k == 0 ? 0xF0 : 0xF7) << k;
            EXPECT_EQ((k == 0 ? F0 : QByteArray()) + e.data,
                      bytes.mid(slices[k].offset, slices[k].length))
                << k;
        }
        EXPECT_EQ(list.back().status, 0xFF);
        EXPECT_EQ(list.back().data, QByteArray("\x2F", 1));
        EXPECT_EQ(list.back().tick, list[list.size() - 2].tick);
    }
}

TEST(MidiFile, ReadsTheFilesOtherProgramsWrite) {
    const QByteArray dump = dumpOf(defaults());
    QByteArray other = dump;
    other[10] = 0x55;
    const QByteArray request = QByteArray("\xF0\x00\x00\x7E\x42\x01\xF7", 7);
    const QByteArray note = QByteArray("\x90\x3C\x40", 3);
    const QByteArray clock("\xF8", 1);
    const struct {
        const char *name;
        QByteArray bytes;
        std::vector<QByteArray> sysex;
        int cut;
        const char *error; // a part of it; "" for none
    } cases[] = {
        {"one-event", midiFile({MidiTrack().sized(0, F0, dump.mid(1)).end()}), {dump}, 0, ""},
        {"split-oddly",
         midiFile({MidiTrack()
                       .sized(0, F0, dump.mid(1, 1))
                       .sized(10, F7, dump.mid(2, 700))
                       .sized(1000, F7, dump.mid(702, 1))
                       .sized(0, F7, dump.mid(703))
                       .end()}),
         {dump},
         0,
         ""},
        {"running-status-and-real-time-between",
         midiFile({MidiTrack()
                       .raw(0, note)
                       .raw(5, QByteArray("\x3E\x40", 2)) // running status
                       .raw(5, QByteArray("\x3C\x00", 2))
                       .sized(0, QByteArray("\xFF\x01", 2), "dump follows")
                       .sized(0, F0, dump.mid(1, 500))
                       .sized(3, F7, clock)
                       .sized(1, F7, dump.mid(501, 500))
                       .sized(0, QByteArray("\xFF\x06", 2), "marker")
                       .sized(2, F7, QByteArray("\xFE", 1))
                       .sized(1, F7, dump.mid(1001))
                       .raw(5, QByteArray("\xB0\x07\x64", 3))
                       .raw(0, QByteArray("\x0A\x40", 2)) // running status
                       .end()}),
         {dump},
         0,
         ""},
        {"two-dumps-and-a-request",
         midiFile({MidiTrack().sized(0, F0, request.mid(1)).sized(0, F0, dump.mid(1)).end(),
                   MidiTrack().sized(0, F0, other.mid(1, 99)).sized(50, F7, other.mid(100)).end()},
                  1),
         {request, dump, other},
         0,
         ""},
        {"second-track-as-an-escape",
         midiFile(
             {MidiTrack().sized(0, QByteArray("\xFF\x51", 2), QByteArray("\x07\xA1\x20", 3)).end(),
              MidiTrack().sized(0, F7, dump).end()},
             1),
         {dump},
         0,
         ""},
        {"cut-short",
         midiFile({MidiTrack().sized(0, F0, dump.mid(1)).end()}).left(1000),
         {},
         1,
         "track 1: it ends in the middle of an event"},
        {"a-note-between-the-parts",
         midiFile({MidiTrack()
                       .sized(0, F0, dump.mid(1, 500))
                       .raw(1, note)
                       .sized(1, F7, dump.mid(501))
                       .sized(0, F0, dump.mid(1))
                       .end()}),
         {dump},
         1,
         ""},
        {"unfinished-at-the-end",
         midiFile({MidiTrack().sized(0, F0, dump.mid(1, 800)).end()}),
         {},
         1,
         ""},
        {"no-end-of-track", midiFile({MidiTrack().sized(0, F0, dump.mid(1))}), {dump}, 0, ""},
        {"no-midi-file", dump, {}, 0, "it is no MIDI file"},
        {"a-stray-data-byte",
         midiFile({MidiTrack().raw(0, QByteArray("\x40\x40", 2)).end()}),
         {},
         0,
         "track 1: a data byte stands where an event should begin"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        seed((QByteArray(c.name) + ".mid").constData(), c.bytes);
        const MidiFile::Read read = MidiFile::read(c.bytes);
        EXPECT_EQ(read.sysex, c.sysex);
        EXPECT_EQ(read.cut.size(), c.cut) << read.cut.join('\n').toStdString();
        if (*c.error == 0)
            EXPECT_EQ(read.error, "");
        else
            EXPECT_TRUE(read.error.contains(QString::fromLatin1(c.error)))
                << read.error.toStdString();
    }
}

} // namespace vkv::midifile
