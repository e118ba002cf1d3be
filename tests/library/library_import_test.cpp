// Import into the library: every dump below a folder, .syx files' and MIDI files', and the rest
// listed with their reasons.
// Real files in temporary folders, a real SQLite index.
#include "LibraryFixture.h"
#include "MidiFileBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

#include <unistd.h>

using namespace libraryfixture;

TEST_F(LibraryTest, ImportTakesEveryDumpBelowAFolderAndListsTheRestWithTheirReasons) {
    QTemporaryDir from;
    const auto put = [&](const QString &file, const QByteArray &bytes) {
        QDir().mkpath(QFileInfo(from.filePath(file)).absolutePath());
        QFile f(from.filePath(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    put("Gig.syx", bytesOf(defaults()));
    put("songs/2026/Ballad.SYX", bytesOf(withRecords({{true, 0, 0xB0, 1}})));
    put("songs/Set: late.syx", bytesOf(withRecords({{true, 0, 0xB0, 2}})));
    put("notes.txt", "ten bytes.");
    put("songs/long.syx", bytesOf(defaults()) + "x");
    QByteArray foreign = bytesOf(defaults());
    foreign[4] = 0x43;
    put("other box.syx", foreign);
    // Names that would make no name, or a refused one, as they are.
    put("blank/ .syx", bytesOf(withRecords({{true, 0, 0xB0, 3}})));
    put("blank/..syx", bytesOf(withRecords({{true, 0, 0xB0, 4}})));
    put("CON.syx", bytesOf(withRecords({{true, 0, 0xB0, 5}})));
    put("Cafe\u0301.syx", bytesOf(withRecords({{true, 0, 0xB0, 6}})));
    // Links are passed over, and so is a name that is no UTF-8.
    ASSERT_TRUE(QFile::link(from.filePath("Gig.syx"), from.filePath("link.syx")));
    ASSERT_TRUE(QFile::link(from.filePath("songs"), from.filePath("more songs")));
    const QByteArray latin1 = QFile::encodeName(from.path()) + "/Ni\xf1o.syx";
    {
        QFile f;
        ASSERT_TRUE(f.open(::fopen(latin1.constData(), "w"), QIODevice::WriteOnly,
                           QFileDevice::AutoCloseHandle));
        f.write(bytesOf(withRecords({{true, 0, 0xB0, 7}})));
    }

    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(defaults(), "Gig")); // the same name and records: there already
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 8}}), "Caf\u00e9"));
    const Library::Imported imported = library.importFolder(from.path());
    EXPECT_EQ(imported.added, 6);
    EXPECT_EQ(imported.already, QStringList{"Gig.syx"});
    QStringList refused;
    for (const auto &r : imported.refused)
        refused << r.file + ": " + r.why;
    refused.sort();
    EXPECT_EQ(refused,
              (QStringList{"Ni\ufffdo.syx: its name is not UTF-8", "link.syx: a link; not followed",
                           "more songs: a link; not followed",
                           "notes.txt: it is 10 bytes long; a configuration dump is 1543",
                           "other box.syx: it does not begin as this box's configuration dump "
                           "(F0 00 00 7E 42 02)",
                           "songs/long.syx: it is longer than a configuration dump (1543 bytes)"}));
    EXPECT_EQ(titles(library.entries()),
              (QStringList{"Ballad", "CON-", "Caf\u00e9", "Caf\u00e9 (2)", "Gig", "Imported",
                           "Imported (2)", "Set- late"}));
    ::unlink(latin1.constData()); // QTemporaryDir cannot name it
}

TEST_F(LibraryTest, ImportTakesEveryDumpAMidiFileHoldsAndListsTheFilesWithNone) {
    const QByteArray gig = bytesOf(withRecords({{true, 0, 0xB0, 1}}));
    const QByteArray ballad = bytesOf(withRecords({{true, 0, 0xB0, 2}}));
    const QByteArray request("\xF0\x00\x00\x7E\x42\x01\xF7", 7);
    const QByteArray F0("\xF0", 1), F7("\xF7", 1), clock("\xF8", 1);
    struct Named {
        QString name;
        QByteArray dump;
    };
    const struct {
        QString file;
        QByteArray bytes;
        std::vector<Named> entries;
        QString why; // when it has none
    } cases[] = {
        {"Song.mid", midiFile({MidiTrack().sized(0, F0, gig.mid(1)).end()}), {{"Song", gig}}, ""},
        // Two dumps, one of them in parts with a clock between them, and a request.
        {"Set.MIDI",
         midiFile({MidiTrack()
                       .sized(0, F0, request.mid(1))
                       .sized(0, F0, gig.mid(1, 99))
                       .sized(10, F7, clock)
                       .sized(5, F7, gig.mid(100))
                       .end(),
                   MidiTrack().sized(0, F0, ballad.mid(1)).end()},
                  1),
         {{"Set 1", gig}, {"Set 2", ballad}},
         ""},
        // A MIDI file by its content whatever its name.
        {"Intro.syx",
         midiFile({MidiTrack().sized(0, F0, ballad.mid(1)).end()}),
         {{"Intro", ballad}},
         ""},
        {"notes.mid",
         midiFile({MidiTrack().raw(0, QByteArray("\x90\x3C\x40", 3)).end()}),
         {},
         "it holds no configuration dump"},
        {"request.mid",
         midiFile({MidiTrack().sized(0, F0, request.mid(1)).end()}),
         {},
         "it holds no configuration dump (1 SysEx message of another kind)"},
        {"cut.mid",
         midiFile({MidiTrack().sized(0, F0, gig.mid(1)).end()}).left(1000),
         {},
         "it holds no configuration dump (track 1: a SysEx of 975 bytes was not finished where "
         "the track broke off; track 1: it ends in the middle of an event)"},
        {"damaged.mid", gig, {}, "it is no MIDI file"},
    };
    QTemporaryDir from;
    for (const auto &c : cases) {
        QFile f(from.filePath(c.file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
    }

    Library library;
    ASSERT_TRUE(library.open(folder()));
    const Library::Imported imported = library.importFolder(from.path());
    EXPECT_EQ(imported.added, 4);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        for (const Named &named : c.entries) {
            const auto entry = find(library, named.name);
            ASSERT_TRUE(entry) << named.name.toStdString();
            EXPECT_EQ(bytesOf(*library.read(*entry)), named.dump);
        }
        const auto refused =
            std::find_if(imported.refused.begin(), imported.refused.end(),
                         [&](const Library::Refused &r) { return r.file == c.file; });
        if (c.why.isEmpty()) {
            EXPECT_EQ(refused, imported.refused.end());
        } else {
            ASSERT_NE(refused, imported.refused.end());
            EXPECT_TRUE(refused->why.startsWith(c.why)) << refused->why.toStdString();
        }
    }
    EXPECT_EQ(imported.refused.size(), 4u);

    // Imported again, each dump is there already under its name.
    const Library::Imported again = library.importFolder(from.path());
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.already, (QStringList{"Intro.syx", "Set.MIDI", "Set.MIDI", "Song.mid"}));
}
