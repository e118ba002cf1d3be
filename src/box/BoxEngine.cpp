#include "BoxEngine.h"

#include <cstdio>

BoxEngine::BoxEngine(const vkv::ConfigImage &image, LcdScreens &lcd) : image(image), lcd(lcd) {}

void BoxEngine::KnobChange(int knobTag, int position) {
    SendPotEvent(static_cast<std::uint8_t>(potIdForKnob(knobTag)),
                 static_cast<std::uint8_t>(position));
}

void BoxEngine::SendPotEvent(std::uint8_t potId, std::uint8_t value) {
    char line[32];
    std::snprintf(line, sizeof line, "Potmeter Moved  ");
    lcd.WriteLCDLine(0, line);
    std::snprintf(line, sizeof line, "Knob ID : %d", potId);
    lcd.WriteLCDLine(1, line);
    std::snprintf(line, sizeof line, "Knob Nr : %d.%d ", vkv::potBank(potId),
                  vkv::potNumber(potId));
    lcd.WriteLCDLine(2, line);
    std::snprintf(line, sizeof line, "Value   : %d ", value);
    lcd.WriteLCDLine(3, line);

    lastEventId = potId;
    potValues[potId] = value;

    if (output)
        output(static_cast<char>(image.pot(potId, vkv::PotStatus)),
               static_cast<char>(image.pot(potId, vkv::PotByte1)), static_cast<char>(value));
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
