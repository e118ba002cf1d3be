#include "ButtonPage.h"

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

QString ButtonPage::channelCaption(int typeIndex) {
    return typeIndex == 6 ? "Meta ID :" : "Midi Channel :";
}

QString ButtonPage::byte2Caption(int typeIndex) {
    static const std::array<const char *, 7> captions{
        "Velocity :", "Value :", "Value :", "Not Used :", "Not Used :", "Pitch LSB :", "Value :"};
    return captions.at(static_cast<std::size_t>(typeIndex));
}

ButtonPage::ButtonPage(const Widgets &widgets, image::ImageHistory &history,
                       const PresetLibrary &presets, QObject *parent)
    : QObject(parent), w(widgets), status{w.ButtByte0, w.ButtByte0HEX, w.ButtByte0A, w.ButtByte0B},
      history(history), presets(presets) {
    w.ButtByte0A->setProperty("Tag", 0);
    w.ButtByte0B->setProperty("Tag", 0);

    const auto spin = [this](QSpinBox *box, void (ButtonPage::*handler)(QObject *)) {
        connect(box, &QSpinBox::valueChanged, this,
                [this, box, handler] { (this->*handler)(box); });
    };
    spin(w.ButtNumber, &ButtonPage::ButtNumberChange);
    spin(w.ButtonBank, &ButtonPage::ButtonBankChange);
    spin(w.ButtonNumberInBank, &ButtonPage::ButtonNumberInBankChange);
    spin(w.ButtByte0, &ButtonPage::ButtByte0Change);
    spin(w.ButtByte0B, &ButtonPage::ButtByte0BChange);
    spin(w.ButtByte1, &ButtonPage::ButtByte1Change);
    spin(w.ButtByte2, &ButtonPage::ButtByte2Change);
    // Only the user's choice of an item is a change; the page's own selections raise nothing.
    connect(w.ButtByte0A, &QComboBox::activated, this, [this] { ButtByte0AChange(w.ButtByte0A); });
    connect(w.ButtMode, &QComboBox::activated, this, [this] { ButtModeChange(w.ButtMode); });

    // Typed names must never be added as items: item i stands for preset i.
    w.ButtPresetName->setInsertPolicy(QComboBox::NoInsert);
    // Typed text stays as typed: a completion would turn a few letters into the selected name.
    w.ButtPresetName->setCompleter(nullptr);
    connect(w.ButtPresetName, &QComboBox::activated, this,
            [this] { ButtPresetNameChange(w.ButtPresetName); });
    if (QLineEdit *edit = w.ButtPresetName->lineEdit())
        connect(edit, &QLineEdit::textEdited, this,
                [this] { ButtPresetNameChange(w.ButtPresetName); });

    // Bring event type, channel, captions and read-outs in line with the values the controls
    // start with: a first record equal to them raises no change that would do it later.
    ButtLoadGuard = ButtPresetGuard = true;
    ButtByte0Change(w.ButtByte0);
    ButtByte1Change(w.ButtByte1);
    ButtByte2Change(w.ButtByte2);
    ButtLoadGuard = ButtPresetGuard = false;
}

void ButtonPage::fillPresetNames() {
    const QString text = w.ButtPresetName->currentText();
    w.ButtPresetName->clear();
    w.ButtPresetName->addItems(presets.ButtPresetNames());
    w.ButtPresetName->setCurrentIndex(-1);
    w.ButtPresetName->setEditText(text);
}

int ButtonPage::currentButton() const {
    return std::clamp(w.ButtNumber->value(), 0, image::ButtonCount - 1);
}

void ButtonPage::UpdateButtPropsExecute(QObject *) {
    ButtLoadGuard = true;
    const int n = currentButton();
    const image::ConfigImage &configImage = history.image();
    w.ButtonBank->setValue(image::buttonBank(n));
    w.ButtonNumberInBank->setValue(image::buttonNumber(n));
    w.ButtByte0->setValue(configImage.button(n, image::ButtonStatus));
    w.ButtByte1->setValue(configImage.button(n, image::ButtonByte1));
    w.ButtByte2->setValue(configImage.button(n, image::ButtonByte2));
    const int mode = configImage.button(n, image::ButtonMode);
    w.ButtMode->setCurrentIndex(mode < w.ButtMode->count() ? mode : -1);
    ButtLoadGuard = false;
}

void ButtonPage::ButtNumberChange(QObject *Sender) {
    UpdateButtPropsExecute(Sender);
}

void ButtonPage::ButtonBankChange(QObject *) {
    if (ButtLoadGuard)
        return;
    w.ButtNumber->setValue(
        image::buttonFromBank(w.ButtonBank->value(), w.ButtonNumberInBank->value()));
}

void ButtonPage::ButtonNumberInBankChange(QObject *Sender) {
    ButtonBankChange(Sender);
}

void ButtonPage::ButtByte0Change(QObject *) {
    const int type = status.showParts();
    if (type >= 0 && type <= 6) {
        w.ButtByte0BLabel->setText(channelCaption(type));
        w.ButtByte1Label->setText(byte1Caption(type));
        w.ButtByte2Label->setText(byte2Caption(type));
    }
    if (!ButtPresetGuard)
        FindButtPresetName();
    if (!ButtLoadGuard)
        storeField(image::ButtonStatus, w.ButtByte0->value());
}

void ButtonPage::ButtByte0AChange(QObject *) {
    history.change(image::ImageChange::choice(Record::Button, currentButton(), image::ButtonStatus),
                   [this](image::ConfigImage &) { status.typeChosen(); });
}

void ButtonPage::ButtByte0BChange(QObject *) {
    status.channelChosen();
}

void ButtonPage::dataByteChange(QSpinBox *control, QLabel *hex, int field) {
    const int v = control->value();
    hex->setText(hexText(v));
    if (!ButtPresetGuard)
        FindButtPresetName();
    if (!ButtLoadGuard)
        storeField(field, v);
}

void ButtonPage::storeField(int field, int value) {
    const int n = currentButton();
    history.change(image::ImageChange::fieldEdit(Record::Button, n, field),
                   [=](image::ConfigImage &image) { image.setButton(n, field, value); });
}

void ButtonPage::ButtByte1Change(QObject *) {
    dataByteChange(w.ButtByte1, w.ButtByte1HEX, image::ButtonByte1);
}

void ButtonPage::ButtByte2Change(QObject *) {
    dataByteChange(w.ButtByte2, w.ButtByte2HEX, image::ButtonByte2);
}

void ButtonPage::ButtModeChange(QObject *) {
    if (ButtLoadGuard)
        return;
    const int mode = w.ButtMode->currentIndex();
    if (mode < 0)
        return;
    const int n = currentButton();
    history.change(image::ImageChange::choice(Record::Button, n, image::ButtonMode),
                   [=](image::ConfigImage &image) { image.setButton(n, image::ButtonMode, mode); });
}

void ButtonPage::FindButtPresetName() {
    const QString key = w.ButtByte0HEX->text() + w.ButtByte1HEX->text() + w.ButtByte2HEX->text();
    w.ButtPresetName->setEditText(presets.buttPresetName(key));
}

void ButtonPage::ButtPresetNameChange(QObject *) {
    const int i =
        presets.chosenButtPreset(w.ButtPresetName->currentIndex(), w.ButtPresetName->currentText());
    if (i < 0)
        return;
    ApplyButtPreset(presets.ButtPresetKeys().at(i));
}

void ButtonPage::ApplyButtPreset(QStringView key) {
    const auto number = PresetLibrary::parseKey(key);
    if (!number)
        return;
    const auto step = image::ImageChange::preset(Record::Button, currentButton());
    history.change(step, [&](image::ConfigImage &) {
        ButtPresetGuard = true;
        w.ButtByte0->setValue(static_cast<int>((*number >> 16) & 0xFF));
        w.ButtByte1->setValue(static_cast<int>((*number >> 8) & 0xFF));
        w.ButtByte2->setValue(static_cast<int>(*number & 0xFF));
        ButtPresetGuard = false;
        storeShown(step);
    });
}

void ButtonPage::learn(int status, int data1, int data2) {
    const auto step = image::ImageChange::learnt(Record::Button, currentButton());
    history.change(step, [&](image::ConfigImage &) {
        w.ButtByte0->setValue(status);
        w.ButtByte1->setValue(data1);
        w.ButtByte2->setValue(data2);
        storeShown(step);
    });
}

void ButtonPage::storeShown(const image::ImageChange &step) {
    // As for pots: the record becomes what the page shows, also where no value changed.
    if (ButtLoadGuard)
        return;
    const int n = currentButton();
    history.change(step, [&](image::ConfigImage &image) {
        image.setButton(n, image::ButtonStatus, w.ButtByte0->value());
        image.setButton(n, image::ButtonByte1, w.ButtByte1->value());
        image.setButton(n, image::ButtonByte2, w.ButtByte2->value());
    });
}

} // namespace vkv::editor
