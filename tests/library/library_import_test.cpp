// Import into the library: every dump below a folder, and the rest listed with their reasons.
// Real files in temporary folders, a real SQLite index.
#include "LibraryFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
