#include "ButtonPage.h"
#include "ConfigImage.h"
#include "PotPage.h"
#include "TForm1.h"
#include "UiDriver.h"
#include "WindowControls.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <functional>

using vkv::backendapi::Backend;

namespace {

struct Editor {
    TForm1 form{Backend::None};
    Ui::TForm1 &ui = *form.ui;
    const vkv::image::ConfigImage &image = form.image();
    Editor() {
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void showPots() { ui.PageControl1->setCurrentWidget(ui.PotSettings); }
    void showButtons() { ui.PageControl1->setCurrentWidget(ui.ButtSettings); }
    std::uint8_t stored(int offset) const { return image.bytes()[offset]; }
    // Records as a file or a dump may bring them.
    void write(const std::function<void(vkv::image::ConfigImage &)> &records) {
        form.history().change(vkv::image::ImageChange::received(), records);
    }
};

} // namespace

// ---- Pots page ----

TEST(PotsPage, NumberAndBankFollowEachOther) {
    Editor e;
    e.showPots();
    testui::typeInto(e.ui.PotNumber, "37");
    EXPECT_EQ(e.ui.PotBank->value(), 3);
    EXPECT_EQ(e.ui.PotNumberInBank->value(), 6);
    EXPECT_EQ(e.ui.PotByte1->value(), 37); // pot 37 of the default image: Controller 37

    testui::typeInto(e.ui.PotBank, "1");
    EXPECT_EQ(e.ui.PotNumber->value(), 5);
    testui::typeInto(e.ui.PotNumberInBank, "16");
    EXPECT_EQ(e.ui.PotNumber->value(), 15);
    EXPECT_EQ(e.ui.PotByte1->value(), 15);

    testui::typeInto(e.ui.PotBank, "16");
    EXPECT_EQ(e.ui.PotNumber->value(), 255);
    EXPECT_EQ(e.ui.PotByte0->value(), 0xBF); // pots 128..255: channel changes fastest
    EXPECT_EQ(e.ui.PotByte1->value(), 7);

    // The arrows of the bank field step a whole bank.
    e.ui.PotBank->setFocus();
    QTest::keyClick(e.ui.PotBank, Qt::Key_Down);
    EXPECT_EQ(e.ui.PotNumber->value(), 239);
    EXPECT_EQ(e.ui.PotNumberInBank->value(), 16);
}

TEST(PotsPage, EventTypeKeepsTheChannelAndStoresTheStatus) {
    Editor e;
    e.showPots();
    testui::typeInto(e.ui.PotNumber, "9");
    testui::typeInto(e.ui.PotByte0B, "3");
    EXPECT_EQ(e.ui.PotByte0->value(), 0xB2);
    EXPECT_EQ(e.stored(vkv::image::potOffset(9)), 0x32);

    testui::chooseItem(e.ui.PotByte0A, 5); // "E : Pitch Bender "
    EXPECT_EQ(e.ui.PotByte0->value(), 0xE2);
    EXPECT_EQ(e.ui.PotByte0HEX->text(), "E2");
    EXPECT_EQ(e.ui.PotByte0B->value(), 3);
    EXPECT_EQ(e.ui.PotByte0A->currentText(), "E : Pitch Bender ");
    EXPECT_EQ(e.ui.PotByte1Label->text(), "Pitch MSB :");
    EXPECT_EQ(e.ui.PotByte0BLabel->text(), "Midi Channel:");
    EXPECT_EQ(e.stored(vkv::image::potOffset(9)), 0x62);
    // Only that byte of that record changed.
    EXPECT_EQ(e.image.pot(9, vkv::image::PotByte1), 9);
    EXPECT_EQ(e.image.pot(8, vkv::image::PotStatus), 0xB0);
    EXPECT_EQ(e.image.pot(10, vkv::image::PotStatus), 0xB0);
}

TEST(PotsPage, ChannelSixteenThenMetaEvent) {
    Editor e;
    e.showPots();
    testui::chooseItem(e.ui.PotByte0A, 0);
    EXPECT_EQ(e.ui.PotByte0->value(), 0x90);
    EXPECT_EQ(e.ui.PotByte1Label->text(), "Note Nr :");
    testui::typeInto(e.ui.PotByte0B, "16");
    EXPECT_EQ(e.ui.PotByte0->value(), 0x9F);
    EXPECT_EQ(e.ui.PotByte0HEX->text(), "9F");
    EXPECT_EQ(e.stored(vkv::image::potOffset(0)), 0x1F);

    testui::chooseItem(e.ui.PotByte0A, 6); // "F : Meta Event "
    EXPECT_EQ(e.ui.PotByte0->value(), 0xFF);
    EXPECT_EQ(e.ui.PotByte1Label->text(), "Meta Event Nr :");
    EXPECT_EQ(e.ui.PotByte0BLabel->text(), "Meta ID :");
    EXPECT_EQ(e.ui.PotByte0B->value(), 16);
    EXPECT_EQ(e.stored(vkv::image::potOffset(0)), 0x7F);

    // Back to a channel event: the caption loses its blank before the colon.
    testui::chooseItem(e.ui.PotByte0A, 3);
    EXPECT_EQ(e.ui.PotByte0->value(), 0xCF);
    EXPECT_EQ(e.ui.PotByte0BLabel->text(), "Midi Channel:");
    EXPECT_EQ(e.ui.PotByte1Label->text(), "Program Nr :");
}

TEST(PotsPage, TypedStatusByteSetsTypeAndChannel) {
    Editor e;
    e.showPots();
    testui::typeInto(e.ui.PotByte0, "213"); // 0xD5
    EXPECT_EQ(e.ui.PotByte0A->currentText(), "D : Channel Aftertouch ");
    EXPECT_EQ(e.ui.PotByte0B->value(), 6);
    EXPECT_EQ(e.ui.PotByte1Label->text(), "Pressure Value :");
    EXPECT_EQ(e.ui.PotByte0HEX->text(), "D5");
    EXPECT_EQ(e.stored(vkv::image::potOffset(0)), 0x55);
    // Half-typed numbers below the range are not taken; the last whole one stays stored.
    testui::typeInto(e.ui.PotByte0, "1");
    EXPECT_EQ(e.ui.PotByte0->value(), 213);
    EXPECT_EQ(e.stored(vkv::image::potOffset(0)), 0x55);
    e.ui.PotByte1->setFocus(); // leaving the field shows the value again
    EXPECT_EQ(e.ui.PotByte0->text(), "213");
}

TEST(PotsPage, ByteOneOf200IsStoredUnmasked) {
    Editor e;
    e.showPots();
    testui::typeInto(e.ui.PotNumber, "4");
    testui::typeInto(e.ui.PotByte1, "200");
    EXPECT_EQ(e.ui.PotByte1->value(), 200);
    EXPECT_EQ(e.ui.PotByte1HEX->text(), "C8");
    EXPECT_EQ(e.stored(vkv::image::potOffset(4, vkv::image::PotByte1)), 200);
    // A number beyond the range cannot be typed: the third digit is refused.
    testui::typeInto(e.ui.PotByte1, "300");
    EXPECT_EQ(e.ui.PotByte1->value(), 30);
    EXPECT_EQ(e.stored(vkv::image::potOffset(4, vkv::image::PotByte1)), 30);
}

TEST(PotsPage, MinAndMaxAreStoredAsTheyAreEvenCrossed) {
    Editor e;
    e.showPots();
    testui::typeInto(e.ui.PotNumber, "6");
    testui::typeInto(e.ui.PotMin, "100");
    testui::typeInto(e.ui.PotMax, "20");
    EXPECT_EQ(e.ui.PotMinHEX->text(), "64");
    EXPECT_EQ(e.ui.PotMaxHEX->text(), "14");
    EXPECT_EQ(e.image.pot(6, vkv::image::PotMin), 100);
    EXPECT_EQ(e.image.pot(6, vkv::image::PotMax), 20);
    EXPECT_EQ(e.ui.PotMin->value(), 100);
    // The up arrow stops at 127.
    testui::typeInto(e.ui.PotMax, "127");
    QTest::keyClick(e.ui.PotMax, Qt::Key_Up);
    EXPECT_EQ(e.image.pot(6, vkv::image::PotMax), 127);
}

TEST(PotsPage, ShowingPotsWritesNothing) {
    Editor e;
    e.showPots();
    e.write([](vkv::image::ConfigImage &image) {
        auto &bytes = image.bytes();
        bytes[vkv::image::potOffset(5)] = 0x05; // reads as 0x85: below what the page shows
        bytes[vkv::image::potOffset(6, vkv::image::PotMin)] = 0xF0; // beyond the spin edit's range
        bytes[vkv::image::potOffset(7, vkv::image::PotByte1)] = 0xFE;
    });
    const auto &bytes = e.image.bytes();
    const vkv::image::DumpBytes before = bytes;
    e.ui.PotNumber->setFocus();
    for (int p = 0; p < 255; ++p)
        QTest::keyClick(e.ui.PotNumber, Qt::Key_PageUp);
    EXPECT_EQ(e.ui.PotNumber->value(), 255);
    testui::typeInto(e.ui.PotNumber, "5");
    EXPECT_EQ(e.ui.PotByte0->value(), 144);
    testui::typeInto(e.ui.PotNumber, "6");
    EXPECT_EQ(e.ui.PotMin->value(), 127);
    testui::typeInto(e.ui.PotNumber, "7");
    EXPECT_EQ(e.ui.PotByte1HEX->text(), "FE");
    EXPECT_EQ(bytes, before);
}

TEST(PotsPage, AnEqualRecordRaisesNoChange) {
    Editor e;
    e.showPots();
    // Pot 1 gets the values that pot 0 shows.
    e.write([](vkv::image::ConfigImage &image) { image.setPot(1, vkv::image::PotByte1, 0); });
    e.ui.PotPresetName->setFocus();
    QTest::keyClick(e.ui.PotPresetName, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(e.ui.PotPresetName, "my own words");
    QSignalSpy byte0(e.ui.PotByte0, &QSpinBox::valueChanged);
    QSignalSpy byte1(e.ui.PotByte1, &QSpinBox::valueChanged);
    QSignalSpy max(e.ui.PotMax, &QSpinBox::valueChanged);
    e.ui.PotNumber->setFocus();
    QTest::keyClick(e.ui.PotNumber, Qt::Key_PageUp);
    EXPECT_EQ(e.ui.PotNumber->value(), 1);
    EXPECT_EQ(byte0.size() + byte1.size() + max.size(), 0);
    EXPECT_EQ(e.ui.PotPresetName->currentText(), "my own words");
    // A differing record looks its name up again.
    QTest::keyClick(e.ui.PotNumber, Qt::Key_PageUp);
    EXPECT_EQ(e.ui.PotPresetName->currentText(), "Breath Controller (CC 2)");
}

TEST(PotsPage, LearntValuesAreStoredAndNamed) {
    Editor e;
    e.showPots();
    testui::typeInto(e.ui.PotNumber, "20");
    // Learning sets the two controls as the program, not through the keyboard.
    e.ui.PotByte0->setValue(0xB5);
    e.ui.PotByte1->setValue(7);
    EXPECT_EQ(e.stored(vkv::image::potOffset(20)), 0x35);
    EXPECT_EQ(e.stored(vkv::image::potOffset(20, vkv::image::PotByte1)), 7);
    EXPECT_EQ(e.ui.PotByte0B->value(), 6);
    EXPECT_EQ(e.ui.PotByte0A->currentIndex(), 2);
    EXPECT_EQ(e.ui.PotPresetName->currentText(), "Volume (CC 7) Ch 6");
    // The page's own selection of the event type is no user choice: the Tag is down again.
    EXPECT_EQ(e.ui.PotByte0A->property("Tag").toInt(), 0);
    EXPECT_EQ(e.ui.PotByte0B->property("Tag").toInt(), 0);
}

// ---- Buttons page ----

TEST(ButtonsPage, NumberAndBankFollowEachOther) {
    Editor e;
    e.showButtons();
    testui::typeInto(e.ui.ButtNumber, "13");
    EXPECT_EQ(e.ui.ButtonBank->value(), 2);
    EXPECT_EQ(e.ui.ButtonNumberInBank->value(), 6);
    EXPECT_EQ(e.ui.ButtByte1->value(), 48 + 5);

    testui::typeInto(e.ui.ButtonBank, "16");
    testui::typeInto(e.ui.ButtonNumberInBank, "8");
    EXPECT_EQ(e.ui.ButtNumber->value(), 127);
    EXPECT_EQ(e.ui.ButtByte0->value(), 0x97); // buttons 64..127: channels 1 to 8

    testui::typeInto(e.ui.ButtonBank, "1");
    EXPECT_EQ(e.ui.ButtNumber->value(), 7);
    EXPECT_EQ(e.ui.ButtonNumberInBank->value(), 8);
    // Nine cannot be typed into a bank of eight.
    testui::typeInto(e.ui.ButtonNumberInBank, "9");
    EXPECT_EQ(e.ui.ButtNumber->value(), 7);
}

TEST(ButtonsPage, ProgramChangeKeepsByteTwo) {
    Editor e;
    e.showButtons();
    testui::typeInto(e.ui.ButtNumber, "3");
    testui::typeInto(e.ui.ButtByte2, "99");
    testui::chooseItem(e.ui.ButtByte0A, 3); // "C : Program Change "
    EXPECT_EQ(e.ui.ButtByte0->value(), 0xC0);
    EXPECT_EQ(e.ui.ButtByte0BLabel->text(), "Midi Channel :");
    EXPECT_EQ(e.ui.ButtByte1Label->text(), "Program Nr :");
    EXPECT_EQ(e.ui.ButtByte2Label->text(), "Not Used :");
    EXPECT_EQ(e.stored(vkv::image::buttonOffset(3)), 0x40);
    EXPECT_EQ(e.ui.ButtByte2->value(), 99);
    EXPECT_EQ(e.image.button(3, vkv::image::ButtonByte2), 99);
    testui::typeInto(e.ui.ButtByte2, "250");
    EXPECT_EQ(e.image.button(3, vkv::image::ButtonByte2), 250);
    EXPECT_EQ(e.ui.ButtByte2HEX->text(), "FA");

    testui::chooseItem(e.ui.ButtByte0A, 6);
    EXPECT_EQ(e.ui.ButtByte0BLabel->text(), "Meta ID :");
    EXPECT_EQ(e.ui.ButtByte1Label->text(), "Meta Event Nr :");
    EXPECT_EQ(e.ui.ButtByte2Label->text(), "Value :");
    testui::chooseItem(e.ui.ButtByte0A, 5);
    EXPECT_EQ(e.ui.ButtByte2Label->text(), "Pitch LSB :");
    EXPECT_EQ(e.stored(vkv::image::buttonOffset(3)), 0x60);
}

TEST(ButtonsPage, ModeIsStoredWithoutALookUp) {
    Editor e;
    e.showButtons();
    testui::typeInto(e.ui.ButtNumber, "2");
    e.ui.ButtPresetName->setFocus();
    QTest::keyClick(e.ui.ButtPresetName, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(e.ui.ButtPresetName, "kept");
    testui::chooseItem(e.ui.ButtMode, 2);
    EXPECT_EQ(e.image.button(2, vkv::image::ButtonMode), 2);
    EXPECT_EQ(e.ui.ButtPresetName->currentText(), "kept");
    // The bytes of the record are untouched.
    EXPECT_EQ(e.image.button(2, vkv::image::ButtonByte1), 50);
    EXPECT_EQ(e.image.button(2, vkv::image::ButtonStatus), 0x90);
}

TEST(ButtonsPage, UnknownModeShowsNoSelection) {
    Editor e;
    e.showButtons();
    e.write([](vkv::image::ConfigImage &image) {
        image.setButton(9, vkv::image::ButtonMode, 5);
        image.setButton(10, vkv::image::ButtonMode, 1);
    });
    testui::typeInto(e.ui.ButtNumber, "10");
    EXPECT_EQ(e.ui.ButtMode->currentText(), "ON ONLY");
    testui::typeInto(e.ui.ButtNumber, "9");
    EXPECT_EQ(e.ui.ButtMode->currentIndex(), -1);
    EXPECT_EQ(e.image.button(9, vkv::image::ButtonMode), 5); // showing wrote nothing
    testui::chooseItem(e.ui.ButtMode, 1);
    EXPECT_EQ(e.image.button(9, vkv::image::ButtonMode), 1);
}

TEST(ButtonsPage, LearntBytesAreStored) {
    Editor e;
    e.showButtons();
    testui::typeInto(e.ui.ButtNumber, "40");
    e.ui.ButtByte0->setValue(0x93);
    e.ui.ButtByte1->setValue(60);
    e.ui.ButtByte2->setValue(100);
    EXPECT_EQ(e.stored(vkv::image::buttonOffset(40)), 0x13);
    EXPECT_EQ(e.image.button(40, vkv::image::ButtonByte1), 60);
    EXPECT_EQ(e.image.button(40, vkv::image::ButtonByte2), 100);
    EXPECT_EQ(e.ui.ButtByte0A->currentText(), "9 : Note On ");
    EXPECT_EQ(e.ui.ButtByte0B->value(), 4);
    EXPECT_EQ(e.ui.ButtByte1HEX->text(), "3C");
    EXPECT_EQ(e.ui.ButtByte2HEX->text(), "64");
}

TEST(ButtonsPage, AnEqualRecordChangesOnlyTheMode) {
    Editor e;
    e.showButtons();
    // Button 1 gets button 0's bytes and another mode.
    e.write([](vkv::image::ConfigImage &image) {
        image.setButton(1, vkv::image::ButtonByte1, 48);
        image.setButton(1, vkv::image::ButtonMode, 1);
    });
    QSignalSpy byte0(e.ui.ButtByte0, &QSpinBox::valueChanged);
    QSignalSpy byte1(e.ui.ButtByte1, &QSpinBox::valueChanged);
    QSignalSpy byte2(e.ui.ButtByte2, &QSpinBox::valueChanged);
    const vkv::image::DumpBytes before = e.image.bytes();
    e.ui.ButtNumber->setFocus();
    QTest::keyClick(e.ui.ButtNumber, Qt::Key_PageUp);
    EXPECT_EQ(byte0.size() + byte1.size() + byte2.size(), 0);
    EXPECT_EQ(e.ui.ButtMode->currentText(), "ON ONLY");
    EXPECT_EQ(e.image.bytes(), before);
}

TEST(ButtonsPage, ChannelBeyondTheRangeCannotBeTyped) {
    Editor e;
    e.showButtons();
    testui::typeInto(e.ui.ButtByte0B, "17");
    EXPECT_EQ(e.ui.ButtByte0B->value(), 1); // "17" refused, "1" kept
    EXPECT_EQ(e.ui.ButtByte0->value(), 0x90);
    testui::typeInto(e.ui.ButtByte0B, "12");
    EXPECT_EQ(e.ui.ButtByte0->value(), 0x9B);
    EXPECT_EQ(e.stored(vkv::image::buttonOffset(0)), 0x1B);
    QTest::keyClick(e.ui.ButtByte0B, Qt::Key_Up);
    EXPECT_EQ(e.ui.ButtByte0->value(), 0x9C);
}
