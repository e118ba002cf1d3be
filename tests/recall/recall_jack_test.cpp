// Recall over JACK with the stand-in box: a program change puts its slot's configuration into the
// box, verified, and a burst of them ends with the box holding the last one's, verified, each
// recall in the library's history with its program change.
#include "BoxRecallPort.h"
#include "CommandPorts.h"
#include "JackBox.h"
#include "LibraryFixture.h"
#include "Recaller.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace libraryfixture;
using vkv::recall::BoxRecallPort;
using vkv::recall::Recaller;

namespace {

std::vector<unsigned char> framed(DumpBytes dump) {
    vkv::image::frameDump(dump.data());
    return {dump.begin(), dump.end()};
}

} // namespace

class RecallJack : public LibraryTest {};

TEST_F(RecallJack, AProgramChangeRecallsItsEntryVerifiedAndABurstEndsWithTheLastOnes) {
    JackBox box(QStringLiteral(VKV_JACK_BOX), "vkvrecallbox", 4096, 0);
    ASSERT_TRUE(box.ready);
    Library library;
    ASSERT_TRUE(library.open(folder()));
    const DumpBytes gig = withRecords({{true, 0, 0xB0, 1}});
    const DumpBytes ballad = withRecords({{true, 0, 0xB0, 2}});
    ASSERT_TRUE(library.add(gig, "Gig"));
    ASSERT_TRUE(library.add(ballad, "Ballad"));
    ASSERT_TRUE(library.add(defaults(), "Intro"));
    ASSERT_TRUE(library.addToSetList("Tour", 1, *library.named("Gig")));
    ASSERT_TRUE(library.addToSetList("Tour", 2, *library.named("Ballad")));
    ASSERT_TRUE(library.addToSetList("Tour", 3, *library.named("Intro")));
    auto out = vkv::cli::CommandPorts::openOut(box.listens());
    auto in = vkv::cli::CommandPorts::openIn(box.answers());
    ASSERT_TRUE(out && in);
    BoxRecallPort port(*out, in.get(), 1000);
    Recaller recaller(library, port);
    port.setRecaller(&recaller);
    recaller.setVerify(true);
    ASSERT_TRUE(recaller.setList("Tour"));

    ASSERT_TRUE(recaller.programChange(0xC0, 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recaller.busy(); }, 10000));
    EXPECT_EQ(recaller.boxHolds(), "Gig, verified");
    EXPECT_EQ(box.holds(), framed(gig));

    // Five within 100 ms: each stops the one before at once; the last goes whole, verified.
    for (const int program : {2, 3, 1, 3, 2}) {
        ASSERT_TRUE(recaller.programChange(0xC0, static_cast<std::uint8_t>(program)));
        QTest::qWait(20);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recaller.busy(); }, 15000));
    EXPECT_EQ(recaller.boxHolds(), "Ballad, verified");
    EXPECT_EQ(box.holds(), framed(ballad));
    const auto history = library.history();
    ASSERT_EQ(history.size(), 6u);
    EXPECT_EQ(history[0].text(), "sent to " + port.outName() +
                                     ", verified, recalled by program change 2 on channel 1 (set "
                                     "list Tour)");
    for (std::size_t i = 1; i < 5; ++i)
        EXPECT_FALSE(history[i].whole()) << history[i].text().toStdString();
}
