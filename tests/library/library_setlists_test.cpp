// Set lists: their files read line by line (a damaged line refused with its number, the others
// kept) and written whole; slots that follow their configuration through a rename or a restore
// under another name, and show it missing once it is deleted. Real files, a real SQLite index.
#include "LibraryFixture.h"
#include "SetListFile.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace libraryfixture;
using vkv::library::SetList;
using vkv::library::SetListFile;

namespace {

struct ParseCase {
    const char *text;
    int channel;
    std::vector<std::pair<int, QString>> expected;
    QStringList damaged;
};

std::vector<std::pair<int, QString>> slotsOf(const SetList &list) {
    std::vector<std::pair<int, QString>> shown;
    for (const SetList::Slot &slot : list.slotList)
        shown.emplace_back(slot.program, slot.shown());
    return shown;
}

QByteArray fileText(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(not there)");
}

void writeFile(const QString &path, const QByteArray &text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

TEST(SetListFileTest, ReadsEachLineAndRefusesADamagedOneWithItsNumber) {
    const ParseCase cases[] = {
        {"# channel 10\n0\tIntro\n5\tDrum kit\r\n", 10, {{0, "Intro"}, {5, "Drum kit"}}, {}},
        {"3\tB\n1\tA\n", SetList::AnyChannel, {{3, "B"}, {1, "A"}}, {}},
        {"# channel any\n\n# my gig\n127\tLast\n", SetList::AnyChannel, {{127, "Last"}}, {}},
        {"0\tIntro\n128\tToo far\n2 Drums\nx\tY\n4\t  \n0\tAgain\n1\tKept\n# channel 17\n",
         SetList::AnyChannel,
         {{0, "Intro"}, {1, "Kept"}},
         {"line 2: \"128\" is no program number (0 to 127)",
          "line 3: no tab between the program number and the configuration's name",
          "line 4: \"x\" is no program number (0 to 127)",
          "line 5: no configuration's name after the program number",
          "line 6: program 0 has a slot on line 1 already",
          "line 8: \"17\" is no channel (1 to 16, or any)"}},
    };
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(c.text);
        const SetListFile::Read read = SetListFile::parse(c.text);
        EXPECT_EQ(read.list.channel, c.channel);
        EXPECT_EQ(slotsOf(read.list), c.expected);
        EXPECT_EQ(read.damaged, c.damaged);
    }
}

TEST_F(LibraryTest, ASetListIsWrittenAsItsFileAndReadBack) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 1}}), "Intro"));
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 2}}), "Drum kit"));
    SetList list;
    list.name = "Friday";
    list.channel = 16;
    list.slotList = {{7, "Drum kit", library.named("Drum kit")->id},
                     {0, "Intro", library.named("Intro")->id},
                     {1, "Drum kit", library.named("Drum kit")->id}};
    ASSERT_TRUE(library.writeSetList(list)) << library.error().toStdString();
    EXPECT_EQ(fileText(folder() + "/setlists/Friday.txt"),
              "# channel 16\n7\tDrum kit\n0\tIntro\n1\tDrum kit\n");

    const auto read = library.setList("friday");
    ASSERT_TRUE(read) << library.error().toStdString();
    EXPECT_EQ(read->name, "Friday");
    EXPECT_EQ(read->channel, 16);
    EXPECT_EQ(read->slotList, list.slotList);
    EXPECT_EQ(library.setListNames(), QStringList{"Friday"});
    EXPECT_EQ(read->freeProgram(), 2);
}

TEST_F(LibraryTest, ASlotFollowsItsConfigurationNotItsName) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 1}}), "Gig"));
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 2}}), "Ballad"));
    ASSERT_TRUE(library.addToSetList("Friday", 1, *library.named("Gig")));
    ASSERT_TRUE(library.addToSetList("Friday", 2, *library.named("Ballad")));
    ASSERT_TRUE(library.addToSetList("Saturday", 9, *library.named("Gig")));

    // Renamed: every list says so.
    ASSERT_TRUE(library.rename(*library.named("Gig"), "Opener"));
    EXPECT_EQ(fileText(folder() + "/setlists/Friday.txt"), "# channel any\n1\tOpener\n2\tBallad\n");
    EXPECT_EQ(fileText(folder() + "/setlists/Saturday.txt"), "# channel any\n9\tOpener\n");

    // Deleted, and a new configuration takes its name: the slot stays the deleted one's.
    const auto trashed = library.trash(*library.named("Opener"));
    ASSERT_TRUE(trashed);
    ASSERT_TRUE(library.add(defaults(), "Opener"));
    auto friday = library.setList("Friday");
    ASSERT_TRUE(friday);
    EXPECT_EQ(slotsOf(*friday),
              (std::vector<std::pair<int, QString>>{{1, "Opener (missing)"}, {2, "Ballad"}}));

    // Back under another name: the slots follow it there.
    ASSERT_EQ(library.restore(*trashed), "Opener (restored)");
    friday = library.setList("Friday");
    ASSERT_TRUE(friday);
    EXPECT_EQ(slotsOf(*friday),
              (std::vector<std::pair<int, QString>>{{1, "Opener (restored)"}, {2, "Ballad"}}));
    EXPECT_EQ(friday->slotList[0].entry, trashed->id);
    EXPECT_EQ(fileText(folder() + "/setlists/Saturday.txt"),
              "# channel any\n9\tOpener (restored)\n");
}

TEST_F(LibraryTest, ASlotWhoseConfigurationIsNotThereIsMissing) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(defaults(), "Intro"));
    ASSERT_TRUE(library.add(withRecords({{true, 0, 0xB0, 2}}), "Gone"));
    ASSERT_TRUE(QDir().mkpath(folder() + "/setlists"));
    writeFile(folder() + "/setlists/Tour.txt", "0\tIntro\n1\tNever kept\n2\tGone\n");
    ASSERT_TRUE(QFile::remove(folder() + "/Gone.syx"));
    ASSERT_TRUE(library.refresh());
    const auto tour = library.setList("Tour");
    ASSERT_TRUE(tour);
    EXPECT_EQ(slotsOf(*tour),
              (std::vector<std::pair<int, QString>>{
                  {0, "Intro"}, {1, "Never kept (missing)"}, {2, "Gone (missing)"}}));
    EXPECT_FALSE(tour->slotList[0].missing);
    EXPECT_TRUE(tour->slotList[1].missing);
    EXPECT_TRUE(tour->slotList[2].missing);
}

TEST_F(LibraryTest, ADamagedLineIsRefusedWithItsNumberAndTheRestKept) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(defaults(), "Intro"));
    ASSERT_TRUE(QDir().mkpath(folder() + "/setlists"));
    writeFile(folder() + "/setlists/Tour.txt", "0\tIntro\n200\tIntro\n3\tIntro\n");
    QStringList damaged;
    const auto tour = library.setList("Tour", &damaged);
    ASSERT_TRUE(tour);
    EXPECT_EQ(slotsOf(*tour), (std::vector<std::pair<int, QString>>{{0, "Intro"}, {3, "Intro"}}));
    EXPECT_EQ(damaged, QStringList{folder() + "/setlists/Tour.txt, line 2: \"200\" is no program "
                                              "number (0 to 127)"});
}

TEST_F(LibraryTest, SetListsComeBackFromTheirFilesWhenTheIndexIsMadeAnew) {
    {
        Library library;
        ASSERT_TRUE(library.open(folder()));
        ASSERT_TRUE(library.add(defaults(), "Intro"));
        ASSERT_TRUE(library.addToSetList("Tour", 4, *library.named("Intro")));
    }
    ASSERT_TRUE(QDir(folder() + "/index").removeRecursively());
    Library library;
    ASSERT_TRUE(library.open(folder()));
    const auto tour = library.setList("Tour");
    ASSERT_TRUE(tour);
    ASSERT_EQ(tour->slotList.size(), 1u);
    EXPECT_EQ(tour->slotList[0].shown(), "Intro");
    EXPECT_EQ(tour->slotList[0].entry, library.named("Intro")->id);
    EXPECT_FALSE(tour->slotList[0].missing);
}

TEST_F(LibraryTest, EditsOfASetListThatCannotBeAreRefused) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(defaults(), "Intro"));
    ASSERT_TRUE(library.addToSetList("Tour", 4, *library.named("Intro")));
    struct Case {
        std::function<bool()> edit;
        const char *error;
    };
    const Case cases[] = {
        {[&] { return library.addToSetList("Tour", 4, *library.named("Intro")); },
         "Program 4 of the set list \"Tour\" recalls \"Intro\" already; remove it first."},
        {[&] { return library.removeFromSetList("Tour", 5); },
         "Program 5 of the set list \"Tour\" recalls nothing."},
        {[&] { return library.removeFromSetList("Tout", 4); },
         "There is no set list \"Tout\" in the library."},
        {[&] { return library.addToSetList("a/b", 1, *library.named("Intro")); },
         "A name can't hold \"/\": a file's name can't hold it on every disk the library may be "
         "copied to."},
    };
    for (const Case &c : cases) {
        EXPECT_FALSE(c.edit());
        EXPECT_EQ(library.error(), c.error);
    }
    EXPECT_EQ(fileText(folder() + "/setlists/Tour.txt"), "# channel any\n4\tIntro\n");
}
