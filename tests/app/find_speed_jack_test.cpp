// "Find Speed ..." and --find-speed over the tests' JACK server, against a stand-in box with a real
// input limit (support/jack_box.cpp): a buffer of 192 bytes that the box empties at a fixed rate,
// dropping what does not fit. At 450 bytes a second it takes speeds up to about 514; the buffer
// also takes the bursts of slices a busy machine sends after a stall.
#include "ChildProgram.h"
#include "ConfigImage.h"
#include "JackBox.h"
#include "JackWindow.h"

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
                    if (line.contains("sending and verifying, about") && !going.contains(line))
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

TEST_F(FindSpeedJack, TheDialogFindsASpeedTheBoxTakesAndLeavesItHoldingTheConfiguration) {
    JackBox slow = box("vkvspeedbox", 450);
    ASSERT_TRUE(slow.ready);
    SearchingWindow rig(slow);
    ASSERT_TRUE(rig.press());
    EXPECT_EQ(rig.dialog()->windowModality(), Qt::WindowModal);
    auto *use = rig.part<QPushButton>("FindSpeedUse");
    EXPECT_FALSE(use->isEnabled());

    QStringList going;
    ASSERT_TRUE(rig.runUntil([&] { return rig.note().startsWith("Found: "); }, 90000, going))
        << rig.lines().join('\n').toStdString() << "\n"
        << rig.note().toStdString();
    const QStringList lines = rig.lines();
    std::printf("%s\n%s\n", qPrintable(lines.join('\n')), qPrintable(rig.note()));
    // The box answered before anything was sent to it; the fast send overran it, and so did 600.
    EXPECT_TRUE(lines[0].startsWith("The box answers: it holds ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("Fast send (one message): ") && lines[1].endsWith(" differ"))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("600 bytes/s: ") && lines[2].endsWith(" differ"))
        << lines[2].toStdString();
    // Each try said what it would take while it ran, and every one asked the box.
    EXPECT_TRUE(going.contains("600 bytes/s: sending and verifying, about 4 s"))
        << going.join('\n').toStdString();
    EXPECT_TRUE(testui::waitUntil([&] { return slow.requests() == lines.size(); }, 2000))
        << slow.requests();

    // The speed found verified three times in a row, and the last send, one step below it, too.
    ASSERT_TRUE(use->isEnabled());
    const QString last = lines.back();
    EXPECT_TRUE(last.contains(", one step below: verified")) << last.toStdString();
    const int chosen = last.section(' ', 0, 0).toInt();
    EXPECT_GT(chosen, 300);
    EXPECT_LE(chosen, 450);
    EXPECT_TRUE(rig.note().endsWith(
        QStringLiteral("The box holds the configuration, verified at %1 bytes/s.").arg(chosen)));
    EXPECT_EQ(slow.holds(), rig.image());
    EXPECT_EQ(rig.w.ui.StatusLabel->text(),
              QStringLiteral("Speed found: %1 bytes/s; the box holds what was sent").arg(chosen));
    EXPECT_EQ(testui::textColour(rig.w.ui.StatusLabel), QColor(0, 128, 128));

    // "Use this speed" sets the speed field, which the settings remember.
    QTest::mouseClick(use, Qt::LeftButton);
    EXPECT_FALSE(rig.dialog()->isVisible());
    EXPECT_EQ(rig.w.ui.SysexSendSpeed->value(), chosen);
    EXPECT_EQ(rig.w.form.settings().speed(), chosen);
}

TEST_F(FindSpeedJack, CancelStopsTheTryAtOnceAndRestoresTheBoxAtTheSlowestSpeedThatVerified) {
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
    EXPECT_EQ(rig.note(), "Cancelled: the box may hold a broken configuration. Sending it once "
                          "more at 400 bytes/s, verified.");
    EXPECT_TRUE(rig.dialog()->isVisible());
    ASSERT_TRUE(rig.runUntil([&] { return cancel->text() == "Close"; }, 30000, going));
    EXPECT_EQ(rig.lines().back(), "400 bytes/s, once more: verified");
    EXPECT_EQ(rig.note(), "Cancelled. Sent once more at 400 bytes/s, the configuration verified: "
                          "the box holds it.");
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
    vkv::image::ConfigImage image;
    ASSERT_TRUE(vkv::image::loadDefaultImage(image));
    image.bytes()[vkv::image::potOffset(2) + 1] = 0x11;
    image.frame();
    {
        QFile file(syx);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char *>(image.raw()), vkv::image::DumpSize);
    }

    const QString library = dir.filePath("library");
    const ChildRun taken =
        findSpeed({"--out", "vkvquickbox", "--in", "vkvquickbox", syx, "--library", library});
    EXPECT_EQ(taken.code, 0) << taken.err.toStdString();
    EXPECT_EQ(taken.err, "");
    EXPECT_EQ(taken.out,
              "Fast send (one message): verified\n"
              "Fast send (one message) again: verified\n"
              "Fast send (one message) again: verified\n"
              "The box takes the configuration as one message (the fast send): verified 3 times "
              "of 3, and the box holds it. No paced speed is too fast for it; 600 bytes/s is the "
              "fastest the pacing goes.\n"
              "Send with --fast, or at any --speed.\n");
    EXPECT_EQ(quick.holds(), Bytes(image.bytes().begin(), image.bytes().end()));
    EXPECT_TRUE(testui::waitUntil([&] { return quick.requests() == 4; }, 2000)) << quick.requests();
    // The library kept each send, verified, and each answer, the first question's too.
    const QString history =
        runChild(QStringLiteral(VKV_PROGRAM), {"--library-history", "--library", library},
                 QProcessEnvironment::systemEnvironment(), 10000)
            .out;
    EXPECT_EQ(history.count(QRegularExpression("\tsent to [^\t]*, verified\t")), 3)
        << history.toStdString();
    EXPECT_EQ(history.count("\treceived from "), 4) << history.toStdString();

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
