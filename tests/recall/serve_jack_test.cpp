// --serve over JACK, as a stage rack runs it: no display, program changes written by a stand-in
// DAW to the program's own Motors port recall set list slots into the stand-in box, verified, one
// line an event; SIGTERM lets a send under way finish and ends with what the box holds.
#include "ChildProgram.h"
#include "JackBox.h"
#include "JackSender.h"
#include "JackTools.h"
#include "LibraryFixture.h"

#include <QProcess>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

using namespace libraryfixture;

namespace {

std::vector<unsigned char> framed(DumpBytes dump) {
    vkv::image::frameDump(dump.data());
    return {dump.begin(), dump.end()};
}

// The lines a running child said on one stream so far.
struct Said {
    QString text;
    bool waitFor(QProcess &p, QProcess::ProcessChannel channel, const QString &part,
                 int ms = 15000) {
        return QTest::qWaitFor(
            [&] {
                p.setReadChannel(channel);
                text += QString::fromLocal8Bit(p.readAll());
                return text.contains(part);
            },
            ms);
    }
};

} // namespace

class ServeJack : public LibraryTest {};

TEST_F(ServeJack, ProgramChangesOnMotorsRecallVerifiedAndSigtermEndsWithWhatTheBoxHolds) {
    JackBox box(QStringLiteral(VKV_JACK_BOX), "vkvservebox", 4096, 0);
    ASSERT_TRUE(box.ready);
    const DumpBytes gig = withRecords({{true, 0, 0xB0, 1}});
    const DumpBytes ballad = withRecords({{true, 0, 0xB0, 2}});
    {
        Library library;
        ASSERT_TRUE(library.open(folder()));
        ASSERT_TRUE(library.add(gig, "Gig"));
        ASSERT_TRUE(library.add(ballad, "Ballad"));
        ASSERT_TRUE(library.addToSetList("Tour", 1, *library.named("Gig")));
        ASSERT_TRUE(library.addToSetList("Tour", 2, *library.named("Ballad")));
        auto tour = library.setList("Tour");
        tour->channel = 1;
        ASSERT_TRUE(library.writeSetList(*tour));
    }
    QProcess serve;
    serve.setProcessEnvironment(headlessEnvironment());
    serve.start(QStringLiteral(VKV_PROGRAM),
                {"--serve", "--setlist", "Tour", "--out", box.listens(), "--in", box.answers(),
                 "--speed", "1000", "--verify", "--library", folder()});
    ASSERT_TRUE(serve.waitForStarted());
    Said out, err;
    ASSERT_TRUE(err.waitFor(serve, QProcess::StandardError, "program changes are taken from"))
        << err.text.toStdString();
    JackSender daw("vkvservedaw");
    ASSERT_TRUE(jacktools::connect(QString::fromStdString(daw.portName()),
                                   QStringLiteral("Virtual Korvane Vela:Motors")));

    daw.send({0xC0, 1});
    ASSERT_TRUE(out.waitFor(serve, QProcess::StandardOutput, "\tverified\n"))
        << out.text.toStdString() << err.text.toStdString();
    EXPECT_EQ(box.holds(), framed(gig));
    // Another channel is not the list's; an empty slot sends nothing and says so.
    daw.send({0xC1, 2});
    daw.send({0xC0, 5});
    ASSERT_TRUE(out.waitFor(serve, QProcess::StandardOutput, "nothing was sent\n"));

    // SIGTERM while Ballad goes: it goes whole, then the program ends with what the box holds.
    daw.send({0xC0, 2});
    ASSERT_TRUE(out.waitFor(serve, QProcess::StandardOutput, "Ballad\t1000 bytes/s\tsending\n"));
    ::kill(static_cast<pid_t>(serve.processId()), SIGTERM);
    ASSERT_TRUE(serve.waitForFinished(15000));
    out.waitFor(serve, QProcess::StandardOutput, "", 0);
    EXPECT_EQ(serve.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(serve.exitCode(), 143);
    EXPECT_EQ(box.holds(), framed(ballad));

    // One line an event: time, program change, configuration, speed, outcome.
    QStringList lines = out.text.split(u'\n', Qt::SkipEmptyParts);
    for (QString &line : lines)
        line = line.section(u'\t', 1); // the time
    EXPECT_EQ(lines, QStringList({
                         "program change 1 on channel 1\tGig\t1000 bytes/s\tsending",
                         "program change 1 on channel 1\tGig\t1000 bytes/s\tverified",
                         "program change 5 on channel 1\t\t1000 bytes/s\tthe set list \"Tour\" "
                         "has no slot for program 5; nothing was sent",
                         "program change 2 on channel 1\tBallad\t1000 bytes/s\tsending",
                         "program change 2 on channel 1\tBallad\t1000 bytes/s\tsent",
                         "\t\t1000 bytes/s\tended on signal 15; the box holds Ballad, not verified",
                     }))
        << out.text.toStdString();
    EXPECT_TRUE(err.text.contains("MIDI OUT port \"vkvservebox:in\" open."))
        << err.text.toStdString();

    Library library;
    ASSERT_TRUE(library.open(folder()));
    const auto history = library.history();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_TRUE(history[0].text().endsWith("recalled by program change 2 on channel 1 (set list "
                                           "Tour)"))
        << history[0].text().toStdString();
}

TEST_F(ServeJack, WaitsForABoxNotThereAtStartAndFollowsItByNameWhenItComesBack) {
    const DumpBytes gig = withRecords({{true, 0, 0xB0, 1}});
    {
        Library library;
        ASSERT_TRUE(library.open(folder()));
        ASSERT_TRUE(library.add(gig, "Gig"));
        ASSERT_TRUE(library.addToSetList("Tour", 1, *library.named("Gig")));
    }
    QProcess serve;
    serve.setProcessEnvironment(headlessEnvironment());
    serve.start(QStringLiteral(VKV_PROGRAM), {"--serve", "--setlist", "Tour", "--out",
                                              "vkvlatebox:in", "--fast", "--library", folder()});
    ASSERT_TRUE(serve.waitForStarted());
    Said out, err;
    ASSERT_TRUE(err.waitFor(serve, QProcess::StandardError, "program changes are taken from"));
    EXPECT_TRUE(err.text.contains("waiting for the MIDI OUT port \"vkvlatebox:in\": it is not "
                                  "there.\n"))
        << err.text.toStdString();
    JackSender daw("vkvlatedaw");
    ASSERT_TRUE(jacktools::connect(QString::fromStdString(daw.portName()),
                                   QStringLiteral("Virtual Korvane Vela:Motors")));
    for (int round = 0; round < 2; ++round) {
        // The box comes (back): it is opened by its name, and a recall reaches it.
        JackBox box(QStringLiteral(VKV_JACK_BOX), "vkvlatebox", 4096, 0);
        ASSERT_TRUE(box.ready);
        const QString opened = QStringLiteral("MIDI OUT port \"vkvlatebox:in\" open.\n");
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                err.waitFor(serve, QProcess::StandardError, "", 0);
                return err.text.count(opened) == round + 1;
            },
            10000))
            << err.text.toStdString();
        daw.send({0xC0, static_cast<unsigned char>(round == 0 ? 1 : 4)});
        ASSERT_TRUE(QTest::qWaitFor([&] { return box.holds() == framed(gig); }, 10000));
        box.quit();
        if (round == 0) {
            // A slot added while it serves is recalled from then on.
            Library library;
            ASSERT_TRUE(library.open(folder()));
            ASSERT_TRUE(library.addToSetList("Tour", 4, *library.named("Gig")));
            ASSERT_TRUE(err.waitFor(serve, QProcess::StandardError, "read again (2 slots)"));
        }
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                err.waitFor(serve, QProcess::StandardError, "", 0);
                return err.text.count("\" lost (") == round + 1;
            },
            10000))
            << err.text.toStdString();
    }
    // Said once a time it went, not at every look.
    EXPECT_EQ(err.text.count("waiting for"), 1) << err.text.toStdString();
    serve.terminate();
    ASSERT_TRUE(serve.waitForFinished(10000));
    EXPECT_EQ(serve.exitCode(), 143);
}
