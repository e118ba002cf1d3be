// "Verify after send" and comparing with the box, through the real main window over the tests'
// JACK server, with plain JACK clients standing in for the box.
#include "CompareWindow.h"
#include "JackRecorder.h"
#include "JackWindow.h"

#include <QPushButton>
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
