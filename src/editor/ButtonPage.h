#pragma once

#include "StatusControls.h"

#include <QObject>
#include <QString>
#include <QStringView>

class QComboBox;
class QLabel;
class QSpinBox;

namespace vkv::image {
class ImageHistory;
struct ImageChange;
} // namespace vkv::image

namespace vkv::editor {

class PresetLibrary;

// The Buttons page: like the Pots page, with eight buttons to a bank, a byte 2 in place of the
// pot's range, and the button's mode. Every change of a control is written into the button's
// record at once, through the image's history; a mode chosen is a step of its own.
class ButtonPage : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QSpinBox *ButtonNumberInBank = nullptr;
        QSpinBox *ButtonBank = nullptr;
        QSpinBox *ButtNumber = nullptr;
        QComboBox *ButtPresetName = nullptr;
        QComboBox *ButtByte0A = nullptr;
        QLabel *ButtByte0BLabel = nullptr;
        QSpinBox *ButtByte0B = nullptr;
        QSpinBox *ButtByte0 = nullptr;
        QLabel *ButtByte0HEX = nullptr;
        QLabel *ButtByte1Label = nullptr;
        QSpinBox *ButtByte1 = nullptr;
        QLabel *ButtByte1HEX = nullptr;
        QLabel *ButtByte2Label = nullptr;
        QSpinBox *ButtByte2 = nullptr;
        QLabel *ButtByte2HEX = nullptr;
        QComboBox *ButtMode = nullptr;
    };

    // Captions of the channel and byte 2 labels for event type index 0..6.
    static QString channelCaption(int typeIndex);
    static QString byte2Caption(int typeIndex);

    ButtonPage(const Widgets &widgets, image::ImageHistory &history, const PresetLibrary &presets,
               QObject *parent = nullptr);

    // Action UpdateButtProps: shows the record of the button that ButtNumber holds.
    void UpdateButtPropsExecute(QObject *Sender);
    void fillPresetNames();

    int currentButton() const;

    void ButtNumberChange(QObject *Sender);
    void ButtonBankChange(QObject *Sender);
    void ButtonNumberInBankChange(QObject *Sender);
    void ButtByte0Change(QObject *Sender);
    void ButtByte0AChange(QObject *Sender);
    void ButtByte0BChange(QObject *Sender);
    void ButtByte1Change(QObject *Sender);
    void ButtByte2Change(QObject *Sender);
    void ButtModeChange(QObject *Sender);
    void ButtPresetNameChange(QObject *Sender);
    void FindButtPresetName();
    void ApplyButtPreset(QStringView key);
    // Learn Button: a message's three bytes become the shown button's, as if typed, and its
    // record takes them also where the page showed them already; the mode is kept.
    void learn(int status, int data1, int data2);

    bool ButtLoadGuard = false;
    bool ButtPresetGuard = false;

private:
    void dataByteChange(QSpinBox *control, QLabel *hex, int field);
    void storeField(int field, int value);
    // The record's status, byte 1 and byte 2 become what the page shows, as for pots, as part of
    // `step`.
    void storeShown(const image::ImageChange &step);

    Widgets w;
    StatusControls status;
    image::ImageHistory &history;
    const PresetLibrary &presets;
};

} // namespace vkv::editor
