#pragma once

#include "ConfigImage.h"
#include "LcdScreens.h"

#include <array>
#include <cstdint>
#include <functional>

// The behaviour behind the virtual box: a knob movement becomes the short message its pot record
// describes, shown on the LCD; the bank buttons choose which 16 pot records the knobs stand for.
// Reads the image, never writes it.
class BoxEngine {
public:
    static constexpr int FirstBank = 1;
    static constexpr int LastBank = 16;
    static constexpr int BankUpTag = 1001;
    static constexpr int BankDownTag = 1002;

    using PutFunction = std::function<void(char status, char data1, char data2)>;

    BoxEngine(const vkv::ConfigImage &image, LcdScreens &lcd);

    // Where pot messages go (the output port's Put). Nothing is sent while unset.
    void setOutput(PutFunction put) { output = std::move(put); }

    // A knob with index `knobTag` in the window moved to `position`.
    void KnobChange(int knobTag, int position);
    void SendPotEvent(std::uint8_t potId, std::uint8_t value);
    void SpecialButtPush(int tag);
    void BankUp();
    void BankDown();

    int potIdForKnob(int knobTag) const { return ((currentBank - 1) * 16 + knobTag) % 256; }

    int currentBank = FirstBank;
    int lastEventId = 0;
    std::array<std::uint8_t, vkv::PotCount> potValues{};

private:
    void showBankScreen();

    const vkv::ConfigImage &image;
    LcdScreens &lcd;
    PutFunction output;
};
