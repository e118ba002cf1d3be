// The Pots and Buttons pages with presets: the page classes over controls made here the way the
// main window's layout makes them, driven through real key events.
#include "ButtonPage.h"
#include "ConfigImage.h"
#include "PotPage.h"
#include "PresetLibrary.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QSpinBox *spin(QWidget *parent, int min, int max, int value) {
    auto *box = new QSpinBox(parent);
    box->setRange(min, max);
    box->setValue(value);
    box->setKeyboardTracking(true);
    return box;
}

QComboBox *list(QWidget *parent, const QStringList &items, bool editable = false) {
    auto *combo = new QComboBox(parent);
    combo->setEditable(editable);
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    return combo;
}

void typeInto(QSpinBox *box, const QString &text) {
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
}

void typeInto(QComboBox *combo, const QString &text) {
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(combo, text);
}

void chooseItem(QComboBox *combo, int index) {
    combo->showPopup();
    QAbstractItemView *view = combo->view();
    view->setCurrentIndex(view->model()->index(index, combo->modelColumn()));
    QTest::keyClick(view, Qt::Key_Return);
    QApplication::processEvents();
}

std::string text(const QString &s) {
    return s.toStdString();
}

struct Presets {
    QTemporaryDir dir;
    PresetLibrary library;
    explicit Presets(const QByteArray &file = {}) {
        if (!file.isNull()) {
            QFile f(PresetLibrary::presetFilePath(dir.path()));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(file);
        }
        library.LoadPresets(dir.path());
    }
};

struct Pots {
    QWidget host;
    vkv::ConfigImage image;
    PotPage::Widgets c;
    std::unique_ptr<PotPage> page;

    Pots(const PresetLibrary &presets, int status = 0xB0, int byte1 = 7, int min = 0,
         int max = 127) {
        for (int p = 0; p < vkv::PotCount; ++p) {
            image.setPot(p, vkv::PotStatus, 0xB0);
            image.setPot(p, vkv::PotByte1, p % 128);
            image.setPot(p, vkv::PotMin, 0);
            image.setPot(p, vkv::PotMax, 127);
        }
        image.setPot(0, vkv::PotStatus, status);
        image.setPot(0, vkv::PotByte1, byte1);
        image.setPot(0, vkv::PotMin, min);
        image.setPot(0, vkv::PotMax, max);
        c.PotNumberInBank = spin(&host, 1, 16, 1);
        c.PotBank = spin(&host, 1, 16, 1);
        c.PotNumber = spin(&host, 0, 255, 0);
        c.PotPresetName = list(&host, {}, true);
        c.PotByte0A = list(&host, eventTypeItems());
        c.PotByte0BLabel = new QLabel("Midi Channel :", &host);
        c.PotByte0B = spin(&host, 1, 16, 1);
        c.PotByte0 = spin(&host, 144, 255, 144);
        c.PotByte0HEX = new QLabel("90", &host);
        c.PotByte1Label = new QLabel("Byte 1 :", &host);
        c.PotByte1 = spin(&host, 0, 255, 0);
        c.PotByte1HEX = new QLabel("00", &host);
        c.PotMin = spin(&host, 0, 127, 0);
        c.PotMinHEX = new QLabel("00", &host);
        c.PotMax = spin(&host, 0, 127, 0);
        c.PotMaxHEX = new QLabel("00", &host);
        page = std::make_unique<PotPage>(c, image, presets);
        page->fillPresetNames();
        host.show();
        page->UpdatePotPropsExecute(nullptr);
    }
};

struct Buttons {
    QWidget host;
    vkv::ConfigImage image;
    ButtonPage::Widgets c;
    std::unique_ptr<ButtonPage> page;

    Buttons(const PresetLibrary &presets, int status, int byte1, int byte2, int mode = 0) {
        image.setButton(0, vkv::ButtonStatus, status);
        image.setButton(0, vkv::ButtonByte1, byte1);
        image.setButton(0, vkv::ButtonByte2, byte2);
        image.setButton(0, vkv::ButtonMode, mode);
        c.ButtonNumberInBank = spin(&host, 1, 8, 1);
        c.ButtonBank = spin(&host, 1, 16, 1);
        c.ButtNumber = spin(&host, 0, 127, 0);
        c.ButtPresetName = list(&host, {}, true);
        c.ButtByte0A = list(&host, eventTypeItems());
        c.ButtByte0BLabel = new QLabel("Midi Channel :", &host);
        c.ButtByte0B = spin(&host, 1, 16, 1);
        c.ButtByte0 = spin(&host, 144, 255, 144);
        c.ButtByte0HEX = new QLabel("90", &host);
        c.ButtByte1Label = new QLabel("Byte 1 :", &host);
        c.ButtByte1 = spin(&host, 0, 255, 0);
        c.ButtByte1HEX = new QLabel("00", &host);
        c.ButtByte2Label = new QLabel("Byte 2 :", &host);
        c.ButtByte2 = spin(&host, 0, 255, 0);
        c.ButtByte2HEX = new QLabel("00", &host);
        c.ButtMode = list(&host, {"ON/OFF", "ON ONLY", "TOGGLE"});
        page = std::make_unique<ButtonPage>(c, image, presets);
        page->fillPresetNames();
        host.show();
        page->UpdateButtPropsExecute(nullptr);
    }
};

} // namespace

TEST(PotPresets, NameFollowsTheValuesAndPickingAppliesThem) {
    Presets presets("[POTPRESETS]\nB001007F=Modulation\nB007007F=Volume\n");
    Pots pots(presets.library);
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Volume");
    ASSERT_EQ(pots.c.PotPresetName->count(), 2);

    typeInto(pots.c.PotMax, "100");
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Unknown");
    EXPECT_EQ(pots.image.pot(0, vkv::PotMax), 100);

    chooseItem(pots.c.PotPresetName, 1);
    EXPECT_EQ(pots.c.PotMax->value(), 127);
    EXPECT_EQ(pots.image.pot(0, vkv::PotMax), 127);
    EXPECT_EQ(text(pots.c.PotMaxHEX->text()), "7F");
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Volume");

    chooseItem(pots.c.PotPresetName, 0);
    EXPECT_EQ(pots.image.pot(0, vkv::PotByte1), 1);
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
    const vkv::DumpBytes before = pots.image.bytes();
    chooseItem(pots.c.PotPresetName, 1);
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Second");
    EXPECT_EQ(pots.image.bytes(), before);
}

TEST(PotPresets, ValuesOutsideThePageRangesAreClamped) {
    Presets presets("[POTPRESETS]\n05FFC8FE=Wild\n");
    Pots pots(presets.library);
    chooseItem(pots.c.PotPresetName, 0);
    EXPECT_EQ(pots.c.PotByte0->value(), 144);
    EXPECT_EQ(pots.image.pot(0, vkv::PotStatus), 0x90);
    EXPECT_EQ(pots.image.pot(0, vkv::PotByte1), 0xFF);
    EXPECT_EQ(pots.image.pot(0, vkv::PotMin), 127);
    EXPECT_EQ(pots.image.pot(0, vkv::PotMax), 127);
    EXPECT_EQ(text(pots.c.PotByte0A->currentText()), "9 : Note On ");
    EXPECT_EQ(text(pots.c.PotByte1Label->text()), "Note Nr :");
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Wild");
}

TEST(PotPresets, TypingAppliesOnlyTheWholeNameOfTheSelectedItem) {
    Presets presets("[POTPRESETS]\nB007007F=Volume\nB00A007F=Pan\n");
    Pots pots(presets.library);
    chooseItem(pots.c.PotPresetName, 1); // Pan: byte 1 becomes 10
    EXPECT_EQ(pots.image.pot(0, vkv::PotByte1), 10);
    typeInto(pots.c.PotByte1, "7");
    EXPECT_EQ(text(pots.c.PotPresetName->currentText()), "Volume");

    // "Volume" is not the selected item: nothing happens.
    typeInto(pots.c.PotPresetName, "Volume");
    EXPECT_EQ(pots.image.pot(0, vkv::PotByte1), 7);
    // Part of the selected name, or in other letter case: nothing either.
    typeInto(pots.c.PotPresetName, "Pa");
    typeInto(pots.c.PotPresetName, "PAN");
    EXPECT_EQ(pots.image.pot(0, vkv::PotByte1), 7);
    // The whole name of the selected item, as it is written, applies it.
    typeInto(pots.c.PotPresetName, "Pan");
    EXPECT_EQ(pots.image.pot(0, vkv::PotByte1), 10);
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
    EXPECT_EQ(pots.image.pot(0, vkv::PotStatus), 0x90);
}

TEST(PotPage, BankFieldsDoNothingWhileThePageIsFilled) {
    Presets presets;
    Pots pots(presets.library);
    const vkv::DumpBytes before = pots.image.bytes();
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
    EXPECT_EQ(buttons.image.button(0, vkv::ButtonStatus), 0xA1);
    EXPECT_EQ(buttons.image.button(0, vkv::ButtonByte1), 0x3C);
    EXPECT_EQ(buttons.image.button(0, vkv::ButtonByte2), 0x64);
    EXPECT_EQ(buttons.image.button(0, vkv::ButtonMode), 2);
    EXPECT_EQ(text(buttons.c.ButtByte0A->currentText()), "A : Poly Aftertouch ");
    EXPECT_EQ(text(buttons.c.ButtByte2Label->text()), "Value :");
    EXPECT_EQ(text(buttons.c.ButtPresetName->currentText()), "Odd");

    // The mode takes no part in the look-up.
    chooseItem(buttons.c.ButtMode, 0);
    EXPECT_EQ(buttons.image.button(0, vkv::ButtonMode), 0);
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
    const vkv::DumpBytes before = buttons.image.bytes();
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
