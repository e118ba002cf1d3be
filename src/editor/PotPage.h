#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>

class PresetLibrary;
class QComboBox;
class QLabel;
class QSpinBox;

namespace vkv {
class ConfigImage;
}

// The event types of a status byte's high digit, 9 to F, as the pages list them.
const QStringList &eventTypeItems();
// The page's hexadecimal read-out of a byte value.
QString hexText(int value);

// A status byte's parts as both pages show them: the event type item (-1 below 0x90), the
// channel 1..16, and the status with another event type or channel put in.
constexpr int eventTypeIndex(int status) { return status / 16 >= 9 ? status / 16 - 9 : -1; }
constexpr int channelOf(int status) { return status % 16 + 1; }
constexpr int statusWithType(int status, int typeIndex) {
    return status % 16 + 16 * typeIndex + 144;
}
constexpr int statusWithChannel(int status, int channel) {
    return status - status % 16 + channel - 1;
}

// The Pots page: shows one pot record of the image in the page's controls and writes every
// change of a control back into the record at once. The controls belong to the window's form;
// the page only connects to their change signals. Programmatic and user changes take the same
// path, so learning and presets drive the page by setting the same controls.
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

    // Captions of the byte 1 and channel labels for event type index 0..6.
    static QString byte1Caption(int typeIndex);
    static QString channelCaption(int typeIndex);

    PotPage(const Widgets &widgets, vkv::ConfigImage &image, const PresetLibrary &presets,
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

    bool PotLoadGuard = false;
    bool PotPresetGuard = false;

private:
    // byte 1, min or max: read-out, name look-up, store.
    void dataByteChange(QSpinBox *control, QLabel *hex, int field);

    Widgets w;
    vkv::ConfigImage &image;
    const PresetLibrary &presets;
};
