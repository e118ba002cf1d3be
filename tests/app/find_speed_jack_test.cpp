// "Find Speed ..." and --find-speed over the tests' JACK server, against a stand-in box with a real
// input limit (support/jack_box.cpp): a buffer of 192 bytes that the box empties at a fixed rate,
// dropping what does not fit. At 450 bytes a second it takes speeds up to about 514; the buffer
// also takes the bursts of slices a busy machine sends after a stall.
#include "ChildProgram.h"
#include "ConfigImage.h"
#include "JackBox.h"
#include "JackWindow.h"
#include "TransferDesk.h"

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

class FindSpeedJack : public JackWindowTest {};

constexpr int BoxBuffer = 192;

JackBox box(const QString &client, double bytesPerSecond, const QStringList &options = {}) {
    return JackBox(QStringLiteral(VKV_JACK_BOX), client, BoxBuffer, bytesPerSecond, options);
}

// The built-in defaults, framed, as the editor starts with them and --find-speed sends them.
vkv::image::ConfigImage defaults() {
    vkv::image::ConfigImage image;
    EXPECT_TRUE(vkv::image::loadDefaultImage(image));
    image.frame();
    return image;
}

bool writeDump(const QString &path, const vkv::image::ConfigImage &image) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char *>(image.raw()), vkv::image::DumpSize) ==
               vkv::image::DumpSize;
}

// The window with both ports on `box`, and its "Find Speed ..." dialog once pressed.
struct SearchingWindow {
    JackWindow w;
    explicit SearchingWindow(JackBox &box) {
        EXPECT_FALSE(w.ui.FindSpeed->isEnabled());
        w.chooseOut(w.outIndex(box.listens()));
        EXPECT_FALSE(w.ui.FindSpeed->isEnabled()); // as "Request Sysex Dump", it needs both ports
        w.chooseIn(w.inIndex(box.answers()));
        EXPECT_TRUE(w.ui.FindSpeed->isEnabled());
    }
    QDialog *dialog() const { return w.form.findChild<QDialog *>("FindSpeedDialog"); }
    // Presses "Find Speed ...": true once its dialog shows.
    bool press() {
        QTest::mouseClick(w.ui.FindSpeed, Qt::LeftButton);
        return dialog() && dialog()->isVisible();
    }
    template <typename T> T *part(const char *name) const { return dialog()->findChild<T *>(name); }
    QStringList lines() const {
        QStringList all;
        const auto *tries = part<QListWidget>("FindSpeedTries");
        for (int i = 0; i < tries->count(); ++i)
            all << tries->item(i)->text();
        return all;
    }
    QString note() const { return part<QLabel>("FindSpeedNote")->text(); }
    // Runs the window until `done`, keeping each line that said what a try will take.
    bool runUntil(const std::function<bool()> &done, int milliseconds, QStringList &going) const {
        return testui::waitUntil(
            [&] {
                for (const QString &line : lines())
                    if (line.contains(
                            QRegularExpression(": sending .*verifying.*, about \\d+ s$")) &&
                        !going.contains(line))
                        going << line;
                return done();
            },
            milliseconds);
    }
    Bytes image() const {
        return Bytes(w.form.image().bytes().begin(), w.form.image().bytes().end());
    }
};

ChildRun findSpeed(const QStringList &arguments) {
    return runChild(QStringLiteral(VKV_PROGRAM), QStringList{"--find-speed"} + arguments,
                    QProcessEnvironment::systemEnvironment(), 60000);
}

} // namespace

TEST_F(FindSpeedJack, TheDialogFindsASpeedABoxHoldingTheConfigurationTakesAndEndsWithItThere) {
    // A box that keeps only whole dumps, and holds the editor's configuration already: only a
    // try whose own send landed may verify.
    QTemporaryDir dir;
    const QString held = dir.filePath("held.syx");
    ASSERT_TRUE(writeDump(held, defaults()));
    JackBox slow = box("vkvspeedbox", 450, {"whole", "holds=" + held});
    ASSERT_TRUE(slow.ready);
    SearchingWindow rig(slow);
    // What the window tells whoever records its transfers: which sends and answers were tests.
    QStringList sends, answers;
    auto *transfers = rig.w.form.findChild<vkv::app::TransferDesk *>();
    ASSERT_NE(transfers, nullptr);
    QObject::connect(transfers, &vkv::app::TransferDesk::configurationSent, transfers,
                     [&](const vkv::image::DumpBytes &dump, const QString &, bool test) {
                         const bool itself = Bytes(dump.begin(), dump.end()) == rig.image();
                         sends << QString(itself ? "configuration" : "copy") +
                                      (test ? " test" : "");
                     });
    QObject::connect(transfers, &vkv::app::TransferDesk::dumpReceived, transfers,
                     [&](const vkv::image::DumpBytes &, const QString &, bool test) {
                         answers << (test ? "test" : "answer");
                     });
    ASSERT_TRUE(rig.press());
    EXPECT_EQ(rig.dialog()->windowModality(), Qt::WindowModal);
    auto *use = rig.part<QPushButton>("FindSpeedUse");
    EXPECT_FALSE(use->isEnabled());
    const auto *intro = rig.part<QLabel>("FindSpeedIntro");
    EXPECT_TRUE(intro && intro->text().contains("The box holds test copies while the search runs, "
                                                "and is sent the configuration itself at the end, "
                                                "verified."));

    QStringList going;
    ASSERT_TRUE(rig.runUntil([&] { return rig.note().startsWith("Found: "); }, 90000, going))
        << rig.lines().join('\n').toStdString() << "\n"
        << rig.note().toStdString();
    const QStringList lines = rig.lines();
    std::printf("%s\n%s\n", qPrintable(lines.join('\n')), qPrintable(rig.note()));
    // The box answered before anything was sent to it; the fast send overran it, and so did 600,
    // though the box held the configuration all along: it kept it, unlike the test copies.
    EXPECT_EQ(lines[0], "The box answers: it holds the editor's configuration");
    EXPECT_EQ(lines[1], "Fast send (one message): 1 record differs");
    EXPECT_EQ(lines[2], "600 bytes/s: 1 record differs");
    // Each try said what it would take while it ran, and every one asked the box.
    EXPECT_TRUE(going.contains("600 bytes/s: sending a test copy and verifying it, about 4 s"))
        << going.join('\n').toStdString();
    EXPECT_TRUE(testui::waitUntil([&] { return slow.requests() == lines.size(); }, 2000))
        << slow.requests();

    // The speed found verified three times in a row, and the configuration, one step below it,
    // went last.
    ASSERT_TRUE(use->isEnabled());
    const QString last = lines.back();
    EXPECT_TRUE(last.startsWith("The configuration at ") &&
                last.endsWith(" bytes/s, one step below: verified"))
        << last.toStdString();
    const int chosen = last.section(' ', 3, 3).toInt();
    EXPECT_GT(chosen, 300);
    EXPECT_LE(chosen, 450);
    EXPECT_TRUE(rig.note().endsWith(
        QStringLiteral("The box holds the configuration, verified at %1 bytes/s.").arg(chosen)));
    EXPECT_EQ(slow.holds(), rig.image());
    EXPECT_EQ(rig.w.ui.StatusLabel->text(),
              QStringLiteral("Speed found: %1 bytes/s; the box holds what was sent").arg(chosen));
    EXPECT_EQ(testui::textColour(rig.w.ui.StatusLabel), QColor(0, 128, 128));
    // Test copies went, marked as tests, and the box's answers to them; the first answer and the
    // configuration's send and answer are no tests.
    QStringList copies(lines.size() - 2, "copy test");
    EXPECT_EQ(sends, copies << "configuration");
    QStringList tests(lines.size() - 2, "test");
    EXPECT_EQ(answers, QStringList{"answer"} << tests << "answer");

    // "Use this speed" sets the speed field, which the settings remember.
    QTest::mouseClick(use, Qt::LeftButton);
    EXPECT_FALSE(rig.dialog()->isVisible());
    EXPECT_EQ(rig.w.ui.SysexSendSpeed->value(), chosen);
    EXPECT_EQ(rig.w.form.settings().speed(), chosen);
}

TEST_F(FindSpeedJack, CancelStopsTheTryAtOnceAndRestoresTheBoxAtTheFastestSpeedBelowTheFailures) {
    JackBox slow = box("vkvcancelbox", 450);
    ASSERT_TRUE(slow.ready);
    SearchingWindow rig(slow);
    // Not while a send is under way: the search's first send would cut it.
    testui::typeInto(rig.w.ui.SysexSendSpeed, "1000");
    QTest::mouseClick(rig.w.ui.SlowSendToKorvane, Qt::LeftButton);
    EXPECT_FALSE(rig.press());
    EXPECT_EQ(rig.w.ui.StatusLabel->text(), "A send is under way: find the speed once it is over");
    const auto left = [&] { return rig.w.ui.BytesToSend->text().toInt(); };
    ASSERT_TRUE(testui::waitUntil([&] { return left() > 0; }, 5000));
    ASSERT_TRUE(testui::waitUntil([&] { return left() == 0; }, 10000));
    ASSERT_TRUE(rig.press());
    auto *cancel = rig.part<QPushButton>("FindSpeedCancel");
    EXPECT_EQ(cancel->text(), "Cancel");
    QStringList going;
    ASSERT_TRUE(
        rig.runUntil([&] { return rig.lines().contains("400 bytes/s: verified"); }, 60000, going))
        << rig.lines().join('\n').toStdString();
    // The next try goes out, and is cancelled while it sends: the box has part of it.
    ASSERT_TRUE(testui::waitUntil([&] { return left() > 0; }, 5000));
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(rig.lines().contains("500 bytes/s: cancelled"))
        << rig.lines().join('\n').toStdString();
    EXPECT_EQ(rig.note(), "Cancelled: the box may hold a test copy or a broken configuration. "
                          "Sending it the configuration at 400 bytes/s, the fastest that "
                          "verified, verified.");
    EXPECT_TRUE(rig.dialog()->isVisible());
    ASSERT_TRUE(rig.runUntil([&] { return cancel->text() == "Close"; }, 30000, going));
    EXPECT_EQ(rig.lines().back(), "The configuration at 400 bytes/s, to restore the box: verified");
    EXPECT_EQ(rig.note(), "Cancelled. Sent the configuration at 400 bytes/s, and it verified: the "
                          "box holds it.");
    // All but the cancelled try asked the box.
    EXPECT_TRUE(testui::waitUntil([&] { return slow.requests() == rig.lines().size() - 1; }, 2000))
        << slow.requests();
    EXPECT_EQ(slow.holds(), rig.image());
    EXPECT_FALSE(rig.part<QPushButton>("FindSpeedUse")->isEnabled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(rig.dialog()->isVisible());
}

TEST_F(FindSpeedJack, TheCommandLineOffersTheFastSendToABoxThatTakesItAndFailsOnOneThatIsSilent) {
    JackBox quick = box("vkvquickbox", 0);
    JackBox mute = box("vkvmutebox", 0, {"silent"});
    ASSERT_TRUE(quick.ready && mute.ready);
    QTemporaryDir dir;
    const QString syx = dir.filePath("mine.syx");
    vkv::image::ConfigImage image = defaults();
    image.bytes()[vkv::image::potOffset(2) + 1] = 0x11;
    ASSERT_TRUE(writeDump(syx, image));

    const QString library = dir.filePath("library");
    const ChildRun taken =
        findSpeed({"--out", "vkvquickbox", "--in", "vkvquickbox", syx, "--library", library});
    EXPECT_EQ(taken.code, 0) << taken.err.toStdString();
    EXPECT_EQ(taken.err, "");
    const QStringList said = taken.out.split(u'\n');
    ASSERT_GE(said.size(), 2);
    // The box held nothing of it yet: every record but the empty ones differs.
    EXPECT_TRUE(said[0].startsWith("The box answers: it holds ") &&
                said[0].endsWith(" records that differ from the configuration"))
        << said[0].toStdString();
    EXPECT_EQ(said.mid(1).join(u'\n'),
              "Each try sends a test copy of the configuration (Byte 1 of pot 16.16 changed) "
              "unlike what the box held before it, so a try verifies only when its own send "
              "landed. The box holds test copies while the search runs, and is sent the "
              "configuration itself at the end, verified.\n"
              "Fast send (one message): verified\n"
              "Fast send (one message) again: verified\n"
              "Fast send (one message) again: verified\n"
              "The configuration as one message: verified\n"
              "The box takes the configuration as one message (the fast send): test copies "
              "verified 3 times of 3, then the configuration itself, and the box holds it. No "
              "paced speed is too fast for it; 600 bytes/s is the fastest the pacing goes.\n"
              "Send with --fast, or at any --speed.\n");
    EXPECT_EQ(quick.holds(), Bytes(image.bytes().begin(), image.bytes().end()));
    EXPECT_TRUE(testui::waitUntil([&] { return quick.requests() == 5; }, 2000)) << quick.requests();
    // The library kept each send, verified, and each answer, the first question's too: the three
    // test copies and their answers marked as tests, the configuration's send and answer not.
    const QString history =
        runChild(QStringLiteral(VKV_PROGRAM), {"--library-history", "--library", library},
                 QProcessEnvironment::systemEnvironment(), 10000)
            .out;
    EXPECT_EQ(history.count(QRegularExpression("\tsent to [^\t]*, verified \\(test copy\\)\t")), 3)
        << history.toStdString();
    EXPECT_EQ(history.count(QRegularExpression("\tsent to [^\t]*, verified\t")), 1)
        << history.toStdString();
    EXPECT_EQ(history.count(QRegularExpression("\treceived from [^\t]* \\(test copy\\)\t")), 3)
        << history.toStdString();
    EXPECT_EQ(history.count("\treceived from "), 5) << history.toStdString();

    // A box that never answers is never sent a configuration.
    const ChildRun silent =
        findSpeed({"--out", "vkvmutebox", "--in", "vkvmutebox", "--timeout", "1"});
    EXPECT_EQ(silent.code, 1);
    EXPECT_EQ(silent.out, "");
    EXPECT_TRUE(
        silent.err.contains("vkvela: no answer from the box within 1 s to a request for its "
                            "configuration; nothing was sent. Check the --in port and the "
                            "box's cables.\n"))
        << silent.err.toStdString();
    EXPECT_TRUE(testui::waitUntil([&] { return mute.requests() == 1; }, 2000));
    EXPECT_EQ(mute.dumps(), 0);
}

TEST_F(FindSpeedJack, TheCommandLineStopsAtOnceWhenItsMidiInPortIsLost) {
    // The box's output goes after its second answer (the first question's and the fast send's),
    // while the try at 600 bytes/s is under way; its input stays.
    JackBox unplugging = box("vkvunplugbox", 450, {"unplug=2"});
    ASSERT_TRUE(unplugging.ready);
    const ChildRun lost = findSpeed({"--out", "vkvunplugbox", "--in", "vkvunplugbox"});
    EXPECT_EQ(lost.code, 1) << lost.out.toStdString();
    EXPECT_TRUE(testui::waitUntil([&] { return unplugging.unplugged(); }, 2000));
    // The try at 600 ended where it was, and nothing was asked or sent after it.
    EXPECT_TRUE(lost.out.contains(
        QRegularExpression("\nFast send \\(one message\\): \\d+ records differ\n600 bytes/s: "
                           "stopped after \\d+ of 1543 bytes, the MIDI IN port was lost\n$")))
        << lost.out.toStdString();
    EXPECT_EQ(unplugging.requests(), 2);
    EXPECT_TRUE(lost.err.contains("vkvela: the MIDI IN port was lost (vkvunplugbox:out gone); the "
                                  "search stopped, and the box may hold a test copy or a broken "
                                  "configuration. Send it the configuration again.\n"))
        << lost.err.toStdString();
}
