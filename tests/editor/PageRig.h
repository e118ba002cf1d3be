#pragma once

// The Pots and Buttons pages over controls made here the way the main window's layout makes them,
// so the page classes are driven through real key events without the whole window.
#include "ButtonPage.h"
#include "ConfigImage.h"
#include "EventTypes.h"
#include "ImageHistory.h"
#include "PotPage.h"
#include "PresetLibrary.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace vkv::editor {

inline QSpinBox *spin(QWidget *parent, int min, int max, int value) {
    auto *box = new QSpinBox(parent);
    box->setRange(min, max);
    box->setValue(value);
    box->setKeyboardTracking(true);
    return box;
}

inline QComboBox *list(QWidget *parent, const QStringList &items, bool editable = false) {
    auto *combo = new QComboBox(parent);
    combo->setEditable(editable);
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    return combo;
}

inline std::string text(const QString &s) {
    return s.toStdString();
}

struct Presets {
    QTemporaryDir dir;
    PresetLibrary library;
    explicit Presets(const QByteArray &file = {}) {
        if (!file.isNull()) {
            QFile f(PresetLibrary::presetFilePath(dir.path()));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(file);
        }
        library.LoadPresets(dir.path());
    }
};

// Writes records into the image as a change from outside the page (as a received dump would).
inline void write(image::ImageHistory &history,
                  const std::function<void(image::ConfigImage &)> &records) {
    history.change(image::ImageChange::received(), records);
}

struct Pots {
    QWidget host;
    image::ImageHistory history;
    const image::ConfigImage &image = history.image();
    PotPage::Widgets c;
    std::unique_ptr<PotPage> page;

    Pots(const PresetLibrary &presets, int status = 0xB0, int byte1 = 7, int min = 0,
         int max = 127) {
        write(history, [&](image::ConfigImage &records) {
            for (int p = 0; p < image::PotCount; ++p) {
                records.setPot(p, image::PotStatus, 0xB0);
                records.setPot(p, image::PotByte1, p % 128);
                records.setPot(p, image::PotMin, 0);
                records.setPot(p, image::PotMax, 127);
            }
            records.setPot(0, image::PotStatus, status);
            records.setPot(0, image::PotByte1, byte1);
            records.setPot(0, image::PotMin, min);
            records.setPot(0, image::PotMax, max);
        });
        c.PotNumberInBank = spin(&host, 1, 16, 1);
        c.PotBank = spin(&host, 1, 16, 1);
        c.PotNumber = spin(&host, 0, 255, 0);
        c.PotPresetName = list(&host, {}, true);
        c.PotByte0A = list(&host, eventTypeItems());
        c.PotByte0BLabel = new QLabel("Midi Channel :", &host);
        c.PotByte0B = spin(&host, 1, 16, 1);
        c.PotByte0 = spin(&host, 144, 255, 144);
        c.PotByte0HEX = new QLabel("90", &host);
        c.PotByte1Label = new QLabel("Byte 1 :", &host);
        c.PotByte1 = spin(&host, 0, 255, 0);
        c.PotByte1HEX = new QLabel("00", &host);
        c.PotMin = spin(&host, 0, 127, 0);
        c.PotMinHEX = new QLabel("00", &host);
        c.PotMax = spin(&host, 0, 127, 0);
        c.PotMaxHEX = new QLabel("00", &host);
        page = std::make_unique<PotPage>(c, history, presets);
        page->fillPresetNames();
        host.show();
        page->UpdatePotPropsExecute(nullptr);
    }
};

struct Buttons {
    QWidget host;
    image::ImageHistory history;
    const image::ConfigImage &image = history.image();
    ButtonPage::Widgets c;
    std::unique_ptr<ButtonPage> page;

    Buttons(const PresetLibrary &presets, int status, int byte1, int byte2, int mode = 0) {
        write(history, [&](image::ConfigImage &records) {
            records.setButton(0, image::ButtonStatus, status);
            records.setButton(0, image::ButtonByte1, byte1);
            records.setButton(0, image::ButtonByte2, byte2);
            records.setButton(0, image::ButtonMode, mode);
        });
        c.ButtonNumberInBank = spin(&host, 1, 8, 1);
        c.ButtonBank = spin(&host, 1, 16, 1);
        c.ButtNumber = spin(&host, 0, 127, 0);
        c.ButtPresetName = list(&host, {}, true);
        c.ButtByte0A = list(&host, eventTypeItems());
        c.ButtByte0BLabel = new QLabel("Midi Channel :", &host);
        c.ButtByte0B = spin(&host, 1, 16, 1);
        c.ButtByte0 = spin(&host, 144, 255, 144);
        c.ButtByte0HEX = new QLabel("90", &host);
        c.ButtByte1Label = new QLabel("Byte 1 :", &host);
        c.ButtByte1 = spin(&host, 0, 255, 0);
        c.ButtByte1HEX = new QLabel("00", &host);
        c.ButtByte2Label = new QLabel("Byte 2 :", &host);
        c.ButtByte2 = spin(&host, 0, 255, 0);
        c.ButtByte2HEX = new QLabel("00", &host);
        c.ButtMode = list(&host, {"ON/OFF", "ON ONLY", "TOGGLE"});
        page = std::make_unique<ButtonPage>(c, history, presets);
        page->fillPresetNames();
        host.show();
        page->UpdateButtPropsExecute(nullptr);
    }
};

} // namespace vkv::editor
