// The library's named configurations: plain files named after them, the same records shown
// and never dropped, and the names no file can have or that are taken already, refused saying
// why. Real files in a temporary folder, a real SQLite index.
#include "EntryName.h"
#include "LibraryFixture.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace libraryfixture;

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
