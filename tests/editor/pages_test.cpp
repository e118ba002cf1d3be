// The Pots and Buttons pages with presets, driven through real key events.
#include "PageRig.h"
#include "UiDriver.h"

#include <QTest>
#include <gtest/gtest.h>

namespace vkv::editor {

using testui::chooseItem;
using testui::typeInto;

TEST(PotPresets, NameFollowsTheValuesAndPickingAppliesThem) {
    Presets presets("[POTPRESETS]\nB001007F=Modulation\nB007007F=Volume\n");
    Pots pots(presets.library);
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Volume");
    ASSERT_EQ(pots.c.PotPresetName->count(), 2);

    typeInto(pots.c.PotMax, "100");
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Unknown");
    EXPECT_EQ(pots.image.pot(0, image::PotMax), 100);

    chooseItem(pots.c.PotPresetName, 1);
    EXPECT_EQ(pots.c.PotMax->value(), 127);
    EXPECT_EQ(pots.image.pot(0, image::PotMax), 127);
    EXPECT_EQ(text(pots.c.PotMaxHEX->text()), "7F");
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Volume");

    chooseItem(pots.c.PotPresetName, 0);
    EXPECT_EQ(pots.image.pot(0, image::PotByte1), 1);
    EXPECT_EQ(text(pots.c.PotByte1HEX->text()), "01");
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Modulation");
    EXPECT_FALSE(pots.page->PotPresetGuard);
}

TEST(PotPresets, KeysMatchRegardlessOfCase) {
    Presets presets("[potpresets]\nb007007f=Volume\n");
    Pots pots(presets.library);
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Volume");
}

TEST(PotPresets, TheFirstOfTwoEqualKeysNamesThemAndTheSecondStaysWhenPicked) {
    Presets presets("[POTPRESETS]\nB007007F=First\nB007007F=Second\n");
    Pots pots(presets.library);
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "First");
    const image::DumpBytes before = pots.image.bytes();
    chooseItem(pots.c.PotPresetName, 1);
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Second");
    EXPECT_EQ(pots.image.bytes(), before);
}

TEST(PotPresets, ValuesOutsideThePageRangesAreClamped) {
    Presets presets("[POTPRESETS]\n05FFC8FE=Wild\n");
    Pots pots(presets.library);
    chooseItem(pots.c.PotPresetName, 0);
    EXPECT_EQ(pots.c.PotByte0->value(), 144);
    EXPECT_EQ(pots.image.pot(0, image::PotStatus), 0x90);
    EXPECT_EQ(pots.image.pot(0, image::PotByte1), 0xFF);
    EXPECT_EQ(pots.image.pot(0, image::PotMin), 127);
    EXPECT_EQ(pots.image.pot(0, image::PotMax), 127);
    EXPECT_EQ(text(pots.c.PotByte0A->currentText()), "9 : Note On ");
    EXPECT_EQ(text(pots.c.PotByte1Label->text()), "Note Nr :");
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Wild");
}

TEST(PotPresets, TypingAppliesOnlyTheWholeNameOfTheSelectedItem) {
    Presets presets("[POTPRESETS]\nB007007F=Volume\nB00A007F=Pan\n");
    Pots pots(presets.library);
    chooseItem(pots.c.PotPresetName, 1); // Pan: byte 1 becomes 10
    EXPECT_EQ(pots.image.pot(0, image::PotByte1), 10);
    typeInto(pots.c.PotByte1, "7");
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Volume");

    // "Volume" is not the selected item: nothing happens.
    typeInto(pots.c.PotPresetName, "Volume");
    EXPECT_EQ(pots.image.pot(0, image::PotByte1), 7);
    // Part of the selected name, or in other letter case: nothing either.
    typeInto(pots.c.PotPresetName, "Pa");
    typeInto(pots.c.PotPresetName, "PAN");
    EXPECT_EQ(pots.image.pot(0, image::PotByte1), 7);
    // The whole name of the selected item, as it is written, applies it.
    typeInto(pots.c.PotPresetName, "Pan");
    EXPECT_EQ(pots.image.pot(0, image::PotByte1), 10);
    EXPECT_EQ(pots.c.PotPresetName->count(), 2); // nothing typed became an item
}

TEST(PotPresets, WithoutAFileEveryNameIsUnknown) {
    Presets presets;
    Pots pots(presets.library);
    EXPECT_EQ(pots.c.PotPresetName->count(), 0);
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Unknown");
    typeInto(pots.c.PotByte1, "9");
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Unknown");
}

TEST(PotPage, StartingValuesAreShownEvenWhenTheFirstRecordEqualsThem) {
    Presets presets;
    Pots pots(presets.library, 0x90, 0, 0, 0); // the very values the controls start with
    EXPECT_EQ(text(pots.c.PotByte0A->currentText()), "9 : Note On ");
    EXPECT_EQ(text(pots.c.PotByte1Label->text()), "Note Nr :");
    EXPECT_EQ(text(pots.c.PotByte0BLabel->text()), "Midi Channel:");
    EXPECT_EQ(text(pots.c.PotByte0HEX->text()), "90");
    EXPECT_EQ(pots.image.pot(0, image::PotStatus), 0x90);
}

TEST(PotPage, BankFieldsDoNothingWhileThePageIsFilled) {
    Presets presets;
    Pots pots(presets.library);
    const image::DumpBytes before = pots.image.bytes();
    pots.page->PotLoadGuard = true;
    typeInto(pots.c.PotBank, "3");
    EXPECT_EQ(pots.c.PotNumber->value(), 0);
    typeInto(pots.c.PotByte1, "99"); // shown, not stored
    EXPECT_EQ(text(pots.c.PotByte1HEX->text()), "63");
    pots.page->PotLoadGuard = false;
    EXPECT_EQ(pots.image.bytes(), before);
    typeInto(pots.c.PotNumberInBank, "2");
    EXPECT_EQ(pots.c.PotNumber->value(), 33);
    EXPECT_EQ(pots.c.PotByte1->value(), 33);
}

TEST(ButtPresets, EightDigitKeysLoseTheirTopAndTheModeIsKept) {
    Presets presets("[BUTTONPRESETS]\n903C7F=Middle C\n12A13C64=Odd\n");
    Buttons buttons(presets.library, 0x90, 60, 127, 2);
    EXPECT_EQ(text(buttons.c.ButtPresetName->currentText()), "Middle C");
    chooseItem(buttons.c.ButtPresetName, 1);
    EXPECT_EQ(buttons.c.ButtByte0->value(), 0xA1);
    EXPECT_EQ(buttons.image.button(0, image::ButtonStatus), 0xA1);
    EXPECT_EQ(buttons.image.button(0, image::ButtonByte1), 0x3C);
    EXPECT_EQ(buttons.image.button(0, image::ButtonByte2), 0x64);
    EXPECT_EQ(buttons.image.button(0, image::ButtonMode), 2);
    EXPECT_EQ(text(buttons.c.ButtByte0A->currentText()), "A : Poly Aftertouch ");
    EXPECT_EQ(text(buttons.c.ButtByte2Label->text()), "Value :");
    EXPECT_EQ(text(buttons.c.ButtPresetName->currentText()), "Odd");

    // The mode takes no part in the look-up.
    chooseItem(buttons.c.ButtMode, 0);
    EXPECT_EQ(buttons.image.button(0, image::ButtonMode), 0);
    EXPECT_EQ(text(buttons.c.ButtPresetName->currentText()), "Odd");
    typeInto(buttons.c.ButtByte2, "127");
    typeInto(buttons.c.ButtByte1, "60");
    chooseItem(buttons.c.ButtByte0A, 0);
    EXPECT_EQ(buttons.c.ButtByte0->value(), 0x91);
    buttons.c.ButtByte0B->setFocus();
    QTest::keyClick(buttons.c.ButtByte0B, Qt::Key_Down);
    EXPECT_EQ(text(buttons.c.ButtPresetName->currentText()), "Middle C");
}

TEST(ButtPresets, AKeyWithoutANumberIsListedButAppliesNothing) {
    Presets presets("[BUTTONPRESETS]\nxyz=Nothing\nUnnamed\n");
    Buttons buttons(presets.library, 0x90, 48, 127);
    ASSERT_EQ(buttons.c.ButtPresetName->count(), 2);
    EXPECT_EQ(text(buttons.c.ButtPresetName->itemText(1)), "Untitled");
    const image::DumpBytes before = buttons.image.bytes();
    chooseItem(buttons.c.ButtPresetName, 0);
    chooseItem(buttons.c.ButtPresetName, 1);
    EXPECT_EQ(buttons.image.bytes(), before);
    EXPECT_EQ(text(buttons.c.ButtPresetName->currentText()), "Untitled");
}

TEST(ButtonPage, StartingValuesAreShownEvenWhenTheFirstRecordEqualsThem) {
    Presets presets;
    Buttons buttons(presets.library, 0x90, 0, 0, 1);
    EXPECT_EQ(text(buttons.c.ButtByte0A->currentText()), "9 : Note On ");
    EXPECT_EQ(text(buttons.c.ButtByte1Label->text()), "Note Nr :");
    EXPECT_EQ(text(buttons.c.ButtByte2Label->text()), "Velocity :");
    EXPECT_EQ(text(buttons.c.ButtMode->currentText()), "ON ONLY");
}

} // namespace vkv::editor
