// Short messages coming in at the main window's input over the tests' JACK server: learn into the
// Pots and Buttons pages, and motorized knobs that follow and pass the messages on.
#include "JackRecorder.h"
#include "JackWindow.h"
#include "TFaderDesk.h"
#include "TKnob.h"

#include <QCheckBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Events = std::vector<JackRecorder::Event>;

class IncomingJack : public JackWindowTest {};

Bytes bytesOf(const Events &events, std::size_t i) {
    return events.at(i).bytes;
}

// Runs the event loop, where the incoming messages are handled, until `count` events have
// reached the recorder or the time is up; returns them.
Events waitForEvents(const JackRecorder &box, std::size_t count, int milliseconds = 5000) {
    testui::waitUntil([&] { return box.recorded().size() >= count; }, milliseconds);
    return box.recorded();
}

} // namespace

TEST_F(IncomingJack, LearnFillsTheFieldsAndTheRecordAndTheBoxesKeepTheirRules) {
    JackSender sender("vkvlearnsrc");
    JackWindow w;
    w.chooseIn(w.inIndex(QString::fromStdString(sender.portName())));
    ASSERT_TRUE(w.form.MidiIn1->Using());

    // The check boxes: one learn box at a time; motorized pots wait while either is on.
    QTest::mouseClick(w.ui.PageControl1->tabBar(), Qt::LeftButton, {},
                      w.ui.PageControl1->tabBar()->tabRect(1).center());
    w.ui.vMotPots->click();
    QTest::mouseClick(w.ui.LearnPot, Qt::LeftButton);
    EXPECT_FALSE(w.ui.vMotPots->isEnabled());
    EXPECT_TRUE(w.ui.vMotPots->isChecked());
    w.ui.PageControl1->setCurrentWidget(w.ui.ButtSettings);
    QTest::mouseClick(w.ui.LearnButt, Qt::LeftButton);
    EXPECT_FALSE(w.ui.LearnPot->isChecked());
    EXPECT_FALSE(w.ui.vMotPots->isEnabled());
    QTest::mouseClick(w.ui.LearnButt, Qt::LeftButton);
    EXPECT_TRUE(w.ui.vMotPots->isEnabled());
    EXPECT_TRUE(w.ui.vMotPots->isChecked());

    // Learn a pot: the Pots page comes up with the status and byte 1; the record takes them.
    w.ui.PageControl1->setCurrentWidget(w.ui.FileSheet);
    w.ui.PotNumber->setValue(20);
    w.ui.LearnPot->click();
    ASSERT_TRUE(
        sendUntil(sender, {0xB2, 0x07, 0x64}, [&] { return w.ui.PotByte0->value() == 178; }));
    EXPECT_EQ(w.ui.PageControl1->currentWidget(), w.ui.PotSettings);
    EXPECT_EQ(w.ui.PotByte1->value(), 7);
    EXPECT_EQ(w.form.image().pot(20, vkv::image::PotStatus), 0xB2);
    EXPECT_EQ(w.form.image().pot(20, vkv::image::PotByte1), 7);
    EXPECT_EQ(w.form.image().pot(20, vkv::image::PotMax), 127); // the value is no part of it
    // Note Off learns nothing.
    sender.send({0x80, 0x3C, 0x00});
    testui::settle(300);
    EXPECT_EQ(w.ui.PotByte0->value(), 178);

    // Learn a button: all three bytes; its mode stays.
    w.ui.LearnButt->click();
    w.ui.ButtNumber->setValue(9);
    const int mode = w.form.image().button(9, vkv::image::ButtonMode);
    ASSERT_TRUE(
        sendUntil(sender, {0x93, 0x3C, 0x7F}, [&] { return w.ui.ButtByte0->value() == 147; }));
    EXPECT_EQ(w.ui.PageControl1->currentWidget(), w.ui.ButtSettings);
    EXPECT_EQ(w.ui.ButtByte1->value(), 60);
    EXPECT_EQ(w.ui.ButtByte2->value(), 127);
    EXPECT_EQ(w.form.image().button(9, vkv::image::ButtonStatus), 0x93);
    EXPECT_EQ(w.form.image().button(9, vkv::image::ButtonByte2), 127);
    EXPECT_EQ(w.form.image().button(9, vkv::image::ButtonMode), mode);
    EXPECT_EQ(w.form.image().pot(20, vkv::image::PotStatus), 0xB2); // learn went to the button
}

TEST_F(IncomingJack, LearnStoresAStatusThePageShowedAlready) {
    using namespace vkv::image;
    JackSender sender("vkvlearnlowsrc");
    JackWindow w;
    w.chooseIn(w.inIndex(QString::fromStdString(sender.portName())));
    ASSERT_TRUE(w.form.MidiIn1->Using());

    // Records whose stored status reads 0x85 (a file or a dump can hold any byte): the pages show
    // the 0x90 they can, and the other bytes already equal the message's, so learning it changes
    // nothing on the page.
    w.form.history().change(vkv::image::ImageChange::received(),
                            [](vkv::image::ConfigImage &image) {
                                image.bytes()[potOffset(20)] = 0x05;
                                image.setPot(20, PotByte1, 0x3C);
                                image.bytes()[buttonOffset(9)] = 0x05;
                                image.setButton(9, ButtonByte1, 0x3C);
                                image.setButton(9, ButtonByte2, 0x40);
                                image.setButton(9, ButtonMode, 2);
                            });
    const auto &image = w.form.image();
    w.ui.PotNumber->setValue(20);
    w.ui.ButtNumber->setValue(9);
    ASSERT_EQ(w.ui.PotByte0->value(), 0x90);
    ASSERT_EQ(w.ui.ButtByte0->value(), 0x90);
    const auto pot = [&] {
        return Bytes{image.pot(20, PotStatus), image.pot(20, PotByte1), image.pot(20, PotMin),
                     image.pot(20, PotMax)};
    };
    const auto button = [&] {
        return Bytes{image.button(9, ButtonStatus), image.button(9, ButtonByte1),
                     image.button(9, ButtonByte2), image.button(9, ButtonMode)};
    };
    const Bytes potBefore = pot();

    // The record takes the learnt bytes all the same. The page that comes to the front says the
    // message has been learnt.
    const auto learnt = [&](QWidget *page) {
        return sendUntil(sender, {0x90, 0x3C, 0x40},
                         [&] { return w.ui.PageControl1->currentWidget() == page; });
    };
    w.ui.LearnPot->click();
    ASSERT_TRUE(learnt(w.ui.PotSettings));
    EXPECT_EQ(pot(), (Bytes{0x90, 0x3C, potBefore[2], potBefore[3]}));
    EXPECT_EQ(button(), (Bytes{0x85, 0x3C, 0x40, 2}));

    w.ui.LearnButt->click();
    w.ui.PageControl1->setCurrentWidget(w.ui.FileSheet);
    ASSERT_TRUE(learnt(w.ui.ButtSettings));
    EXPECT_EQ(button(), (Bytes{0x90, 0x3C, 0x40, 2})); // the mode as it was
}

TEST_F(IncomingJack, MotorizedKnobsFollowMatchingMessagesAndPassThemOn) {
    JackSender sender("vkvmotorsrc");
    JackRecorder box("vkvmotorbox");
    JackWindow w;
    w.chooseIn(w.inIndex(QString::fromStdString(sender.portName())));
    w.chooseOut(w.outIndex(QString::fromStdString(box.portName())));
    // Our own ports are never offered: a knob's echo would come straight back in.
    JackWindow second;
    for (QComboBox *list : {second.ui.MIDIOutComboBox, second.ui.MIDIInComboBox})
        for (int i = 0; i < list->count(); ++i)
            EXPECT_FALSE(list->itemText(i).startsWith("Virtual Korvane Vela") ||
                         list->itemText(i).startsWith("vkvela "))
                << list->itemText(i).toStdString();

    const auto write = [&w](const std::function<void(vkv::image::ConfigImage &)> &records) {
        w.form.history().change(vkv::image::ImageChange::received(), records);
    };
    write([](vkv::image::ConfigImage &image) {
        for (int pot : {3, 7}) { // Controller 7 on channel 1
            image.setPot(pot, vkv::image::PotStatus, 0xB0);
            image.setPot(pot, vkv::image::PotByte1, 7);
        }
        image.setPot(7, vkv::image::PotMax, 50);
        image.setPot(5, vkv::image::PotStatus, 0x90); // Note On 60, from 10 up
        image.setPot(5, vkv::image::PotByte1, 60);
        image.setPot(5, vkv::image::PotMin, 10);
    });
    w.ui.vMotPots->click();
    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    TFaderDesk *desk = w.form.faderDesk();
    ASSERT_EQ(waitForEvents(box, 48).size(), 48u);
    box.clear();

    // Both matching knobs move, pot 3 first, each sending its event within its own range.
    ASSERT_TRUE(
        sendUntil(sender, {0xB0, 0x07, 0x40}, [&] { return desk->knob(3)->Position() == 64; }));
    Events got = waitForEvents(box, 2);
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(bytesOf(got, 0), (Bytes{0xB0, 0x07, 0x40}));
    EXPECT_EQ(bytesOf(got, 1), (Bytes{0xB0, 0x07, 0x32}));
    EXPECT_EQ(desk->knob(7)->Position(), 50);
    EXPECT_EQ(desk->knob(0)->Position(), 0); // pot 0 sends Controller 0: no match

    // Note On with velocity 0 is matched like any other: the knob goes to its minimum.
    box.clear();
    sender.send({0x90, 0x3C, 0x00});
    got = waitForEvents(box, 1);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(bytesOf(got, 0), (Bytes{0x90, 0x3C, 0x0A}));
    EXPECT_EQ(desk->knob(5)->Position(), 10);

    // In bank 2 the knobs stand for pots 16..31, and so do the records they are matched with.
    QPushButton *bankUp = nullptr;
    for (auto *b : desk->findChildren<QPushButton *>())
        if (b->text() == "Bank +")
            bankUp = b;
    ASSERT_NE(bankUp, nullptr);
    QTest::mouseClick(bankUp, Qt::LeftButton);
    write([](vkv::image::ConfigImage &image) {
        image.setPot(18, vkv::image::PotStatus, 0xB0);
        image.setPot(18, vkv::image::PotByte1, 0x55);
    });
    box.clear();
    sender.send({0xB0, 0x02, 0x11}); // pot 2 of bank 1: no knob stands for it now
    sender.send({0xB0, 0x55, 0x33}); // pot 18: knob 2
    got = waitForEvents(box, 1);
    testui::settle(300); // and nothing more
    got = box.recorded();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(bytesOf(got, 0), (Bytes{0xB0, 0x55, 0x33}));
    EXPECT_EQ(desk->knob(2)->Position(), 0x33);

    // Nothing moves or goes out while the box is hidden.
    desk->hide();
    box.clear();
    sender.send({0xB0, 0x55, 0x22});
    testui::settle(400);
    const Events late = box.recorded();
    for (const auto &e : late)
        ADD_FAILURE() << "sent while hidden: " << std::hex << int(e.bytes[0]) << " "
                      << int(e.bytes[1]) << " " << int(e.bytes[2]);
    EXPECT_EQ(desk->knob(2)->Position(), 0x33);
}
