#include "BoxEngine.h"

#include <cstdio>

namespace vkv::box {

BoxEngine::BoxEngine(const image::ConfigImage &image, LcdScreens &lcd)
    : configImage(image), lcd(lcd) {}

int BoxEngine::potIdForKnob(int knobTag) const {
    return image::potFromBank(currentBank, knobTag + 1) % image::PotCount;
}

std::vector<int> BoxEngine::knobsMatching(int status, int data1, int knobCount) const {
    std::vector<int> knobs;
    for (int k = 0; k < knobCount; ++k) {
        const int pot = potIdForKnob(k);
        if (configImage.pot(pot, image::PotStatus) == status &&
            configImage.pot(pot, image::PotByte1) == data1)
            knobs.push_back(k);
    }
    return knobs;
}

void BoxEngine::KnobChange(int knobTag, int position) {
    SendPotEvent(static_cast<std::uint8_t>(potIdForKnob(knobTag)),
                 static_cast<std::uint8_t>(position));
}

void BoxEngine::showPotScreen(const char *title, int potId, int value) {
    const LcdScreens::Batch batch(lcd);
    char line[32];
    std::snprintf(line, sizeof line, "%s", title);
    lcd.WriteLCDLine(0, line);
    std::snprintf(line, sizeof line, "Knob ID : %d", potId);
    lcd.WriteLCDLine(1, line);
    std::snprintf(line, sizeof line, "Knob Nr : %d.%d ", image::potBank(potId),
                  image::potNumber(potId));
    lcd.WriteLCDLine(2, line);
    std::snprintf(line, sizeof line, "Value   : %d ", value);
    lcd.WriteLCDLine(3, line);
}

void BoxEngine::SendPotEvent(std::uint8_t potId, std::uint8_t value) {
    // The message goes first: the musician hears it without waiting for the screen, which shows
    // the same event a moment later within the same call.
    if (output)
        output(static_cast<char>(configImage.pot(potId, image::PotStatus)),
               static_cast<char>(configImage.pot(potId, image::PotByte1)),
               static_cast<char>(value));
    lastEventId = potId;
    potValues[potId] = value;
    showPotScreen("Potmeter Moved  ", potId, value);
}

void BoxEngine::SpecialButtPush(int tag) {
    if (tag == BankUpTag)
        BankUp();
    else if (tag == BankDownTag)
        BankDown();
}

void BoxEngine::BankUp() {
    currentBank = currentBank < LastBank ? currentBank + 1 : LastBank;
    showBankScreen();
}

void BoxEngine::BankDown() {
    currentBank = currentBank > FirstBank ? currentBank - 1 : FirstBank;
    showBankScreen();
}

void BoxEngine::showBankScreen() {
    const LcdScreens::Batch batch(lcd);
    char line[32];
    std::snprintf(line, sizeof line, "                ");
    lcd.WriteLCDLine(0, line);
    std::snprintf(line, sizeof line, " Bank Nr %d ", currentBank);
    lcd.WriteLCDLine(1, line);
    std::snprintf(line, sizeof line, " Selected       ");
    lcd.WriteLCDLine(2, line);
    std::snprintf(line, sizeof line, "                ");
    lcd.WriteLCDLine(3, line);
}

BoxEngine::KnobLoad BoxEngine::knobLoad(int k) const {
    const int status = configImage.pot(k, image::PotStatus);
    const int byte1 = configImage.pot(k, image::PotByte1);
    const int min = configImage.pot(k, image::PotMin);
    const int max = configImage.pot(k, image::PotMax);
    char hint[64];
    std::snprintf(hint, sizeof hint, "Pot %d.%d: %02X %02X, %d to %d", image::potBank(k),
                  image::potNumber(k), status, byte1, min, max);
    return {hint, potValues[static_cast<std::size_t>(k)], min, max};
}

void BoxEngine::finishBuild() {
    currentBank = FirstBank;
    lcd.showScreen("  Initializing  ", "    Virtual     ", "   Korvanevela    ", CreditLine);
}

void BoxEngine::ShowReadyScreen() {
    lcd.showScreen("  Initialized   ", "    Virtual     ", "   KorvaneQ2X   ", CreditLine);
}

void BoxEngine::RedrawLCD(int eventId) {
    const LcdScreens::Batch batch(lcd);
    char line[LcdScreens::BufferSize];
    switch (lcd.DisplayMode) {
    case 0:
    case 1:
        showPotScreen("Pot Moved  ", eventId, potValues[eventId & 0xFF]);
        break;
    case 2:
        // Bars of 15 pots of the first four banks: code 1 empty up to 15 full.
        for (int r = 0; r < LcdScreens::Lines; ++r) {
            for (int c = 0; c < 15; ++c)
                line[c] = static_cast<char>((potValues[KnobsPerBank * r + c] + 7) / 9 + 1);
            line[15] = '\0';
            line[16] = '\0';
            lcd.WriteLCDLine(static_cast<unsigned char>(r), line);
        }
        break;
    case 3:
        lcd.showScreen(" Display Mode 3 ", "Not Implemented ", "   Yet !!!!!!   ",
                       "                ");
        break;
    default:
        break;
    }
}

void BoxEngine::LCDPanelClick() {
    lcd.DisplayMode = 1;
    lcd.showDotMatrix(true);
}

void BoxEngine::BackLightLCDPanelClick() {
    const LcdScreens::Batch batch(lcd);
    ++lcd.DisplayMode;
    if (lcd.DisplayMode > LcdScreens::HighestDisplayMode) {
        lcd.DisplayMode = 0;
        lcd.showDotMatrix(false);
    }
    RedrawLCD(lastEventId);
}

} // namespace vkv::box
