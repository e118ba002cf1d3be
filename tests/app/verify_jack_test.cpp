// "Verify after send" and comparing with the box, through the real main window over the tests'
// JACK server, with plain JACK clients standing in for the box.
#include "CompareWindow.h"
#include "JackRecorder.h"
#include "JackWindow.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeView>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Events = std::vector<JackRecorder::Event>;

class VerifyJack : public JackWindowTest {};

const Bytes Request(vkv::image::DumpRequest.begin(), vkv::image::DumpRequest.end());

// Runs the window's event loop until `status` shows, answering the box's first request after
// `from` with `answer` (none when it is empty).
bool answerUntil(JackWindow &w, JackRecorder &box, JackSender &boxOut, const Bytes &answer,
                 const QString &status, int milliseconds) {
    bool answered = answer.empty();
    return testui::waitUntil(
        [&] {
            if (!answered) {
                const Events got = box.waitUntil([](const Events &) { return true; }, 0);
                if (std::any_of(got.begin(), got.end(),
                                [](const auto &e) { return e.bytes == Request; })) {
                    answered = true;
                    boxOut.send(answer);
                }
            }
            return w.ui.StatusLabel->text() == status;
        },
        milliseconds);
}

// The window with both ports on a stand-in box and "Verify after send" on.
struct VerifyingWindow {
    JackRecorder box;
    JackSender boxOut;
    JackWindow w;
    explicit VerifyingWindow(const std::string &name) : box(name), boxOut(name + "src") {
        w.chooseOut(w.outIndex(QString::fromStdString(box.portName())));
        w.chooseIn(w.inIndex(QString::fromStdString(boxOut.portName())));
        QTest::mouseClick(w.ui.VerifyAfterSend, Qt::LeftButton);
        EXPECT_TRUE(w.ui.VerifyAfterSend->isChecked());
    }
    Bytes image() const {
        return Bytes(w.form.image().bytes().begin(), w.form.image().bytes().end());
    }
};

} // namespace

TEST_F(VerifyJack, VerifyAfterSendSaysWhatTheBoxHoldsAndNeverTouchesTheEditor) {
    JackRecorder box("vkvverbox");
    JackSender boxOut("vkvverboxsrc");
    JackWindow w;
    EXPECT_FALSE(w.ui.VerifyAfterSend->isEnabled()); // no ports yet
    w.chooseOut(w.outIndex(QString::fromStdString(box.portName())));
    w.chooseIn(w.inIndex(QString::fromStdString(boxOut.portName())));
    ASSERT_TRUE(w.ui.VerifyAfterSend->isEnabled());
    EXPECT_FALSE(w.ui.VerifyAfterSend->isChecked());
    QTest::mouseClick(w.ui.VerifyAfterSend, Qt::LeftButton);
    ASSERT_TRUE(w.ui.VerifyAfterSend->isChecked());

    const auto send = [&] {
        box.clear();
        w.form.SendToKorvaneClick(w.ui.SendToKorvane); // the hidden fast send
    };
    send();
    const Bytes sent(w.form.image().bytes().begin(), w.form.image().bytes().end()); // framed
    EXPECT_TRUE(answerUntil(w, box, boxOut, sent, "Verified: the box holds what was sent", 3000))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), QColor(0, 128, 128));

    // The box took one byte otherwise: that pot is named, and the editor keeps its configuration.
    Bytes other = sent;
    other[vkv::image::potOffset(2) + 1] ^= 0x01;
    send();
    EXPECT_TRUE(answerUntil(w, box, boxOut, other, "Verify failed: 1 records differ", 3000))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), QColor(255, 0, 0));
    EXPECT_EQ(w.ui.SysexReceiveCount->text(), "Done !!");
    EXPECT_EQ(Bytes(w.form.image().bytes().begin(), w.form.image().bytes().end()), sent);
    auto *compare = w.form.findChild<vkv::compare::CompareWindow *>();
    ASSERT_NE(compare, nullptr);
    EXPECT_TRUE(compare->isVisible());
    auto *rows = compare->findChild<QTreeView *>("CompareRows");
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->model()->rowCount(), 1);
    EXPECT_EQ(rows->model()->index(0, 0).data().toString(), "Pot 1.3 (ID 2)");

    // An answer that a status byte cut on its way.
    Bytes cut = sent;
    std::copy_n(Bytes{0x90, 0x3C, 0x40}.begin(), 3, cut.begin() + 700);
    send();
    EXPECT_TRUE(answerUntil(w, box, boxOut, cut, "Verify failed: the answer was broken", 3000))
        << w.ui.StatusLabel->text().toStdString();

    // A box that stays silent.
    send();
    EXPECT_TRUE(answerUntil(w, box, boxOut, {}, "Verify failed: no answer from the box", 7000))
        << w.ui.StatusLabel->text().toStdString();

    // Comparing with the box asks it now and shows the answer beside the editor's.
    compare->hide();
    box.clear();
    w.form.compareWithBox();
    EXPECT_TRUE(
        answerUntil(w, box, boxOut, other, "The box differs from the editor in 1 records", 3000))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_TRUE(compare->isVisible());
    EXPECT_EQ(Bytes(w.form.image().bytes().begin(), w.form.image().bytes().end()), sent);
}

TEST_F(VerifyJack, ALateAnswerNeverBecomesTheEditorsConfigurationButADumpDuringTheSettleDoes) {
    VerifyingWindow rig("vkvlatebox");
    auto &[box, boxOut, w] = rig;
    const auto image = [&] { return rig.image(); };
    const Bytes sent = image();
    Bytes other = sent;
    for (int pot = 0; pot < 16; ++pot)
        other[vkv::image::potOffset(pot) + 1] ^= 0x01;

    // The box answers the verify's request 7 s after it went, when the check has given up.
    w.form.SendToKorvaneClick(w.ui.SendToKorvane);
    ASSERT_TRUE(testui::waitUntil(
        [&] {
            const Events got = box.recorded();
            return std::any_of(got.begin(), got.end(),
                               [](const auto &e) { return e.bytes == Request; });
        },
        3000));
    QElapsedTimer since;
    since.start();
    EXPECT_TRUE(testui::waitUntil(
        [&] { return w.ui.StatusLabel->text() == "Verify failed: no answer from the box"; }, 7000));
    const int potShown = w.ui.PotByte1->value();
    testui::waitUntil([] { return false; }, static_cast<int>(7000 - since.elapsed()));
    boxOut.send(other);
    EXPECT_TRUE(testui::waitUntil(
        [&] {
            return w.ui.StatusLabel->text() ==
                   "The box answered after 7 s; its answer was not taken";
        },
        3000))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_EQ(image(), sent);
    EXPECT_EQ(w.ui.PotByte1->value(), potShown);

    // A dump that comes while the next check settles, before it asks, is the user's.
    box.clear();
    w.form.RequestSysexDumpClick(w.ui.RequestSysexDump);
    w.form.SendToKorvaneClick(w.ui.SendToKorvane);
    boxOut.send(other);
    EXPECT_TRUE(testui::waitUntil([&] { return image() == other; }, 2000));
    EXPECT_EQ(w.ui.SysexReceiveCount->text(), "Done !!");
}

TEST_F(VerifyJack, APacedSendSendsItsStartsConfigurationAndTheVerifyChecksTheLastThatWent) {
    VerifyingWindow rig("vkvcopybox");
    auto &[box, boxOut, w] = rig;
    const auto image = [&] { return rig.image(); };
    testui::typeInto(w.ui.SysexSendSpeed, "1000");
    const auto dumpsReceived = [&] {
        const Bytes all = JackRecorder::sysExBytes(box.recorded());
        return all.size() >= 2 * vkv::image::DumpSize
                   ? Bytes(all.begin() + vkv::image::DumpSize,
                           all.begin() + 2 * vkv::image::DumpSize)
                   : Bytes(all.begin(),
                           all.begin() + std::min<std::size_t>(all.size(), vkv::image::DumpSize));
    };

    // The editor changes during the send: the box gets the configuration the send began with.
    QTest::mouseClick(w.ui.SlowSendToKorvane, Qt::LeftButton);
    const Bytes atStart = image();
    testui::settle(300);
    w.ui.PotByte1->setValue(w.ui.PotByte1->value() ^ 1);
    ASSERT_NE(image(), atStart);
    EXPECT_TRUE(answerUntil(w, box, boxOut, atStart,
                            "Verified: the box holds what was sent; the editor changed during the "
                            "send; the box holds what was sent when it started",
                            8000))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_EQ(dumpsReceived(), atStart);

    // A fast send held behind a paced one goes after it: the box holds the fast one, and that is
    // what the verify compares with.
    box.clear();
    QTest::mouseClick(w.ui.SlowSendToKorvane, Qt::LeftButton);
    const Bytes paced = image();
    testui::settle(300);
    w.ui.PotByte1->setValue(w.ui.PotByte1->value() ^ 2);
    const Bytes fast = image();
    w.form.SendToKorvaneClick(w.ui.SendToKorvane);
    EXPECT_TRUE(answerUntil(w, box, boxOut, fast, "Verified: the box holds what was sent", 8000))
        << w.ui.StatusLabel->text().toStdString();
    const Bytes all = JackRecorder::sysExBytes(box.recorded());
    ASSERT_GE(all.size(), 2u * vkv::image::DumpSize);
    EXPECT_EQ(Bytes(all.begin(), all.begin() + vkv::image::DumpSize), paced);
    EXPECT_EQ(dumpsReceived(), fast);
}
