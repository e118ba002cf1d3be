// The configuration for other hands from the command line, as a child process with no display:
// --sheet prints it as a PDF, read back with poppler's tools; --export-mid writes it as a MIDI
// file, read back byte for byte with its pieces at the paced send's times, which --library-add
// takes back, as it takes every dump of a MIDI file a DAW wrote.
#include "ChildProgram.h"
#include "ConfigImage.h"
#include "MidiFile.h"
#include "MidiFileBuilder.h"
#include "MidiFileEvents.h"
#include "PacedSchedule.h"
#include "Poppler.h"
#include "RecordId.h"
#include "RecordWords.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using vkv::image::ConfigImage;
using vkv::records::RecordId;
using vkv::records::RecordWords;

ChildRun run(const QStringList &arguments) {
    return runChild(QStringLiteral(VKV_PROGRAM), arguments, headlessEnvironment(), 30000);
}

// A configuration in which nearly every record sends something of its own, of every event type,
// with ranges, values and modes of every kind.
ConfigImage varied() {
    ConfigImage image = defaultImage();
    for (int p = 0; p < vkv::image::PotCount; ++p) {
        image.setPot(p, vkv::image::PotStatus, 0x90 + 16 * (p % 7) + p / 16);
        image.setPot(p, vkv::image::PotByte1, p % 128);
        image.setPot(p, vkv::image::PotMin, p % 3 == 0 ? p % 50 : 0);
        image.setPot(p, vkv::image::PotMax, p % 5 == 0 ? 60 + p % 60 : 127);
    }
    for (int b = 0; b < vkv::image::ButtonCount; ++b) {
        image.setButton(b, vkv::image::ButtonStatus, 0x90 + 16 * (b % 7) + b % 16);
        image.setButton(b, vkv::image::ButtonByte1, 127 - b);
        image.setButton(b, vkv::image::ButtonByte2, b);
        image.setButton(b, vkv::image::ButtonMode, b % 3);
    }
    return image;
}

} // namespace

TEST(SheetCommand, FourPagesWhoseTextHoldsEveryBanksWordsNoneSmallerThanSevenPoints) {
    QTemporaryDir dir;
    const ConfigImage image = varied();
    const QString syx = dir.filePath("live.syx");
    writeFile(syx, fileBytes(image));
    for (const char *page : {"a4", "letter"}) {
        SCOPED_TRACE(page);
        const QString pdf = dir.filePath(QStringLiteral("live-%1.pdf").arg(page));
        const ChildRun r = run({"--sheet", syx, pdf, "--heading", "Live set 2026", "--page", page});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out + r.err, "");

        const QString info = poppler("pdfinfo", {pdf});
        EXPECT_TRUE(info.contains(QRegularExpression("Pages: +4\n"))) << info.toStdString();
        EXPECT_TRUE(info.contains(QRegularExpression(
            QString("Page size: +%1 pts").arg(*page == 'a' ? "842 x 595" : "792 x 612"))))
            << info.toStdString();
        for (int number = 1; number <= 4; ++number) {
            const QString text = poppler("pdftotext", {"-layout", "-f", QString::number(number),
                                                       "-l", QString::number(number), pdf, "-"});
            EXPECT_TRUE(text.contains("Live set 2026")) << number;
            EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of 4").arg(number)));
            EXPECT_FALSE(text.contains(QStringLiteral("…"))) << "nothing shortened";
            for (int bank = 4 * number - 3; bank <= 4 * number; ++bank) {
                EXPECT_TRUE(text.contains(QStringLiteral("Bank %1").arg(bank)));
                // Each record's words on its page, in the order the banks show them.
                const auto find = [&](RecordId record, const QString &words, qsizetype &from) {
                    const qsizetype at = text.indexOf(words, from);
                    EXPECT_GE(at, 0)
                        << RecordWords::name(record).toStdString() << ": " << words.toStdString();
                    if (at >= 0)
                        from = at;
                };
                qsizetype from = text.indexOf(QStringLiteral("Bank %1").arg(bank));
                for (int k = 0; k < 16; ++k) {
                    const RecordId pot{true, vkv::image::potFromBank(bank, k + 1)};
                    const auto bytes = RecordWords::bytes(image, pot);
                    find(pot, RecordWords::brief(bytes), from);
                }
                // The buttons' words on a line, their values and modes on the next.
                for (const bool second : {false, true}) {
                    for (int k = 0; k < 8; ++k) {
                        const RecordId button{false, vkv::image::buttonFromBank(bank, k + 1)};
                        const auto bytes = RecordWords::bytes(image, button);
                        const QString mode =
                            RecordWords::text(bytes, button, RecordWords::Column::Mode);
                        const QString value = RecordWords::buttonValue(bytes);
                        find(button,
                             !second           ? RecordWords::brief(bytes)
                             : value.isEmpty() ? mode
                                               : value + ", " + mode,
                             from);
                    }
                }
                for (int k = 0; k < 16; ++k) {
                    const auto bytes =
                        RecordWords::bytes(image, {true, vkv::image::potFromBank(bank, k + 1)});
                    if (!RecordWords::range(bytes).isEmpty()) {
                        EXPECT_TRUE(text.contains(RecordWords::range(bytes)));
                    }
                }
            }
        }
        // Every word's box is at least as tall as a 7-point line of the sheet's type (its
        // ascent and descent come to 1.16 of its size).
        const QString boxes = poppler("pdftotext", {"-bbox", pdf, "-"});
        const QRegularExpression word(R"re(yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)")re");
        double smallest = 1000;
        int words = 0;
        for (auto it = word.globalMatch(boxes); it.hasNext(); ++words) {
            const auto m = it.next();
            smallest = std::min(smallest, m.captured(2).toDouble() - m.captured(1).toDouble());
        }
        EXPECT_GT(words, 4 * 24 * 16);
        EXPECT_GE(smallest / 1.16, 7.0 - 0.05);
    }
}

TEST(SheetCommand, SaysWhatFailedAndWritesNothing) {
    QTemporaryDir dir;
    const QString syx = dir.filePath("a.syx"), pdf = dir.filePath("a.pdf");
    writeFile(syx, fileBytes(defaultImage()));
    const struct {
        QStringList arguments;
        int code;
        const char *says;
    } cases[] = {
        {{"--sheet", dir.filePath("none.syx"), pdf}, 1, "none.syx: "},
        {{"--sheet", syx, dir.filePath("no/folder/a.pdf")}, 1, "cannot write "},
        {{"--sheet", syx, pdf, "--page", "a5"}, 1, "--page takes a4 or letter, not \"a5\"."},
        {{"--sheet", syx}, 1, "--sheet needs two file names"},
        {{"--sheet", syx, pdf, "--speed", "100"}, 1, "--speed goes only with --send, --serve and"},
        {{"--export-mid", syx, pdf, "--heading", "x"}, 1, "--heading goes only with --sheet."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const ChildRun r = run(c.arguments);
        EXPECT_EQ(r.code, c.code);
        EXPECT_TRUE(r.err.startsWith("vkvela: ") && r.err.contains(c.says)) << r.err.toStdString();
        EXPECT_FALSE(QFile::exists(pdf));
    }
}

TEST(ExportMidCommand, TheFileSendsTheFramedDumpAtTheSpeedGiven) {
    QTemporaryDir dir;
    ConfigImage image = varied();
    image.raw()[4] = 0x43; // another box's header: framed on the way out, as a send frames it
    const QString syx = dir.filePath("live.syx"), mid = dir.filePath("live.mid");
    writeFile(syx, fileBytes(image));
    image.frame();
    for (const int speed : {0, 2, 1000}) {
        SCOPED_TRACE(speed);
        QStringList arguments{"--export-mid", syx, mid};
        if (speed != 0)
            arguments << "--speed" << QString::number(speed);
        const ChildRun r = run(arguments);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out + r.err, "");

        const QByteArray written = readFile(mid);
        const auto read = vkv::midifile::MidiFile::read(written);
        ASSERT_EQ(read.sysex.size(), 1u);
        EXPECT_EQ(read.sysex[0], fileBytes(image));
        int division = 0;
        const auto events = midiFileEvents(written, &division);
        const auto slices = vkv::transfer::PacedSchedule::of(speed == 0 ? 100 : speed);
        ASSERT_EQ(events.size(), slices.size() + 2);
        for (std::size_t k = 0; k < slices.size(); ++k)
            EXPECT_EQ(events[k + 1].tick * 500000 / division, slices[k].microseconds) << k;
    }
    const ChildRun bad = run({"--export-mid", syx, mid, "--speed", "1"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_TRUE(bad.err.contains("--speed must be a whole number from 2 to 1000, not \"1\"."));
}

TEST(LibraryAddCommand, TakesEveryDumpOfAMidiFileAndSaysWhyOneWithNoneWasNotAdded) {
    QTemporaryDir dir;
    const QString library = dir.filePath("library");
    const auto lib = [&](QStringList arguments) {
        return run(arguments << "--library" << library);
    };
    const ConfigImage image = varied();
    const QString syx = dir.filePath("live.syx"), written = dir.filePath("Live set.mid");
    writeFile(syx, fileBytes(image));
    ASSERT_EQ(run({"--export-mid", syx, written}).code, 0);
    const QByteArray a = fileBytes(image), b = fileBytes(defaultImage());
    const QByteArray F0("\xF0", 1), F7("\xF7", 1);
    writeFile(dir.filePath("song.mid"), midiFile({MidiTrack()
                                                      .sized(0, F0, a.mid(1, 700))
                                                      .sized(0, F7, QByteArray("\xFE", 1))
                                                      .sized(9, F7, a.mid(701))
                                                      .sized(500, F0, b.mid(1))
                                                      .end()}));
    writeFile(dir.filePath("notes.mid"),
              midiFile({MidiTrack().raw(0, QByteArray("\x90\x3C\x40", 3)).end()}));

    const ChildRun added = lib({"--library-add", written, dir.filePath("notes.mid")});
    EXPECT_EQ(added.code, 1);
    EXPECT_EQ(added.err, "vkvela: " + dir.filePath("notes.mid") +
                             ": it holds no configuration dump; it was not added.\n");
    const ChildRun named = lib({"--library-add", dir.filePath("song.mid"), "--name", "Set"});
    EXPECT_EQ(named.code, 0) << named.err.toStdString();
    EXPECT_EQ(named.out + named.err, "");

    const ChildRun listed = lib({"--library-list"});
    QStringList names;
    for (const QString &line : listed.out.split(u'\n', Qt::SkipEmptyParts))
        names << line.section(u'\t', 0, 0);
    EXPECT_EQ(names, (QStringList{"Live set", "Set 1", "Set 2"}));
    for (const auto &[name, bytes] : {std::pair{"Live set", a}, {"Set 1", a}, {"Set 2", b}}) {
        SCOPED_TRACE(name);
        const QString out = dir.filePath("out.syx");
        ASSERT_EQ(lib({"--library-get", name, out}).code, 0);
        EXPECT_EQ(readFile(out), bytes);
    }
}
