// The library's history: captures kept once per content with every event, test copies, and what
// a box held at a time. Real files in a temporary folder, a real SQLite index.
#include "DumpFile.h"
#include "LibraryFixture.h"

#include <QFile>
#include <gtest/gtest.h>

#include <memory>

using namespace libraryfixture;
using vkv::library::DumpFile;

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
