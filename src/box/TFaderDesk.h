#pragma once

#include "BoxEngine.h"
#include "ConfigImage.h"
#include "LcdScreens.h"

#include <QWidget>
#include <array>
#include <memory>

class TKnob;
class TLCDLabel;
class QLabel;
class QPushButton;

namespace Ui {
class TFaderDesk;
}
namespace vkv::box {
class PotEditor;
}

// The virtual box window: one bank of 16 pots as knobs with value labels, the two bank buttons and
// the emulated LCD. It paints the box engine's state and forwards its controls' events to it.
// Knobs and bank buttons are created at each build and destroyed at the next; the stored children
// (hint label and both LCD presentations) carry negative tags and stay. The undo keys go on to the
// editor: the box changes no record, the editor's configuration is what they act on.
class TFaderDesk : public QWidget {
    Q_OBJECT
public:
    // Layout constants.
    static constexpr int KnobColumns = 8;
    static constexpr int KnobPitchX = 50;
    static constexpr int KnobPitchY = 60;
    static constexpr int KnobLeft = 30;
    static constexpr int KnobTop = 120;
    static constexpr int BottomMargin = 20;
    static constexpr int LabelOffset = 40;
    static constexpr int KnobWidth = 40;
    static constexpr int KnobHeight = 40;
    static constexpr int MaxKnobs = 16;

    // `image` is the configuration image the knobs play; `put` sends one short message (the
    // main window's output port).
    TFaderDesk(const vkv::image::ConfigImage &image, vkv::box::BoxEngine::PutFunction put,
               QWidget *parent = nullptr);
    ~TFaderDesk() override;

    void setPotEditor(vkv::box::PotEditor *editor) { potEditor = editor; }
    void setKnobCount(int n) { KnobCount = n; }
    int knobCount() const { return KnobCount; }

    // "Show Virtual Box": rebuild from scratch, load the knobs, show in front.
    void ShowFaderDeskClick();
    void BuildVirtualBox();
    void BuildKnobs();
    void BuildBankButtons();
    void ClearVirtualBox();
    void LoadPotsToKnobs();
    void ShowReadyScreen();

    // LCD: the engine keeps its lines, display mode and visible presentation; the window places
    // and paints the two presentations.
    void InitLCD();
    void RedrawLCD(int eventId);
    void LCDPanelClick(QObject *sender);
    void BackLightLCDPanelClick(QObject *sender);
    int displayMode() const { return lcdLines.DisplayMode; }

    vkv::box::BoxEngine &engine() { return boxEngine; }
    vkv::box::LcdScreens &lcd() { return lcdLines; }
    // Knob table: the knob at index k, or null.
    TKnob *knob(int k) const { return k >= 0 && k < MaxKnobs ? knobs[k] : nullptr; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void KnobChange(TKnob *sender);
    void KnobEdit(TKnob *sender, Qt::MouseButton button);
    void SpecialButtPush(QPushButton *sender);
    void refreshPresentation();

    std::unique_ptr<Ui::TFaderDesk> ui;
    vkv::box::LcdScreens lcdLines;
    vkv::box::BoxEngine boxEngine;
    vkv::box::PotEditor *potEditor = nullptr;
    std::array<TKnob *, MaxKnobs> knobs{};
    int KnobCount = 1;
    QObject *clickFilter = nullptr;
};
