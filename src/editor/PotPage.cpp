#include "PotPage.h"

#include "ConfigImage.h"
#include "PresetLibrary.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>
#include <array>

const QStringList &eventTypeItems() {
    static const QStringList items{
        "9 : Note On ",        "A : Poly Aftertouch ",    "B : Controller ",
        "C : Program Change ", "D : Channel Aftertouch ", "E : Pitch Bender ",
        "F : Meta Event "};
    return items;
}

QString hexText(int value) {
    return QString::asprintf("%02X", value);
}

QString PotPage::byte1Caption(int typeIndex) {
    static const std::array<const char *, 7> captions{
        "Note Nr :",        "Note Nr :",   "Control Nr :",   "Program Nr :",
        "Pressure Value :", "Pitch MSB :", "Meta Event Nr :"};
    return captions.at(static_cast<std::size_t>(typeIndex));
}

QString PotPage::channelCaption(int typeIndex) {
    return typeIndex == 6 ? "Meta ID :" : "Midi Channel:";
}

PotPage::PotPage(const Widgets &widgets, vkv::ConfigImage &image, const PresetLibrary &presets,
                 QObject *parent)
    : QObject(parent), w(widgets), image(image), presets(presets) {
    w.PotByte0A->setProperty("Tag", 0);
    w.PotByte0B->setProperty("Tag", 0);

    const auto spin = [this](QSpinBox *box, void (PotPage::*handler)(QObject *)) {
        connect(box, &QSpinBox::valueChanged, this,
                [this, box, handler] { (this->*handler)(box); });
    };
    spin(w.PotNumber, &PotPage::PotNumberChange);
    spin(w.PotBank, &PotPage::PotBankChange);
    spin(w.PotNumberInBank, &PotPage::PotNumberInBankChange);
    spin(w.PotByte0, &PotPage::PotByte0Change);
    spin(w.PotByte0B, &PotPage::PotByte0BChange);
    spin(w.PotByte1, &PotPage::PotByte1Change);
    spin(w.PotMin, &PotPage::PotMinChange);
    spin(w.PotMax, &PotPage::PotMaxChange);
    // Only the user's choice of an item is a change; the page's own selections raise nothing.
    connect(w.PotByte0A, &QComboBox::activated, this, [this] { PotByte0AChange(w.PotByte0A); });

    // Typed names must never be added as items: item i stands for preset i.
    w.PotPresetName->setInsertPolicy(QComboBox::NoInsert);
    // Typed text stays as typed: a completion would turn a few letters into the selected name.
    w.PotPresetName->setCompleter(nullptr);
    connect(w.PotPresetName, &QComboBox::activated, this,
            [this] { PotPresetNameChange(w.PotPresetName); });
    if (QLineEdit *edit = w.PotPresetName->lineEdit())
        connect(edit, &QLineEdit::textEdited, this,
                [this] { PotPresetNameChange(w.PotPresetName); });

    // Bring event type, channel, captions and read-outs in line with the values the controls
    // start with: a first record equal to them raises no change that would do it later.
    PotLoadGuard = PotPresetGuard = true;
    PotByte0Change(w.PotByte0);
    PotByte1Change(w.PotByte1);
    PotMinChange(w.PotMin);
    PotMaxChange(w.PotMax);
    PotLoadGuard = PotPresetGuard = false;
}

void PotPage::fillPresetNames() {
    const QString text = w.PotPresetName->currentText();
    w.PotPresetName->clear();
    w.PotPresetName->addItems(presets.PotPresetNames());
    w.PotPresetName->setCurrentIndex(-1);
    w.PotPresetName->setEditText(text);
}

int PotPage::currentPot() const {
    return std::clamp(w.PotNumber->value(), 0, vkv::PotCount - 1);
}

void PotPage::UpdatePotPropsExecute(QObject *) {
    PotLoadGuard = true;
    const int p = currentPot();
    w.PotBank->setValue(vkv::potBank(p));
    w.PotNumberInBank->setValue(vkv::potNumber(p));
    w.PotByte0->setValue(image.pot(p, vkv::PotStatus));
    w.PotByte1->setValue(image.pot(p, vkv::PotByte1));
    w.PotMin->setValue(image.pot(p, vkv::PotMin));
    w.PotMax->setValue(image.pot(p, vkv::PotMax));
    PotLoadGuard = false;
}

void PotPage::PotNumberChange(QObject *Sender) {
    UpdatePotPropsExecute(Sender);
}

void PotPage::PotBankChange(QObject *) {
    if (PotLoadGuard)
        return;
    w.PotNumber->setValue(w.PotNumberInBank->value() + 16 * w.PotBank->value() - 17);
}

void PotPage::PotNumberInBankChange(QObject *Sender) {
    PotBankChange(Sender);
}

void PotPage::PotByte0Change(QObject *) {
    const int p = currentPot();
    const int s = w.PotByte0->value();
    w.PotByte0HEX->setText(hexText(s));

    const int type = eventTypeIndex(s);
    w.PotByte0A->setProperty("Tag", 1);
    w.PotByte0A->setCurrentIndex(type);
    w.PotByte0A->setProperty("Tag", 0);

    if (type >= 0 && type <= 6) {
        w.PotByte1Label->setText(byte1Caption(type));
        w.PotByte0BLabel->setText(channelCaption(type));
    }

    w.PotByte0B->setProperty("Tag", 1);
    w.PotByte0B->setValue(channelOf(s));
    w.PotByte0B->setProperty("Tag", 0);

    if (!PotPresetGuard)
        FindPotPresetName();
    if (!PotLoadGuard)
        image.setPot(p, vkv::PotStatus, s);
}

void PotPage::PotByte0AChange(QObject *) {
    if (w.PotByte0A->property("Tag").toInt() == 1)
        return;
    const int i = w.PotByte0A->currentIndex();
    if (i < 0)
        return;
    const int s = w.PotByte0->value();
    w.PotByte0->setValue(statusWithType(s, i));
}

void PotPage::PotByte0BChange(QObject *) {
    if (w.PotByte0B->property("Tag").toInt() == 1)
        return;
    const int s = w.PotByte0->value();
    w.PotByte0->setValue(statusWithChannel(s, w.PotByte0B->value()));
}

void PotPage::dataByteChange(QSpinBox *control, QLabel *hex, int field) {
    const int p = currentPot();
    const int v = control->value();
    hex->setText(hexText(v));
    if (!PotPresetGuard)
        FindPotPresetName();
    if (!PotLoadGuard)
        image.setPot(p, field, v);
}

void PotPage::PotByte1Change(QObject *) {
    dataByteChange(w.PotByte1, w.PotByte1HEX, vkv::PotByte1);
}

void PotPage::PotMinChange(QObject *) {
    dataByteChange(w.PotMin, w.PotMinHEX, vkv::PotMin);
}

void PotPage::PotMaxChange(QObject *) {
    dataByteChange(w.PotMax, w.PotMaxHEX, vkv::PotMax);
}

void PotPage::FindPotPresetName() {
    const QString key =
        w.PotByte0HEX->text() + w.PotByte1HEX->text() + w.PotMinHEX->text() + w.PotMaxHEX->text();
    w.PotPresetName->setEditText(presets.potPresetName(key));
}

void PotPage::PotPresetNameChange(QObject *) {
    const int i =
        presets.chosenPotPreset(w.PotPresetName->currentIndex(), w.PotPresetName->currentText());
    if (i < 0)
        return;
    ApplyPotPreset(presets.PotPresetKeys().at(i));
}

void PotPage::ApplyPotPreset(QStringView key) {
    const auto number = PresetLibrary::parseKey(key);
    if (!number)
        return;
    PotPresetGuard = true;
    w.PotByte0->setValue(static_cast<int>((*number >> 24) & 0xFF));
    w.PotByte1->setValue(static_cast<int>((*number >> 16) & 0xFF));
    w.PotMin->setValue(static_cast<int>((*number >> 8) & 0xFF));
    w.PotMax->setValue(static_cast<int>(*number & 0xFF));
    PotPresetGuard = false;
}
