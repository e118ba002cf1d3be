// Recall on a program change, headless: which slot a program change means, the latest one
// winning over a recall under way, and every recall in the library's history with its cause. The
// port to the box is a stand-in that records what it was asked; the library is real.
#include "LibraryFixture.h"
#include "RecallChoice.h"
#include "Recaller.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace libraryfixture;
using vkv::library::SetList;
using vkv::recall::RecallChoice;
using vkv::recall::Recaller;

namespace {

// Records what the recaller asks of the box's port.
class PortDouble : public vkv::recall::RecallPort {
public:
    std::vector<DumpBytes> sends;
    int stops = 0;
    int sentWhenStopped = 0;
    void send(const DumpBytes &dump, bool) override { sends.push_back(dump); }
    int stop() override {
        ++stops;
        return sentWhenStopped;
    }
    QString outName() const override { return "box:in"; }
    QString inName() const override { return "box:out"; }
    int bytesPerSecond() const override { return 100; }
};

QStringList historyTexts(Library &library) {
    QStringList texts;
    for (const Library::Event &event : library.history())
        texts << event.text();
    return texts;
}

} // namespace

TEST(RecallChoiceTest, AProgramChangeOnTheListsChannelChoosesItsSlot) {
    SetList list;
    list.name = "Tour";
    list.channel = 2;
    list.slotList = {{5, "Gig", 1, false}, {6, "Old", 2, true}};
    const struct {
        std::uint8_t status, data1;
        RecallChoice::Kind kind;
    } cases[] = {
        {0xC1, 5, RecallChoice::Kind::Recall},   {0xC1, 6, RecallChoice::Kind::Missing},
        {0xC1, 7, RecallChoice::Kind::Empty},    {0xC0, 5, RecallChoice::Kind::NotTaken},
        {0xB1, 5, RecallChoice::Kind::NotTaken}, {0xD1, 5, RecallChoice::Kind::NotTaken},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RecallChoice::of(list, c.status, c.data1).kind, c.kind)
            << int(c.status) << " " << int(c.data1);
    list.channel = SetList::AnyChannel;
    EXPECT_EQ(RecallChoice::of(list, 0xCF, 5).kind, RecallChoice::Kind::Recall);
}

class RecallTest : public LibraryTest {
protected:
    Library library;
    PortDouble port;
    std::unique_ptr<Recaller> recaller;
    const DumpBytes gig = withRecords({{true, 0, 0xB0, 1}});
    const DumpBytes ballad = withRecords({{true, 0, 0xB0, 2}});

    void SetUp() override {
        ASSERT_TRUE(library.open(folder()));
        ASSERT_TRUE(library.add(gig, "Gig"));
        ASSERT_TRUE(library.add(ballad, "Ballad"));
        ASSERT_TRUE(library.add(defaults(), "Gone"));
        ASSERT_TRUE(library.addToSetList("Tour", 1, *library.named("Gig")));
        ASSERT_TRUE(library.addToSetList("Tour", 2, *library.named("Ballad")));
        ASSERT_TRUE(library.addToSetList("Tour", 3, *library.named("Gone")));
        ASSERT_TRUE(library.trash(*library.named("Gone")));
        recaller = std::make_unique<Recaller>(library, port);
        ASSERT_TRUE(recaller->setList("Tour")) << recaller->error().toStdString();
    }
};

TEST_F(RecallTest, AProgramChangeRecallsItsSlotVerifiedAndTheHistorySaysWhy) {
    recaller->setVerify(true);
    EXPECT_TRUE(recaller->programChange(0xC0, 1));
    ASSERT_EQ(port.sends.size(), 1u);
    EXPECT_EQ(port.sends[0], gig);
    recaller->sendOver(true, vkv::image::DumpSize);
    EXPECT_TRUE(recaller->busy()); // verifying
    recaller->verifyOver(true);
    EXPECT_FALSE(recaller->busy());
    EXPECT_EQ(historyTexts(library),
              QStringList{"sent to box:in, verified, recalled by program change 1 on channel 1 "
                          "(set list Tour)"});
    EXPECT_EQ(recaller->boxHolds(), "Gig, verified");
    // A port that took nothing (the box's port is not there) leaves the box holding what it held.
    ASSERT_TRUE(recaller->programChange(0xC0, 2));
    recaller->sendOver(false, 0);
    EXPECT_EQ(recaller->boxHolds(), "Gig, verified");
}

TEST_F(RecallTest, TheLatestProgramChangeStopsARecallUnderWayAndSendsItsOwn) {
    QSignalSpy said(recaller.get(), &Recaller::said);
    ASSERT_TRUE(recaller->programChange(0xC0, 1));
    port.sentWhenStopped = 300;
    ASSERT_TRUE(recaller->programChange(0xC0, 2));
    EXPECT_EQ(port.stops, 1);
    ASSERT_EQ(port.sends.size(), 2u);
    EXPECT_EQ(port.sends[1], ballad);
    recaller->sendOver(true, vkv::image::DumpSize);
    EXPECT_EQ(historyTexts(library),
              (QStringList{"sent to box:in, recalled by program change 2 on channel 1 (set list "
                           "Tour)",
                           "sent to box:in, broke off after 300 of 1543 bytes, recalled by "
                           "program change 1 on channel 1 (set list Tour)"}));
    EXPECT_EQ(recaller->boxHolds(), "Ballad, not verified");
    QStringList outcomes;
    for (const QList<QVariant> &line : said)
        outcomes << line[0].toString().section(u'\t', 1);
    EXPECT_EQ(outcomes, (QStringList{
                            "program change 1 on channel 1\tGig\t100 bytes/s\tsending",
                            "program change 1 on channel 1\tGig\t100 bytes/s\tstopped for program "
                            "change 2 on channel 1 after 300 of 1543 bytes",
                            "program change 2 on channel 1\tBallad\t100 bytes/s\tsending",
                            "program change 2 on channel 1\tBallad\t100 bytes/s\tsent",
                        }));
}

TEST_F(RecallTest, AnEmptySlotOrAMissingConfigurationSendsNothingAndSaysSo) {
    QSignalSpy recalled(recaller.get(), &Recaller::recalled);
    EXPECT_TRUE(recaller->programChange(0xC0, 9));
    EXPECT_TRUE(recaller->programChange(0xC0, 3));
    EXPECT_FALSE(recaller->programChange(0xB0, 1)); // no program change: not the recall's
    EXPECT_TRUE(port.sends.empty());
    EXPECT_TRUE(library.history().empty());
    ASSERT_EQ(recalled.size(), 2);
    EXPECT_EQ(recalled[0][1].toString(),
              "the set list \"Tour\" has no slot for program 9; nothing was sent");
    EXPECT_EQ(recalled[1][1].toString(),
              "\"Gone\" of the set list \"Tour\" is missing from the library; nothing was sent");
}
