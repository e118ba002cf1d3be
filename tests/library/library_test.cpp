// The library of configurations without a window: named configurations as plain files, captures,
// the index made anew from the folder, files changed behind its back, the search, import, the
// trash, and two programs writing at once. Real files in a temporary folder, a real SQLite index.
#include "CaptureWriter.h"
#include "DumpFile.h"
#include "EntryName.h"
#include "Library.h"
#include "LibraryQuery.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <unistd.h>

inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using vkv::image::DumpBytes;
using vkv::library::DumpFile;
using vkv::library::Library;
using vkv::library::LibraryQuery;

DumpBytes defaults() {
    vkv::image::ConfigImage image;
    EXPECT_TRUE(vkv::image::loadDefaultImage(image));
    return image.bytes();
}

// The defaults with pot or button records set: {pot?, id, status, byte 1}.
struct Record {
    bool pot;
    int id, status, byte1;
};
DumpBytes withRecords(std::initializer_list<Record> records) {
    DumpBytes dump = defaults();
    for (const Record &r : records) {
        const int at = r.pot ? vkv::image::potOffset(r.id) : vkv::image::buttonOffset(r.id);
        dump[at] = vkv::image::storeStatus(r.status);
        dump[at + 1] = static_cast<std::uint8_t>(r.byte1);
    }
    return dump;
}

QByteArray bytesOf(const DumpBytes &dump) {
    return QByteArray(reinterpret_cast<const char *>(dump.data()), vkv::image::DumpSize);
}

std::optional<Library::Entry> find(Library &library, const QString &title) {
    for (const Library::Entry &entry : library.entries())
        if (entry.title() == title)
            return entry;
    return std::nullopt;
}

QStringList titles(const std::vector<Library::Entry> &entries) {
    QStringList list;
    for (const auto &entry : entries)
        list << entry.title();
    list.sort();
    return list;
}

class LibraryTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder() const { return dir.path() + "/library"; }
    QStringList files(const QString &sub = {}) const {
        return QDir(folder() + "/" + sub).entryList(QDir::Files);
    }
};

} // namespace

TEST_F(LibraryTest, NamedConfigurationsArePlainFilesAndTheSameRecordsAreShownNotDropped) {
    Library library;
    ASSERT_TRUE(library.open(folder())) << library.error().toStdString();
    DumpBytes dump = withRecords({{true, 18, 0xBF, 74}});
    dump[4] = 0x43; // a dump taken in with another header is kept framed
    ASSERT_TRUE(library.add(dump, "Live set 2026"));
    ASSERT_TRUE(library.add(withRecords({{true, 18, 0xBF, 74}}), "Copy of it"));

    QFile file(folder() + "/Live set 2026.syx");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    dump[4] = 0x42;
    EXPECT_EQ(file.readAll(), bytesOf(dump));
    const auto live = library.named("live set 2026");
    ASSERT_TRUE(live);
    EXPECT_EQ(live->name, "Live set 2026");
    EXPECT_EQ(live->sameAs, QStringList{"Copy of it"});
    EXPECT_EQ(library.read(*live), dump);
    EXPECT_EQ(titles(library.entries()), (QStringList{"Copy of it", "Live set 2026"}));
}

TEST_F(LibraryTest, NamesNoFileCanHaveOrTakenAlreadyAreRefusedSayingWhy) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(defaults(), "Live set 2026"));
    ASSERT_TRUE(library.add(defaults(), "Caf\u00e9 set")); // "é" as one character
    const struct {
        QString name;
        const char *said;
    } refused[] = {
        {"", "A name is needed."},
        {"   ", "A name is needed."},
        {" Live", "A name can't begin or end with a blank."},
        {".hidden", "A name can't begin with \".\": its file would be hidden."},
        {"a/b", "A name can't hold \"/\""},
        {"Set: 2", "A name can't hold \":\""},
        {"what?", "A name can't hold \"?\""},
        {"tab\there", "A name can't hold a control character."},
        {QString(201, u'x'), "A name can be at most 200 bytes long"},
        {"CON", "A name can't be \"CON\", with or without an ending: Windows keeps it for a "
                "device"},
        {"nul", "A name can't be \"nul\""},
        {"aux.live set", "A name can't be \"aux\""},
        {"Com7", "A name can't be \"Com7\""},
        {"LPT1 .old", "A name can't be \"LPT1\""},
        {"prn", "A name can't be \"prn\""},
        {"Live set 2026", "The name \"Live set 2026\" is taken already (by \"Live set 2026\")."},
        {"LIVE SET 2026", "The name \"LIVE SET 2026\" is taken already (by \"Live set 2026\")."},
        {"Cafe\u0301 SET", // "é" as "e" and an accent
         "The name \"Cafe\u0301 SET\" is taken already (by \"Caf\u00e9 set\")."},
    };
    for (const auto &r : refused) {
        EXPECT_FALSE(library.add(withRecords({{true, 1, 0x90, 1}}), r.name)) << r.said;
        EXPECT_TRUE(library.error().startsWith(QString::fromUtf8(r.said)))
            << library.error().toStdString();
    }
    EXPECT_EQ(files(), (QStringList{"Caf\u00e9 set.syx", "Live set 2026.syx"}));
    // Names Windows leaves alone.
    for (const char *fine : {"CONSOLE", "COM10", "LPT", "Null set", "con-"})
        EXPECT_EQ(vkv::library::EntryName::refusal(fine), "") << fine;
    // Renaming keeps to the same rules, and a refused rename changes nothing.
    ASSERT_TRUE(library.add(defaults(), "Other"));
    const auto other = library.named("Other");
    EXPECT_FALSE(library.rename(*other, "live set 2026"));
    EXPECT_TRUE(library.error().contains("taken already"));
    EXPECT_FALSE(library.rename(*other, "CON"));
    EXPECT_TRUE(library.rename(*other, "Studio"));
    EXPECT_EQ(files(), (QStringList{"Caf\u00e9 set.syx", "Live set 2026.syx", "Studio.syx"}));
}

TEST_F(LibraryTest, CapturesKeepEachContentOnceAndEveryEventAndTellWhatTheBoxHeldWhen) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    const DumpBytes a = defaults(), b = withRecords({{true, 0, 0xB0, 99}});
    const QDateTime t = QDateTime::fromString("2026-12-01T18:00:00Z", Qt::ISODate);
    using D = Library::Direction;
    ASSERT_TRUE(library.capture({t, D::Received, "vela-box:out", a, 1543}));
    ASSERT_TRUE(library.capture({t.addSecs(60), D::Sent, "vela-box:in", a, 1543}));
    ASSERT_TRUE(library.verified("vela-box:in", a, true));
    ASSERT_TRUE(library.capture({t.addSecs(120), D::Received, "vela-box:out", std::nullopt, 828}));
    ASSERT_TRUE(library.capture({t.addSecs(180), D::Sent, "vela-box:in", b, 1543}));
    ASSERT_TRUE(library.verified("vela-box:in", b, false));
    ASSERT_TRUE(library.capture({t.addSecs(240), D::Sent, "vela-box:in", std::nullopt, 300}));

    QStringList said;
    for (const Library::Event &event : library.history())
        said << event.text();
    EXPECT_EQ(said, (QStringList{"sent to vela-box:in, broke off after 300 of 1543 bytes",
                                 "sent to vela-box:in, verify failed: the box held other values",
                                 "received from vela-box:out, broken after 828 bytes",
                                 "sent to vela-box:in, verified", "received from vela-box:out"}));
    // Kept once per content, never a broken one.
    EXPECT_EQ(files("captured").size(), 2);
    EXPECT_EQ(library.entries().size(), 2u);

    // What the box held: the last whole one sent or received; after a send the box did not hold,
    // or one that broke off, something broken or unknown. A dump from it that broke off leaves
    // what it holds alone.
    const auto held = [&](const QString &port, int seconds) {
        const auto box = library.heldAt(port, t.addSecs(seconds));
        return box ? QStringLiteral("%1 %2").arg(box->event.time.secsTo(t) * -1).arg(box->text())
                   : QString();
    };
    EXPECT_EQ(held("vela-box:in", 90), "60 a captured configuration");
    EXPECT_EQ(held("vela-box:in", 200),
              "180 a broken or unknown configuration since " +
                  t.addSecs(180).toLocalTime().toString("yyyy-MM-dd HH:mm:ss") +
                  " (what was sent: a configuration with no name, not verified)");
    EXPECT_EQ(held("vela-box", 30), "0 a captured configuration"); // a client's name: its ports
    EXPECT_EQ(held("vela-box", 150), "60 a captured configuration");
    EXPECT_TRUE(held("vela-box:in", 250).startsWith("240 a broken or unknown configuration"));
    EXPECT_EQ(held("vela-box:in", 30), "");
    EXPECT_EQ(library.content(library.history().back().key), a);

    // Kept under a name, a captured configuration shows as that one.
    ASSERT_TRUE(library.add(a, "Gig"));
    EXPECT_EQ(library.entries().size(), 2u);
    EXPECT_TRUE(find(library, "Gig"));
}

TEST_F(LibraryTest, CapturesAreWrittenOffTheCallersThreadAndAFailureIsSaid) {
    vkv::library::CaptureWriter writer;
    writer.setFolder(folder());
    QSignalSpy recorded(&writer, &vkv::library::CaptureWriter::recorded);
    writer.record({QDateTime::currentDateTimeUtc(), Library::Direction::Received, "box:out",
                   defaults(), 1543});
    writer.verified("box:in", defaults(), true);
    ASSERT_TRUE(recorded.wait(5000) && (recorded.size() == 2 || recorded.wait(5000)));
    EXPECT_EQ(recorded[0][0].toString(), "the dump received from box:out");
    EXPECT_EQ(recorded[0][1].toString(), "");

    // A folder that cannot be made (a file is in its way): said, never thrown or swallowed.
    QFile blocker(dir.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    writer.setFolder(dir.path() + "/file/library");
    recorded.clear();
    writer.record(
        {QDateTime::currentDateTimeUtc(), Library::Direction::Sent, "box:in", std::nullopt, 20});
    ASSERT_TRUE(recorded.wait(5000));
    EXPECT_EQ(recorded[0][0].toString(), "the broken send to box:in");
    EXPECT_TRUE(recorded[0][1].toString().contains("cannot be made"))
        << recorded[0][1].toString().toStdString();
}

TEST_F(LibraryTest, CapturesPassOnWhatTheLibraryHasToSay) {
    {
        Library library;
        ASSERT_TRUE(library.open(folder()));
        ASSERT_TRUE(library.add(defaults(), "Gig"));
    }
    for (const char *ending : {"", "-wal", "-shm"})
        QFile::remove(folder() + "/index/library.sqlite" + ending);
    vkv::library::CaptureWriter writer;
    writer.setFolder(folder());
    QSignalSpy noticed(&writer, &vkv::library::CaptureWriter::noticed);
    Library::Capture test{QDateTime::currentDateTimeUtc(), Library::Direction::Sent, "box:in",
                          defaults(), 1543};
    test.test = true;
    QSignalSpy recorded(&writer, &vkv::library::CaptureWriter::recorded);
    writer.record(test);
    ASSERT_TRUE(noticed.wait(5000));
    EXPECT_TRUE(noticed[0][0].toString().startsWith("The library's index was not there and was "
                                                    "made anew from the 1 configurations"))
        << noticed[0][0].toString().toStdString();
    ASSERT_EQ(recorded.size(), 1);
    EXPECT_EQ(recorded[0][0].toString(), "the test copy sent to box:in");
    EXPECT_EQ(recorded[0][1].toString(), "");
}

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

TEST_F(LibraryTest, FilesChangedOrRemovedBehindItsBackAreReadAgainOrShownMissing) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(defaults(), "Gig"));
    const QString path = folder() + "/Gig.syx";
    const DumpBytes other = withRecords({{false, 3, 0x99, 36}});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytesOf(other));
    file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    file.close();
    ASSERT_TRUE(library.refresh());
    EXPECT_EQ(library.named("Gig")->key, DumpFile::key(other));
    EXPECT_EQ(library.read(*library.named("Gig")), other);

    const Library::Entry gig = *library.named("Gig");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(library.refresh());
    ASSERT_TRUE(library.named("Gig"));
    EXPECT_TRUE(library.named("Gig")->missing);
    EXPECT_FALSE(library.read(gig));
    EXPECT_TRUE(library.error().contains("cannot be read")) << library.error().toStdString();
    // Back again, it is the same configuration.
    ASSERT_TRUE(DumpFile::write(path, other, false, false));
    ASSERT_TRUE(library.refresh());
    EXPECT_FALSE(library.named("Gig")->missing);
}

TEST_F(LibraryTest, ContentTermsOfOneQueryHoldForOneRecordTogether) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    // The defaults send controllers 0 to 127 on channel 1 from pots 1.1 to 8.16, and
    // controllers 0 to 7 on channels 1 to 16 from the other pots.
    ASSERT_TRUE(library.add(defaults(), "Default"));
    ASSERT_TRUE(library.add(withRecords({{true, 18, 0xBF, 74}}), "Filter"));
    ASSERT_TRUE(library.add(withRecords({{false, 8, 0x99, 36}, {true, 36, 0xC9, 5}}), "Drums"));
    ASSERT_TRUE(library.setTags(*library.named("Default"), {"live"}));
    ASSERT_TRUE(library.setNotes(*library.named("Drums"), "The kit for the second half"));
    const struct {
        const char *query;
        QStringList found; // "name: records"
    } table[] = {
        {"cc:74", {"Default: Pot 5.11", "Drums: Pot 5.11", "Filter: Pot 2.3, Pot 5.11"}},
        {"ch:16 cc:74", {"Filter: Pot 2.3"}},
        {"cc:74 ch:16", {"Filter: Pot 2.3"}},
        {"ch:16 cc:7", {"Default: Pot 16.16", "Drums: Pot 16.16", "Filter: Pot 16.16"}},
        {"note:C2", {"Drums: Button 2.1"}},
        {"note:36 ch:10", {"Drums: Button 2.1"}},
        {"pc:5 ch:10", {"Drums: Pot 3.5"}},
        {"pot:3.5 pc:5", {"Drums: Pot 3.5"}},
        {"button:2.1 note:36", {"Drums: Button 2.1"}},
        {"button:2.1 cc:74", {}},
        {"filter", {"Filter: "}},
        {"LIVE cc:74", {"Default: Pot 5.11"}},
        {"second half", {"Drums: "}},
        {"half second", {"Drums: "}},
        {"\"second half\"", {"Drums: "}},
        {"\"half second\"", {}},
        {"\"kit for the\" cc:74", {"Drums: Pot 5.11"}},
        {"ch:1 cc:74 pot:5.11 drums", {"Drums: Pot 5.11"}},
    };
    const auto entries = library.entries();
    for (const auto &row : table) {
        const LibraryQuery query = LibraryQuery::parse(row.query);
        ASSERT_TRUE(query.valid()) << row.query << ": " << query.error().toStdString();
        QStringList found;
        for (const Library::Hit &hit : library.search(query, entries))
            found << hit.entry.name + ": " + hit.records.text();
        found.sort();
        EXPECT_EQ(found, row.found) << row.query;
    }
    const LibraryQuery many = LibraryQuery::parse("ch:1");
    EXPECT_EQ(
        many.matchingRecords(LibraryQuery::decode(defaults())).text(),
        "Pot 1.1, Pot 1.2, Pot 1.3, Pot 1.4, Pot 1.5, Pot 1.6, Pot 1.7, Pot 1.8 and 200 more");
    for (const char *wrong : {"cc:x", "cc:128", "ch:0", "note:H2", "pot:17.1", "button:1.9"})
        EXPECT_FALSE(LibraryQuery::parse(wrong).valid()) << wrong;
    EXPECT_EQ(LibraryQuery::parse("pot:3").error(),
              "\"pot:3\": pot: takes a bank and a pot, 1.1 to 16.16 (pot:3.5).");
}

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

TEST_F(LibraryTest, DeleteGoesToTheTrashAndComesBackWithItsNotes) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(defaults(), "Gig"));
    ASSERT_TRUE(library.setNotes(*library.named("Gig"), "keep me"));
    const auto trashed = library.trash(*library.named("Gig"));
    ASSERT_TRUE(trashed) << library.error().toStdString();
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(trashed->inTrash));
    EXPECT_TRUE(trashed->inTrash.startsWith(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/"))
        << trashed->inTrash.toStdString();
    EXPECT_TRUE(library.entries().empty());
    ASSERT_TRUE(library.restore(*trashed)) << library.error().toStdString();
    EXPECT_EQ(files(), QStringList{"Gig.syx"});
    EXPECT_FALSE(QFileInfo::exists(trashed->inTrash));
    EXPECT_EQ(library.named("Gig")->notes, "keep me");
}

TEST_F(LibraryTest, TwoProgramsWritingAtOnceLoseNothing) {
    // The folder and its index are made first, as a window that is open makes them.
    {
        Library library;
        ASSERT_TRUE(library.open(folder()));
    }
    constexpr int Each = 40;
    QProcess first, second;
    for (auto [p, tag] : {std::pair{&first, "one"}, std::pair{&second, "two"}})
        p->start(VKV_LIBRARY_WRITER, {folder(), tag, QString::number(Each)});
    for (QProcess *p : {&first, &second}) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    Library library;
    ASSERT_TRUE(library.open(folder()));
    // The history lives in the index alone: every capture of both is there.
    const auto history = library.history();
    EXPECT_EQ(history.size(), 2u * Each);
    EXPECT_EQ(std::count_if(history.begin(), history.end(),
                            [](const auto &e) { return e.port == "writer-one"; }),
              Each);
    int named = 0;
    for (const Library::Entry &entry : library.entries())
        named += entry.named() ? 1 : 0;
    EXPECT_EQ(named, 2 * Each);
    EXPECT_EQ(files("captured").size(), 2 * Each);
}

TEST_F(LibraryTest, ANewConfigurationUnderADeletedOnesNameLeavesItsNotesToComeBackWithIt) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 1}}), "A"));
    ASSERT_TRUE(library.setNotes(*library.named("A"), "the first"));
    const auto a = library.trash(*library.named("A"));
    ASSERT_TRUE(a);
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 2}}), "Gig"));
    ASSERT_TRUE(library.setNotes(*library.named("Gig"), "old"));
    ASSERT_TRUE(library.setFavourite(*library.named("Gig"), true));
    const auto gig = library.trash(*library.named("Gig"));
    ASSERT_TRUE(gig);
    {
        // Another program takes the name meanwhile, as --library-add FILE --name Gig does.
        Library other;
        ASSERT_TRUE(other.open(folder()));
        ASSERT_TRUE(other.add(defaults(), "Gig")) << other.error().toStdString();
    }
    ASSERT_TRUE(library.refresh());
    EXPECT_EQ(library.named("Gig")->notes, "");
    EXPECT_FALSE(library.named("Gig")->favourite);

    // Each comes back with its notes, the one whose name is taken under a free one.
    ASSERT_TRUE(library.restore(*gig)) << library.error().toStdString();
    ASSERT_TRUE(library.restore(*a)) << library.error().toStdString();
    EXPECT_EQ(titles(library.entries()), (QStringList{"A", "Gig", "Gig (restored)"}));
    EXPECT_EQ(library.named("Gig (restored)")->notes, "old");
    EXPECT_TRUE(library.named("Gig (restored)")->favourite);
    EXPECT_EQ(library.read(*library.named("Gig (restored)")), withRecords({{true, 0, 0xB0, 2}}));
    EXPECT_EQ(library.named("Gig")->notes, "");
    EXPECT_EQ(library.read(*library.named("Gig")), defaults());
    EXPECT_EQ(library.named("A")->notes, "the first");
    // A name whose file went stays taken until it is deleted: its file may come back.
    ASSERT_TRUE(QFile::remove(folder() + "/A.syx"));
    ASSERT_TRUE(library.refresh());
    EXPECT_FALSE(library.add(defaults(), "a"));
    EXPECT_EQ(library.error(), "The name \"a\" is taken already (by \"A\").");
}

TEST_F(LibraryTest, RenamingOntoADeletedOnesNameMovesTheNotesWithTheRenamedOne) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 1}}), "Gig"));
    ASSERT_TRUE(library.setNotes(*library.named("Gig"), "old"));
    const auto gig = library.trash(*library.named("Gig"));
    ASSERT_TRUE(gig);
    ASSERT_TRUE(library.add(defaults(), "Draft"));
    ASSERT_TRUE(library.setNotes(*library.named("Draft"), "mine"));
    ASSERT_TRUE(library.rename(*library.named("Draft"), "Gig")) << library.error().toStdString();
    EXPECT_EQ(titles(library.entries()), QStringList{"Gig"});
    EXPECT_FALSE(library.named("Gig")->missing);
    EXPECT_EQ(library.named("Gig")->notes, "mine");
    EXPECT_EQ(library.read(*library.named("Gig")), defaults());
    ASSERT_TRUE(library.restore(*gig)) << library.error().toStdString();
    EXPECT_EQ(library.named("Gig (restored)")->notes, "old");
    EXPECT_EQ(library.named("Gig")->notes, "mine");
}

TEST_F(LibraryTest, ADeleteOrRenameTheIndexCannotTakeChangesNothingAndSaysWhy) {
    Library library(200);
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(defaults(), "Gig"));
    ASSERT_TRUE(library.setNotes(*library.named("Gig"), "keep me"));
    const Library::Entry gig = *library.named("Gig");
    {
        // Another program holds the index's write past the timeout.
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "holder");
        other.setDatabaseName(folder() + "/index/library.sqlite");
        ASSERT_TRUE(other.open());
        QSqlQuery hold(other);
        ASSERT_TRUE(hold.exec("BEGIN IMMEDIATE"));
        EXPECT_FALSE(library.trash(gig));
        EXPECT_EQ(library.error(), "\"Gig\" was not deleted: the library's index is in use by "
                                   "another program (it stayed locked).");
        EXPECT_FALSE(library.rename(gig, "Studio"));
        EXPECT_EQ(library.error(), "\"Gig\" was not renamed: the library's index is in use by "
                                   "another program (it stayed locked).");
        EXPECT_EQ(files(), QStringList{"Gig.syx"});
        ASSERT_TRUE(hold.exec("ROLLBACK"));
        hold.finish();
        other.close();
    }
    QSqlDatabase::removeDatabase("holder");
    ASSERT_TRUE(library.refresh());
    ASSERT_EQ(titles(library.entries()), QStringList{"Gig"});
    EXPECT_FALSE(library.named("Gig")->missing);
    EXPECT_EQ(library.named("Gig")->notes, "keep me");
    // Once the index is free, both happen whole.
    ASSERT_TRUE(library.rename(gig, "Studio"));
    ASSERT_TRUE(library.trash(*library.named("Studio")));
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(library.entries().empty());
}

TEST_F(LibraryTest, FilesLeftByAProgramThatCrashedAreRemovedAndNeverStopAWrite) {
    {
        Library library;
        ASSERT_TRUE(library.open(folder()));
    }
    const auto leave = [](const QString &path, bool old) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("half");
        file.flush();
        if (old)
            file.setFileTime(QDateTime::currentDateTime().addSecs(-120),
                             QFileDevice::FileModificationTime);
    };
    leave(folder() + "/.vkvela-new-4000000-1", true);
    leave(folder() + "/captured/.vkvela-new-4000000-2", true);
    leave(folder() + "/index/copy-new-4000000-1.sqlite", true);
    leave(folder() + "/.vkvela-new-4000001-1", false); // another program's, writing now
    leave(folder() + "/.hidden", true);                // not the library's
    // A crashed program of this one's number left what the next writes would be called.
    for (int n = 1; n <= 1000; ++n)
        leave(QStringLiteral("%1/.vkvela-new-%2-%3").arg(folder()).arg(::getpid()).arg(n), false);

    Library library;
    ASSERT_TRUE(library.open(folder()));
    const auto hidden = [](const QString &in) {
        return QDir(in).entryList({".vkvela-new-4*", "copy-new-*", ".hidden"},
                                  QDir::Files | QDir::Hidden);
    };
    EXPECT_EQ(hidden(folder()), (QStringList{".hidden", ".vkvela-new-4000001-1"}));
    EXPECT_TRUE(hidden(folder() + "/captured").isEmpty());
    EXPECT_TRUE(hidden(folder() + "/index").isEmpty());
    ASSERT_TRUE(library.add(defaults(), "Gig")) << library.error().toStdString();
    ASSERT_TRUE(library.capture({QDateTime::currentDateTimeUtc(), Library::Direction::Received,
                                 "box:out", defaults(), 1543}))
        << library.error().toStdString();
    EXPECT_EQ(library.read(*library.named("Gig")), defaults());
}

TEST_F(LibraryTest, ATestCopyIsATestInHistoryIsNeverKeptAndLeavesTheBoxHoldingSomethingUnknown) {
    auto library = std::make_unique<Library>();
    ASSERT_TRUE(library->open(folder()));
    ASSERT_TRUE(library->add(defaults(), "Gig"));
    const DumpBytes test = withRecords({{true, 255, 0xB0, 1}});
    const QDateTime t = QDateTime::fromString("2026-12-01T18:00:00Z", Qt::ISODate);
    using D = Library::Direction;
    const auto capture = [&](int seconds, D direction, std::optional<DumpBytes> dump, bool isTest,
                             int bytes = 1543) {
        Library::Capture c{t.addSecs(seconds), direction,
                           direction == D::Sent ? "box:in" : "box:out", dump, bytes};
        c.test = isTest;
        c.paired = direction == D::Sent ? "box:out" : "box:in"; // one box
        ASSERT_TRUE(library->capture(c)) << library->error().toStdString();
    };
    capture(0, D::Sent, defaults(), false);
    ASSERT_TRUE(library->verified("box:in", defaults(), true));
    capture(10, D::Received, defaults(), false);
    capture(20, D::Sent, test, true);
    capture(30, D::Received, test, true);
    ASSERT_TRUE(library->verified("box:in", test, true));
    capture(40, D::Sent, std::nullopt, true, 600);

    QStringList said;
    for (const Library::Event &event : library->history())
        said << event.text();
    EXPECT_EQ(said, (QStringList{"sent to box:in, broke off after 600 of 1543 bytes (test copy)",
                                 "received from box:out (test copy)",
                                 "sent to box:in, verified (test copy)", "received from box:out",
                                 "sent to box:in, verified"}));
    // Never kept: no file, no entry, no content.
    EXPECT_EQ(files("captured").size(), 1);
    EXPECT_EQ(titles(library->entries()), QStringList{"Gig"});
    EXPECT_FALSE(library->content(DumpFile::key(test)));

    // Both ports of the box held Gig, and after the first test copy something unknown.
    const auto held = [&](const QString &port, int seconds) {
        const auto box = library->heldAt(port, t.addSecs(seconds));
        return box ? box->ports.join(',') + ": " + box->text() : library->error();
    };
    const QString since20 = t.addSecs(20).toLocalTime().toString("yyyy-MM-dd HH:mm:ss");
    const QString since40 = t.addSecs(40).toLocalTime().toString("yyyy-MM-dd HH:mm:ss");
    const QString unknown = "box:in,box:out: a broken or unknown configuration since %1 (what was "
                            "sent: a test copy of a search for the speed, not a configuration of "
                            "the library, not verified)";
    for (const char *port : {"box:in", "box:out", "box"}) {
        EXPECT_EQ(held(port, 5), "box:in,box:out: Gig") << port;
        EXPECT_EQ(held(port, 15), "box:in,box:out: Gig") << port;
        EXPECT_EQ(held(port, 35), unknown.arg(since20)) << port;
        EXPECT_EQ(held(port, 45), unknown.arg(since40)) << port;
    }
    // Until the configuration goes whole again.
    capture(50, D::Sent, defaults(), false);
    EXPECT_EQ(held("box:out", 55), "box:in,box:out: Gig, not verified");
    ASSERT_TRUE(library->verified("box:in", defaults(), true));
    EXPECT_EQ(held("box:out", 55), "box:in,box:out: Gig");

    // The index made anew keeps the marks from its copy.
    library = std::make_unique<Library>();
    for (const char *ending : {"", "-wal", "-shm"})
        QFile::remove(folder() + "/index/library->sqlite" + ending);
    ASSERT_TRUE(library->open(folder()));
    ASSERT_EQ(library->history().size(), 6u);
    EXPECT_EQ(library->history()[2].text(), "received from box:out (test copy)");
    EXPECT_EQ(held("box:in", 35), unknown.arg(since20));
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
