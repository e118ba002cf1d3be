// The library's index and its copies: an index missing or damaged is made anew with notes, tags
// and history from its copy, and one of the former version, or a copy of it, is brought up to
// date. Real files in a temporary folder, real SQLite files.
#include "DumpFile.h"
#include "LibraryFixture.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace libraryfixture;
using vkv::library::DumpFile;

TEST_F(LibraryTest, AMissingOrDamagedIndexIsMadeAnewWithNotesTagsAndHistoryFromItsCopy) {
    {
        Library library;
        ASSERT_TRUE(library.open(folder()));
        ASSERT_TRUE(library.add(defaults(), "Gig"));
        ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 9}}), "Studio"));
        ASSERT_TRUE(library.setNotes(*library.named("Gig"), "for the Friday set"));
        ASSERT_TRUE(library.setTags(*library.named("Studio"), {"rack", "live"}));
        ASSERT_TRUE(library.setFavourite(*library.named("Studio"), true));
        ASSERT_TRUE(library.capture({QDateTime::currentDateTimeUtc(), Library::Direction::Received,
                                     "box:out", defaults(), 1543}));
    } // its copy is written as it closes, at the latest
    const QString index = folder() + "/index/library.sqlite";
    const auto checkBack = [&](const char *said) {
        Library library;
        ASSERT_TRUE(library.open(folder())) << library.error().toStdString();
        const QStringList notices = library.takeNotices();
        ASSERT_EQ(notices.size(), 1);
        EXPECT_TRUE(notices[0].contains(said)) << notices[0].toStdString();
        EXPECT_TRUE(notices[0].contains("from the 2 configurations of the folder; notes, tags and "
                                        "history came back from its copy of"))
            << notices[0].toStdString();
        EXPECT_EQ(library.named("Gig")->notes, "for the Friday set");
        EXPECT_EQ(library.named("Studio")->tags, (QStringList{"rack", "live"}));
        EXPECT_TRUE(library.named("Studio")->favourite);
        ASSERT_EQ(library.history().size(), 1u);
        EXPECT_EQ(library.history()[0].text(), "received from box:out");
    };
    for (const char *ending : {"", "-wal", "-shm"})
        QFile::remove(index + ending);
    checkBack("The library's index was not there and was made anew");

    for (const char *ending : {"-wal", "-shm"})
        QFile::remove(index + ending);
    QFile junk(index);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    checkBack("The library's index was damaged");
    // The damaged one is kept aside, never deleted.
    EXPECT_EQ(QDir(folder() + "/index").entryList({"library.sqlite.damaged-*"}).size(), 1);
}

TEST_F(LibraryTest, AnIndexOfTheFormerVersionIsBroughtUpToDateAndSoAreItsCopies) {
    ASSERT_TRUE(QDir().mkpath(folder() + "/index"));
    ASSERT_TRUE(DumpFile::write(folder() + "/Gig.syx", defaults(), false, false));
    const auto former = [&](const QString &path, bool copy) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "former");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        const QString entries = copy ? "CREATE TABLE entries(file, key, state, notes, tags, "
                                       "favourite)"
                                     : "CREATE TABLE entries(file TEXT PRIMARY KEY, key TEXT NOT "
                                       "NULL, size INTEGER NOT NULL DEFAULT 0, mtime INTEGER NOT "
                                       "NULL DEFAULT 0, state INTEGER NOT NULL DEFAULT 0, notes "
                                       "TEXT NOT NULL DEFAULT '', tags TEXT NOT NULL DEFAULT '', "
                                       "favourite INTEGER NOT NULL DEFAULT 0)";
        for (const QString &sql :
             {entries,
              QString("CREATE TABLE events(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, "
                      "direction INTEGER NOT NULL, port TEXT NOT NULL, key TEXT, bytes INTEGER "
                      "NOT NULL, verified INTEGER)"),
              QString("INSERT INTO entries(file, key, state, notes, tags, favourite) VALUES("
                      "'Gig.syx', '%1', 0, 'from before', 'live', 1)")
                  .arg(DumpFile::key(defaults())),
              QString("INSERT INTO events VALUES(1, 1000, 1, 'box:in', '%1', 1543, 1)")
                  .arg(DumpFile::key(defaults())),
              QString(copy ? "SELECT 1"
                           : "CREATE TABLE contents(key TEXT PRIMARY KEY, records BLOB NOT NULL)"),
              QString(copy ? "SELECT 1" : "PRAGMA user_version = 1")})
            ASSERT_TRUE(q.exec(sql)) << q.lastError().text().toStdString();
        q.finish();
        db.close();
    };
    former(folder() + "/index/library.sqlite", false);
    QSqlDatabase::removeDatabase("former");
    const auto check = [&] {
        Library library;
        ASSERT_TRUE(library.open(folder())) << library.error().toStdString();
        ASSERT_TRUE(library.named("Gig"));
        EXPECT_EQ(library.named("Gig")->notes, "from before");
        EXPECT_EQ(library.named("Gig")->tags, QStringList{"live"});
        ASSERT_EQ(library.history().size(), 1u);
        EXPECT_EQ(library.history()[0].text(), "sent to box:in, verified");
        EXPECT_FALSE(library.history()[0].test);
        // What the new version keeps works on it.
        ASSERT_TRUE(library.trash(*library.named("Gig")));
        ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 1}}), "Gig"));
        Library::Capture c{QDateTime::currentDateTimeUtc(), Library::Direction::Sent, "box:in",
                           withRecords({{true, 0, 0xB0, 2}}), 1543};
        c.test = true;
        ASSERT_TRUE(library.capture(c)) << library.error().toStdString();
    };
    check();
    // An index lost, with only a copy of the former version left.
    QDir(folder() + "/index").removeRecursively();
    QFile::remove(folder() + "/Gig.syx");
    ASSERT_TRUE(QDir().mkpath(folder() + "/index"));
    ASSERT_TRUE(DumpFile::write(folder() + "/Gig.syx", defaults(), false, false));
    former(folder() + "/index/copy-1.sqlite", true);
    QSqlDatabase::removeDatabase("former");
    check();
}
