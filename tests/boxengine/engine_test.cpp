#include "BoxEngine.h"

#include <gtest/gtest.h>

namespace vkv::box {

using Bytes = std::vector<unsigned char>;

namespace {

struct EngineRig {
    image::ConfigImage configImage;
    LcdScreens lcd;
    BoxEngine engine{configImage, lcd};
    std::vector<Bytes> sent;
    int refreshes = 0;

    EngineRig() {
        image::loadDefaultImage(configImage);
        engine.setOutput([this](char s, char d1, char d2) {
            sent.push_back({static_cast<unsigned char>(s), static_cast<unsigned char>(d1),
                            static_cast<unsigned char>(d2)});
        });
        lcd.refresh = [this] { ++refreshes; };
    }
    std::vector<std::string> screen() const {
        return {lcd.line(0), lcd.line(1), lcd.line(2), lcd.line(3)};
    }
};

} // namespace

TEST(LcdLines, PaddingCuttingAndEarlyNul) {
    LcdScreens lcd;
    int refreshes = 0;
    lcd.refresh = [&] { ++refreshes; };

    char exact[17] = "0123456789ABCDEF";
    lcd.WriteLCDLine(0, exact);
    EXPECT_EQ(lcd.line(0), "0123456789ABCDEF");

    char empty[17] = {};
    lcd.WriteLCDLine(1, empty);
    EXPECT_EQ(lcd.line(1), std::string(16, ' '));

    char longer[19] = "   Korvanevela    ";
    lcd.WriteLCDLine(2, longer);
    EXPECT_EQ(lcd.line(2), "   Korvanevela  ");
    EXPECT_EQ(longer[16], '\0'); // the caller's buffer is cut too

    char early[17] = "abc\0efghijklmnop";
    lcd.WriteLCDLine(3, early);
    EXPECT_EQ(lcd.line(3), "abc" + std::string(13, ' '));
    EXPECT_EQ(std::string(early), "abc" + std::string(13, ' '));

    // Codes below 32 pass unchanged.
    lcd.WriteLCDLine(0, std::string("\x01\x02\x0F"));
    EXPECT_EQ(lcd.line(0), std::string("\x01\x02\x0F") + std::string(13, ' '));

    // A line number beyond 3 stores nothing but still refreshes.
    const std::string before = lcd.joined();
    lcd.WriteLCDLine(4, std::string("nowhere"));
    EXPECT_EQ(lcd.joined(), before);
    EXPECT_EQ(refreshes, 6);
    EXPECT_EQ(lcd.joined().size(), 64u);
}

TEST(BoxEngine, PotEventSendsRecordAndShowsPotScreen) {
    EngineRig rig;
    rig.configImage.setPot(0, image::PotStatus, 0xB0);
    rig.configImage.setPot(0, image::PotByte1, 0x07);
    rig.engine.KnobChange(0, 100);
    ASSERT_EQ(rig.sent.size(), 1u);
    EXPECT_EQ(rig.sent[0], (Bytes{0xB0, 0x07, 0x64}));
    EXPECT_EQ(rig.screen(), (std::vector<std::string>{"Potmeter Moved  ", "Knob ID : 0     ",
                                                      "Knob Nr : 1.1   ", "Value   : 100   "}));
    EXPECT_EQ(rig.engine.lastEventId, 0);
    EXPECT_EQ(rig.engine.potValues[0], 100);
    EXPECT_EQ(rig.refreshes, 1); // the four lines are shown in one go

    // The message is already out when the screen is shown.
    rig.lcd.refresh = [&rig] { EXPECT_EQ(rig.sent.size(), 2u); };
    rig.engine.KnobChange(0, 5);
}

TEST(BoxEngine, PotIdsAcrossBanks) {
    EngineRig rig;
    rig.engine.currentBank = 3;
    rig.engine.KnobChange(5, 9);
    EXPECT_EQ(rig.engine.lastEventId, 37);
    EXPECT_EQ(rig.lcd.line(1), "Knob ID : 37    ");
    EXPECT_EQ(rig.lcd.line(2), "Knob Nr : 3.6   ");
    // Default pot 37: Controller 37 on channel 1.
    EXPECT_EQ(rig.sent.back(), (Bytes{0xB0, 37, 9}));

    rig.engine.currentBank = 16;
    rig.engine.KnobChange(15, 127);
    EXPECT_EQ(rig.engine.lastEventId, 255);
    EXPECT_EQ(rig.lcd.line(2), "Knob Nr : 16.16 ");
    // Default pot 255: k = 127, Controller 7 on channel 16.
    EXPECT_EQ(rig.sent.back(), (Bytes{0xBF, 7, 127}));
    EXPECT_EQ(rig.engine.potValues[255], 127);
    EXPECT_EQ(rig.engine.potValues[37], 9);
}

TEST(BoxEngine, BytesAreHandedOverUnmaskedWhateverTheType) {
    EngineRig rig;
    rig.configImage.setPot(4, image::PotStatus, 0x92);
    rig.configImage.setPot(4, image::PotByte1, 0x7F);
    rig.engine.KnobChange(4, 64);
    EXPECT_EQ(rig.sent.back(), (Bytes{0x92, 0x7F, 64}));

    rig.configImage.bytes()[image::potOffset(5)] = 0x70; // type F
    rig.configImage.setPot(5, image::PotByte1, 200);
    rig.engine.KnobChange(5, 200);
    EXPECT_EQ(rig.sent.back(), (Bytes{0xF0, 200, 200}));
    EXPECT_EQ(rig.lcd.line(3), "Value   : 200   ");

    // Only the low 8 bits of the knob position are sent.
    rig.engine.KnobChange(6, 0x105);
    EXPECT_EQ(rig.sent.back()[2], 0x05);
}

TEST(BoxEngine, BankLimitsAndBankScreen) {
    EngineRig rig;
    rig.engine.SendPotEvent(12, 50);
    rig.engine.BankDown();
    EXPECT_EQ(rig.engine.currentBank, 1);
    EXPECT_EQ(rig.screen(), (std::vector<std::string>{std::string(16, ' '), " Bank Nr 1      ",
                                                      " Selected       ", std::string(16, ' ')}));
    for (int i = 0; i < 20; ++i)
        rig.engine.SpecialButtPush(BoxEngine::BankUpTag);
    EXPECT_EQ(rig.engine.currentBank, 16);
    EXPECT_EQ(rig.lcd.line(1), " Bank Nr 16     ");
    rig.engine.SpecialButtPush(BoxEngine::BankDownTag);
    EXPECT_EQ(rig.engine.currentBank, 15);
    rig.engine.SpecialButtPush(7); // any other tag: nothing
    EXPECT_EQ(rig.engine.currentBank, 15);
    EXPECT_EQ(rig.lcd.line(1), " Bank Nr 15     ");
    // Bank changes send nothing and keep the last event.
    EXPECT_EQ(rig.sent.size(), 1u);
    EXPECT_EQ(rig.engine.lastEventId, 12);
}

} // namespace vkv::box
