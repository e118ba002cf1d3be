#include "PotPage.h"

#include "ConfigImage.h"
#include "EventTypes.h"
#include "ImageHistory.h"
#include "PresetLibrary.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>
#include <array>

namespace vkv::editor {

using Record = image::ImageChange::Record;

QString PotPage::channelCaption(int typeIndex) {
    return typeIndex == 6 ? "Meta ID :" : "Midi Channel:";
}

PotPage::PotPage(const Widgets &widgets, image::ImageHistory &history, const PresetLibrary &presets,
                 QObject *parent)
    : QObject(parent), w(widgets), status{w.PotByte0, w.PotByte0HEX, w.PotByte0A, w.PotByte0B},
      history(history), presets(presets) {
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
    return std::clamp(w.PotNumber->value(), 0, image::PotCount - 1);
}

void PotPage::UpdatePotPropsExecute(QObject *) {
    PotLoadGuard = true;
    const int p = currentPot();
    const image::ConfigImage &configImage = history.image();
    w.PotBank->setValue(image::potBank(p));
    w.PotNumberInBank->setValue(image::potNumber(p));
    w.PotByte0->setValue(configImage.pot(p, image::PotStatus));
    w.PotByte1->setValue(configImage.pot(p, image::PotByte1));
    w.PotMin->setValue(configImage.pot(p, image::PotMin));
    w.PotMax->setValue(configImage.pot(p, image::PotMax));
    PotLoadGuard = false;
}

void PotPage::PotNumberChange(QObject *Sender) {
    UpdatePotPropsExecute(Sender);
}

void PotPage::PotBankChange(QObject *) {
    if (PotLoadGuard)
        return;
    w.PotNumber->setValue(image::potFromBank(w.PotBank->value(), w.PotNumberInBank->value()));
}

void PotPage::PotNumberInBankChange(QObject *Sender) {
    PotBankChange(Sender);
}

void PotPage::PotByte0Change(QObject *) {
    const int type = status.showParts();
    if (type >= 0 && type <= 6) {
        w.PotByte1Label->setText(byte1Caption(type));
        w.PotByte0BLabel->setText(channelCaption(type));
    }
    if (!PotPresetGuard)
        FindPotPresetName();
    if (!PotLoadGuard)
        storeField(image::PotStatus, w.PotByte0->value());
}

void PotPage::PotByte0AChange(QObject *) {
    // A choice from the list is a step of its own, never merged with typing in Byte 0.
    history.change(image::ImageChange::choice(Record::Pot, currentPot(), image::PotStatus),
                   [this](image::ConfigImage &) { status.typeChosen(); });
}

void PotPage::PotByte0BChange(QObject *) {
    status.channelChosen();
}

void PotPage::dataByteChange(QSpinBox *control, QLabel *hex, int field) {
    const int v = control->value();
    hex->setText(hexText(v));
    if (!PotPresetGuard)
        FindPotPresetName();
    if (!PotLoadGuard)
        storeField(field, v);
}

void PotPage::storeField(int field, int value) {
    const int p = currentPot();
    history.change(image::ImageChange::fieldEdit(Record::Pot, p, field),
                   [=](image::ConfigImage &image) { image.setPot(p, field, value); });
}

void PotPage::PotByte1Change(QObject *) {
    dataByteChange(w.PotByte1, w.PotByte1HEX, image::PotByte1);
}

void PotPage::PotMinChange(QObject *) {
    dataByteChange(w.PotMin, w.PotMinHEX, image::PotMin);
}

void PotPage::PotMaxChange(QObject *) {
    dataByteChange(w.PotMax, w.PotMaxHEX, image::PotMax);
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
    // Whatever the controls' handlers store on the way is part of the preset's one step.
    const auto step = image::ImageChange::preset(Record::Pot, currentPot());
    history.change(step, [&](image::ConfigImage &) {
        PotPresetGuard = true;
        w.PotByte0->setValue(static_cast<int>((*number >> 24) & 0xFF));
        w.PotByte1->setValue(static_cast<int>((*number >> 16) & 0xFF));
        w.PotMin->setValue(static_cast<int>((*number >> 8) & 0xFF));
        w.PotMax->setValue(static_cast<int>(*number & 0xFF));
        PotPresetGuard = false;
        // The record is then the preset whose name the page carries.
        storeShown(4, step);
    });
}

void PotPage::learn(int status, int data1) {
    const auto step = image::ImageChange::learnt(Record::Pot, currentPot());
    history.change(step, [&](image::ConfigImage &) {
        w.PotByte0->setValue(status);
        w.PotByte1->setValue(data1);
        storeShown(2, step);
    });
}

void PotPage::storeShown(int fields, const image::ImageChange &step) {
    if (PotLoadGuard)
        return;
    const std::array<const QSpinBox *, 4> shown{w.PotByte0, w.PotByte1, w.PotMin, w.PotMax};
    const int p = currentPot();
    history.change(step, [&](image::ConfigImage &image) {
        for (int field = 0; field < fields; ++field)
            image.setPot(p, field, shown.at(static_cast<std::size_t>(field))->value());
    });
}

} // namespace vkv::editor
