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

// The Pots page: shows one pot record of the image in the page's controls and writes every
// change of a control back into the record at once, through the image's history: a field typed
// or stepped, an event type chosen, a preset applied or a message learnt is one step there. The
// controls belong to the window's form; the page only connects to their change signals.
// Programmatic and user changes take the same path, so learning and presets drive the page by
// setting the same controls.
class PotPage : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QSpinBox *PotNumberInBank = nullptr;
        QSpinBox *PotBank = nullptr;
        QSpinBox *PotNumber = nullptr;
        QComboBox *PotPresetName = nullptr;
        QComboBox *PotByte0A = nullptr;
        QLabel *PotByte0BLabel = nullptr;
        QSpinBox *PotByte0B = nullptr;
        QSpinBox *PotByte0 = nullptr;
        QLabel *PotByte0HEX = nullptr;
        QLabel *PotByte1Label = nullptr;
        QSpinBox *PotByte1 = nullptr;
        QLabel *PotByte1HEX = nullptr;
        QSpinBox *PotMin = nullptr;
        QLabel *PotMinHEX = nullptr;
        QSpinBox *PotMax = nullptr;
        QLabel *PotMaxHEX = nullptr;
    };

    // Caption of the channel label for event type index 0..6.
    static QString channelCaption(int typeIndex);

    PotPage(const Widgets &widgets, image::ImageHistory &history, const PresetLibrary &presets,
            QObject *parent = nullptr);

    // Action UpdatePotProps: shows the record of the pot that PotNumber holds.
    void UpdatePotPropsExecute(QObject *Sender);
    // Refills the preset combo box from the library's names.
    void fillPresetNames();

    // The pot whose record the page edits.
    int currentPot() const;

    void PotNumberChange(QObject *Sender);
    void PotBankChange(QObject *Sender);
    void PotNumberInBankChange(QObject *Sender);
    void PotByte0Change(QObject *Sender);
    void PotByte0AChange(QObject *Sender);
    void PotByte0BChange(QObject *Sender);
    void PotByte1Change(QObject *Sender);
    void PotMinChange(QObject *Sender);
    void PotMaxChange(QObject *Sender);
    void PotPresetNameChange(QObject *Sender);
    void FindPotPresetName();
    void ApplyPotPreset(QStringView key);
    // Learn Pot: a message's status and byte 1 become the shown pot's, as if typed, and its
    // record takes them also where the page showed them already; the range is kept.
    void learn(int status, int data1);

    bool PotLoadGuard = false;
    bool PotPresetGuard = false;

private:
    // byte 1, min or max: read-out, name look-up, store.
    void dataByteChange(QSpinBox *control, QLabel *hex, int field);
    // A field of the shown pot typed or stepped: a step of its own, or part of the step under way.
    void storeField(int field, int value);
    // The record's fields 0..fields-1 become what the page shows, as part of `step`. Setting a
    // value the page already shows raises no change, yet the record may hold a byte the page
    // cannot show as it is (a status below 0x90, a limit above 127); so what sets values as a
    // whole stores them.
    void storeShown(int fields, const image::ImageChange &step);

    Widgets w;
    StatusControls status;
    image::ImageHistory &history;
    const PresetLibrary &presets;
};

} // namespace vkv::editor
