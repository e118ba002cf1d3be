#pragma once

#include "ConfigImage.h"
#include "LcdScreens.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vkv::box {

// The behaviour behind the virtual box, without a widget: a knob movement becomes the short
// message its pot record describes, shown on the LCD; the bank buttons choose which 16 pot records
// the knobs stand for; the LCD's screens and display modes. Reads the image, never writes it.
// The window only paints this state and forwards its controls' events here.
class BoxEngine {
public:
    static constexpr int FirstBank = 1;
    static constexpr int LastBank = 16;
    static constexpr int BankUpTag = 1001;
    static constexpr int BankDownTag = 1002;
    static constexpr int KnobsPerBank = image::PotsPerBank;
    // The credit line of both start screens: exactly 16 characters.
    static constexpr const char *CreditLine = " vkvela project ";

    using PutFunction = std::function<void(char status, char data1, char data2)>;

    BoxEngine(const image::ConfigImage &image, LcdScreens &lcd);

    // Where pot messages go (the output port's Put). Nothing is sent while unset.
    void setOutput(PutFunction put) { output = std::move(put); }

    // A knob with index `knobTag` in the window moved to `position`.
    void KnobChange(int knobTag, int position);
    void SendPotEvent(std::uint8_t potId, std::uint8_t value);
    void SpecialButtPush(int tag);
    void BankUp();
    void BankDown();

    // The pot the knob with index `knobTag` stands for in the current bank.
    int potIdForKnob(int knobTag) const;
    // The knobs 0..knobCount-1, in ascending order, whose pots in the current bank send the
    // event `status`, `data1` (whole bytes; the value and the range play no part).
    std::vector<int> knobsMatching(int status, int data1, int knobCount) const;

    // What the knob with index k is given when the box is built: the range and the last value of
    // pot k (bank 1, whatever bank is selected later) and a hint naming the pot's event.
    struct KnobLoad {
        std::string hint;
        int position;
        int min;
        int max;
    };
    KnobLoad knobLoad(int knobIndex) const;

    // The end of a build: bank 1 and the first start screen.
    void finishBuild();
    // The second start screen, once the box is shown.
    void ShowReadyScreen();

    // The screen of the current display mode, for pot `eventId` in modes 0 and 1.
    void RedrawLCD(int eventId);
    // A click on the plain panel: the dot-matrix control in display mode 1.
    void LCDPanelClick();
    // A click on the dot-matrix control: the next display mode; past the highest, the plain
    // panel in mode 0.
    void BackLightLCDPanelClick();

    int currentBank = FirstBank;
    int lastEventId = 0;
    std::array<std::uint8_t, image::PotCount> potValues{};

private:
    // The pot screen of an event and the redraw screen of the last one differ in line 0 only.
    void showPotScreen(const char *title, int potId, int value);
    void showBankScreen();

    const image::ConfigImage &configImage;
    LcdScreens &lcd;
    PutFunction output;
};

} // namespace vkv::box
