#include "ButtonPage.h"
#include "ConfigImage.h"
#include "PotPage.h"
#include "QuietWindow.h"
#include "TAboutBox.h"
#include "TFaderDesk.h"
#include "TForm1.h"
#include "TKnob.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TTempoTimer.h"
#include "UiDriver.h"
#include "VkvApplication.h"
#include "WindowControls.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QUrl>
#include <gtest/gtest.h>

#include <stdexcept>

using vkv::backendapi::Backend;

namespace {

using Window = QuietWindow;

struct Place {
    const char *name;
    int x, y, width, height; // -1: not fixed by the layout
};

} // namespace

TEST(MainWindow, StartsWithTheDefaultImageAndTheFilePage) {
    Window w;
    EXPECT_EQ(w.form.size(), QSize(549, 487));
    EXPECT_EQ(w.ui.PageControl1->currentWidget(), w.ui.FileSheet);
    ASSERT_EQ(w.ui.PageControl1->count(), 3);
    EXPECT_EQ(w.ui.PageControl1->tabText(0), "File");
    EXPECT_EQ(w.ui.PageControl1->tabText(1), "Pots");
    EXPECT_EQ(w.ui.PageControl1->tabText(2), "Buttons");
    EXPECT_EQ(w.ui.PageControl1->widget(1)->objectName(), "PotSettings");
    EXPECT_EQ(w.ui.PageControl1->widget(2)->objectName(), "ButtSettings");

    // The build stamp, as the compiler writes it.
    const QString stamp = TForm1::buildDate() + " : " + TForm1::buildTime();
    EXPECT_TRUE(QRegularExpression(R"(^[A-Z][a-z]{2} [ \d]\d \d{4}$)")
                    .match(TForm1::buildDate())
                    .hasMatch());
    EXPECT_TRUE(QRegularExpression(R"(^\d\d:\d\d:\d\d$)").match(TForm1::buildTime()).hasMatch());
    EXPECT_EQ(w.ui.TestReleaseLabel->text(), "Test Release : " + stamp);
    EXPECT_EQ(w.form.windowTitle(), "Virtual Korvane Vela : Test Version Compiled on " + stamp);

    vkv::image::ConfigImage defaults;
    ASSERT_TRUE(vkv::image::loadDefaultImage(defaults));
    EXPECT_EQ(w.form.image().bytes(), defaults.bytes());

    EXPECT_EQ(w.ui.EmulatedBox->currentIndex(), 1);
    EXPECT_EQ(w.ui.EmulatedBox->currentText(), "Korvane Vela");
    EXPECT_EQ(w.ui.EmulatedBox->count(), 5);
    EXPECT_EQ(w.ui.EmulatedBox->itemText(4), "");
    EXPECT_FALSE(w.ui.EmulatedBox->isEnabled());
    EXPECT_FALSE(w.ui.generatefaders->isVisible());
    EXPECT_FALSE(w.ui.SendToKorvane->isVisible());

    // LoadSettingsToForm has run; the transfer buttons wait for the ports.
    EXPECT_TRUE(w.ui.ShowFaderDesk->isEnabled());
    EXPECT_TRUE(w.ui.StoreSysex->isEnabled());
    EXPECT_TRUE(w.ui.OpenSysex->isEnabled());
    EXPECT_FALSE(w.ui.RequestSysexDump->isEnabled());
    EXPECT_FALSE(w.ui.SlowSendToKorvane->isEnabled());
    EXPECT_FALSE(w.ui.SendToKorvane->isEnabled());

    // No MIDI service: each list holds "None" only, selected, and both ports stay closed.
    EXPECT_EQ(w.ui.MIDIOutComboBox->count(), 1);
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentText(), "None");
    EXPECT_EQ(w.ui.MIDIInComboBox->count(), 1);
    EXPECT_EQ(w.ui.MIDIInComboBox->currentText(), "None");
    EXPECT_FALSE(w.form.MidiOut1->Using());
    EXPECT_FALSE(w.form.MidiIn1->Using());
    EXPECT_EQ(w.ui.StatusLabel->text(), "No MIDI Out Port Selected");
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), QColor(255, 0, 0));

    EXPECT_EQ(w.ui.SysexSendSpeed->value(), 100);
    EXPECT_EQ(w.form.SysexTimer->Tempo(), 83);
    EXPECT_FALSE(w.form.SysexHeadTimer->isActive());
    EXPECT_EQ(w.form.SysexHeadTimer->interval(), 100);

    // The dialogs start in the program's folder.
    const QString folder = QCoreApplication::applicationDirPath();
    EXPECT_TRUE(w.form.programFolder().endsWith(QDir::separator()));
    EXPECT_EQ(QDir(w.form.programFolder()).canonicalPath(), QDir(folder).canonicalPath());
    EXPECT_EQ(w.form.SysexOpenDialog()->directory().canonicalPath(), QDir(folder).canonicalPath());
    EXPECT_EQ(w.form.SysexSaveDialog()->directory().canonicalPath(), QDir(folder).canonicalPath());
    EXPECT_EQ(w.form.SysexOpenDialog()->windowTitle(), "Open Sysex File");
    EXPECT_EQ(w.form.SysexSaveDialog()->windowTitle(), "Save Sysex File To ...");
}

TEST(MainWindow, PagesShowPotZeroAndButtonZeroOfTheDefaultImage) {
    Window w;
    EXPECT_EQ(w.ui.PotNumber->value(), 0);
    EXPECT_EQ(w.ui.PotBank->value(), 1);
    EXPECT_EQ(w.ui.PotNumberInBank->value(), 1);
    EXPECT_EQ(w.ui.PotByte0A->currentText(), "B : Controller ");
    EXPECT_EQ(w.ui.PotByte0B->value(), 1);
    EXPECT_EQ(w.ui.PotByte0->value(), 176);
    EXPECT_EQ(w.ui.PotByte0HEX->text(), "B0");
    EXPECT_EQ(w.ui.PotByte1->value(), 0);
    EXPECT_EQ(w.ui.PotByte1HEX->text(), "00");
    EXPECT_EQ(w.ui.PotMin->value(), 0);
    EXPECT_EQ(w.ui.PotMinHEX->text(), "00");
    EXPECT_EQ(w.ui.PotMax->value(), 127);
    EXPECT_EQ(w.ui.PotMaxHEX->text(), "7F");
    EXPECT_EQ(w.ui.PotByte1Label->text(), "Control Nr :");
    EXPECT_EQ(w.ui.PotByte0BLabel->text(), "Midi Channel:");
    EXPECT_FALSE(w.ui.LearnPot->isChecked());
    EXPECT_FALSE(w.ui.vMotPots->isChecked());

    EXPECT_EQ(w.ui.ButtNumber->value(), 0);
    EXPECT_EQ(w.ui.ButtonBank->value(), 1);
    EXPECT_EQ(w.ui.ButtonNumberInBank->value(), 1);
    EXPECT_EQ(w.ui.ButtByte0A->currentText(), "9 : Note On ");
    EXPECT_EQ(w.ui.ButtByte0B->value(), 1);
    EXPECT_EQ(w.ui.ButtByte0->value(), 144);
    EXPECT_EQ(w.ui.ButtByte0HEX->text(), "90");
    EXPECT_EQ(w.ui.ButtByte1->value(), 48);
    EXPECT_EQ(w.ui.ButtByte1HEX->text(), "30");
    EXPECT_EQ(w.ui.ButtByte2->value(), 127);
    EXPECT_EQ(w.ui.ButtByte2HEX->text(), "7F");
    EXPECT_EQ(w.ui.ButtMode->currentText(), "ON/OFF");
    EXPECT_EQ(w.ui.ButtByte0BLabel->text(), "Midi Channel :");
    EXPECT_EQ(w.ui.ButtByte1Label->text(), "Note Nr :");
    EXPECT_EQ(w.ui.ButtByte2Label->text(), "Velocity :");
    EXPECT_FALSE(w.ui.LearnButt->isChecked());

    // The first look-up has replaced the layout's text with the name of the shown values, from
    // the shipped preset file beside the program.
    EXPECT_EQ(w.ui.PotPresetName->currentText(), "Bank Select MSB (CC 0)");
    EXPECT_EQ(w.ui.ButtPresetName->currentText(), "Note C3 (48)");
    EXPECT_EQ(w.ui.PotPresetName->count(), 104);
    EXPECT_EQ(w.ui.ButtPresetName->count(), 131);
    EXPECT_EQ(w.ui.PotPresetName->itemText(0), "Modulation Wheel (CC 1)");
}

TEST(MainWindow, ControlsSitWhereTheLayoutPutsThem) {
    Window w;
    const Place places[] = {
        {"PageControl1", 0, 0, 530, 458},
        {"TestReleaseLabel", 16, 8, -1, -1},
        {"QuillURLLabel", 16, 24, -1, -1},
        {"TestKnob", 16, 40, 32, 32},
        {"Label17", 16, 88, -1, -1},
        {"EmulatedBox", 16, 104, 161, -1},
        {"generatefaders", 16, 144, 75, 25},
        {"ShowFaderDesk", 112, 144, 89, 25},
        {"OpenSysex", 16, 176, 89, 25},
        {"StoreSysex", 112, 176, 89, 25},
        {"Label23", 224, 8, -1, -1},
        {"MIDIInComboBox", 224, 24, 161, -1},
        {"MIDIOutLabel", 224, 56, -1, -1},
        {"MIDIOutComboBox", 224, 72, 161, -1},
        {"StatusLabel", 224, 104, -1, -1},
        {"RequestSysexDump", 208, 144, 113, 25},
        {"SlowSendToKorvane", 208, 176, 113, 25},
        {"SendToKorvane", 208, 240, 121, 25},
        {"Label24", 328, 152, -1, -1},
        {"SysexReceiveCount", 432, 152, -1, -1},
        {"Label27", 328, 184, -1, -1},
        {"BytesToSend", 432, 184, -1, -1},
        {"Label1", 8, 224, -1, -1},
        {"Label5", 8, 240, -1, -1},
        {"Label28", 16, 312, -1, -1},
        {"SysexSendSpeed", 152, 304, 65, 22},
        {"Label29", 224, 312, -1, -1},
        {"Button1", 16, 336, 89, 25},
        {"OfferOwnPorts", 120, 340, 200, 17},
        // Pots page
        {"Label3", 16, 16, -1, -1},
        {"PotNumberInBank", 96, 8, 41, 22},
        {"Label2", 168, 16, -1, -1},
        {"PotBank", 208, 8, 41, 22},
        {"PotNumberLabel", 384, 16, -1, -1},
        {"PotNumber", 424, 8, 41, 22},
        {"PotPresetName", 160, 40, 305, -1},
        {"PotPropertiesGroupbox", 16, 72, 449, 297},
        {"PotByte0A", 88, 40, 169, -1},
        {"PotByte0B", 88, 64, 57, 22},
        {"PotByte0", 200, 64, 57, 22},
        {"Label19", 264, 56, -1, -1},
        {"PotByte0HEX", 264, 72, -1, -1},
        {"PotByte1", 88, 88, 57, 22},
        {"PotByte1HEX", 152, 96, -1, -1},
        {"PotMin", 88, 112, 57, 22},
        {"PotMinHEX", 152, 120, -1, -1},
        {"PotMax", 88, 136, 57, 22},
        {"PotMaxHEX", 152, 144, -1, -1},
        {"LearnPot", 304, 40, 73, -1},
        {"vMotPots", 304, 56, 137, -1},
        {"Label7", 16, 272, -1, -1},
        // Buttons page
        {"Label6", 16, 16, -1, -1},
        {"ButtonNumberInBank", 96, 8, 41, 22},
        {"Label4", 168, 16, -1, -1},
        {"ButtonBank", 208, 8, 41, 22},
        {"Label10", 368, 16, -1, -1},
        {"ButtNumber", 424, 8, 41, 22},
        {"ButtPresetName", 160, 40, 305, -1},
        {"ButtPropertiesGroupbox", 16, 72, 449, 297},
        {"ButtByte0A", 88, 40, 169, -1},
        {"ButtByte0B", 88, 64, 57, 22},
        {"ButtByte0", 200, 64, 57, 22},
        {"Label16", 264, 56, -1, -1},
        {"ButtByte0HEX", 264, 72, -1, -1},
        {"ButtByte1", 88, 88, 57, 22},
        {"ButtByte1HEX", 152, 96, -1, -1},
        {"ButtByte2", 88, 112, 57, 22},
        {"ButtByte2HEX", 152, 120, -1, -1},
        {"ButtMode", 88, 136, 81, -1},
        {"LearnButt", 304, 40, 97, -1},
        {"Label8", 16, 272, -1, -1},
    };
    for (const Place &p : places) {
        auto *widget = w.form.findChild<QWidget *>(p.name);
        ASSERT_NE(widget, nullptr) << p.name;
        EXPECT_EQ(widget->pos(), QPoint(p.x, p.y)) << p.name;
        if (p.width >= 0) {
            EXPECT_EQ(widget->width(), p.width) << p.name;
        }
        if (p.height >= 0) {
            EXPECT_EQ(widget->height(), p.height) << p.name;
        }
    }
    // The editing controls of each page live in its group box.
    EXPECT_EQ(w.ui.PotByte0->parentWidget(), w.ui.PotPropertiesGroupbox);
    EXPECT_EQ(w.ui.ButtMode->parentWidget(), w.ui.ButtPropertiesGroupbox);
    EXPECT_EQ(w.ui.PotPropertiesGroupbox->title(), "Properties");

    // Right-aligned captions end just before the control they name, on its line.
    for (auto [label, control] :
         {std::pair{w.ui.Label25, static_cast<QWidget *>(w.ui.PotPresetName)},
          {w.ui.Label32, w.ui.PotByte0A},
          {w.ui.PotByte0BLabel, w.ui.PotByte0B},
          {w.ui.Label11, w.ui.PotByte0},
          {w.ui.PotByte1Label, w.ui.PotByte1},
          {w.ui.Label13, w.ui.PotMin},
          {w.ui.Label14, w.ui.PotMax},
          {w.ui.Label20, w.ui.ButtPresetName},
          {w.ui.Label12, w.ui.ButtByte0A},
          {w.ui.ButtByte0BLabel, w.ui.ButtByte0B},
          {w.ui.Label15, w.ui.ButtByte0},
          {w.ui.ButtByte1Label, w.ui.ButtByte1},
          {w.ui.ButtByte2Label, w.ui.ButtByte2},
          {w.ui.Label18, w.ui.ButtMode}}) {
        EXPECT_TRUE(label->alignment() & Qt::AlignRight) << label->objectName().toStdString();
        EXPECT_LE(label->geometry().right(), control->x() - 4) << label->objectName().toStdString();
        EXPECT_GE(label->geometry().right(), control->x() - 8) << label->objectName().toStdString();
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
            << label->objectName().toStdString();
    }
    // These captions change with the event type; the longest still fits.
    for (QLabel *label : {w.ui.PotByte1Label, w.ui.ButtByte1Label})
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance("Pressure Value :"));
    for (QLabel *label : {w.ui.PotByte0BLabel, w.ui.ButtByte0BLabel})
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance("Midi Channel :"));
}

TEST(MainWindow, CaptionsRangesAndItemsAreThoseOfTheLayout) {
    Window w;
    EXPECT_EQ(w.ui.Label24->text(), "Bytes To Receive   : ");
    EXPECT_EQ(w.ui.Label27->text(), "Bytes To Send        :");
    EXPECT_EQ(w.ui.SysexReceiveCount->text(), "0");
    EXPECT_EQ(w.ui.BytesToSend->text(), "0");
    EXPECT_EQ(w.ui.Label23->text(), "MIDI IN PORT :");
    EXPECT_EQ(w.ui.MIDIOutLabel->text(), "MIDI OUT PORT :");
    EXPECT_EQ(w.ui.Label17->text(), "Emulated Box :");
    EXPECT_EQ(w.ui.Label1->text(), "This is an alpha version of Virtual KORVANE Vela.");
    EXPECT_EQ(w.ui.Label28->text(), "Sysex Send Speed Tuning :");
    EXPECT_EQ(w.ui.Label29->text(), "bytes / sec (approx)");
    EXPECT_EQ(w.ui.ShowFaderDesk->text(), "Show Virtual Box");
    EXPECT_EQ(w.ui.OpenSysex->text(), "Open Sysex File");
    EXPECT_EQ(w.ui.StoreSysex->text(), "Store Sysex File");
    EXPECT_EQ(w.ui.RequestSysexDump->text(), "Request Sysex Dump");
    EXPECT_EQ(w.ui.SlowSendToKorvane->text(), "Send Sysex");
    EXPECT_EQ(w.ui.SendToKorvane->text(), "Fast Send To Korvane");
    EXPECT_EQ(w.ui.Button1->text(), "About ...");
    EXPECT_EQ(w.ui.Label7->text(),
              "HINT: use PAGE UP/PAGE DOWN keys to increase / decrease pot number");
    EXPECT_EQ(w.ui.Label8->text(),
              "HINT: use PAGE UP/PAGE DOWN keys to increase / decrease button number");
    EXPECT_EQ(w.ui.Label25->text(), "Preset :");
    EXPECT_EQ(w.ui.Label20->text(), "Preset :");
    EXPECT_EQ(w.ui.LearnPot->text(), "Learn Pot");
    EXPECT_EQ(w.ui.vMotPots->text(), "Virtual Motorized Pots");
    EXPECT_EQ(w.ui.LearnButt->text(), "Learn Button");
    EXPECT_TRUE(w.ui.MIDIInComboBox->isEditable());
    EXPECT_TRUE(w.ui.MIDIOutComboBox->isEditable());
    EXPECT_TRUE(w.ui.PotPresetName->isEditable());
    EXPECT_FALSE(w.ui.PotByte0A->isEditable());
    EXPECT_FALSE(w.ui.ButtMode->isEditable());
    EXPECT_EQ(w.ui.QuillURLLabel->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(w.ui.QuillURLLabel->font().underline());
    EXPECT_EQ(testui::textColour(w.ui.QuillURLLabel), QColor(0, 0, 128));
    EXPECT_EQ(w.ui.TestKnob->Max(), 65);
    EXPECT_EQ(w.ui.TestKnob->Position(), 0);
    EXPECT_EQ(w.ui.TestKnob->Caption(), "TestKnob");
    EXPECT_TRUE(w.ui.TestKnob->toolTip().isEmpty());

    const QStringList types{"9 : Note On ",        "A : Poly Aftertouch ",    "B : Controller ",
                            "C : Program Change ", "D : Channel Aftertouch ", "E : Pitch Bender ",
                            "F : Meta Event "};
    for (QComboBox *list : {w.ui.PotByte0A, w.ui.ButtByte0A}) {
        ASSERT_EQ(list->count(), 7);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(list->itemText(i), types[i]);
    }
    ASSERT_EQ(w.ui.ButtMode->count(), 3);
    EXPECT_EQ(w.ui.ButtMode->itemText(0), "ON/OFF");
    EXPECT_EQ(w.ui.ButtMode->itemText(1), "ON ONLY");
    EXPECT_EQ(w.ui.ButtMode->itemText(2), "TOGGLE");

    struct Range {
        QSpinBox *box;
        int min, max;
    };
    for (auto [box, min, max] : {Range{w.ui.PotNumberInBank, 1, 16},
                                 {w.ui.PotBank, 1, 16},
                                 {w.ui.PotNumber, 0, 255},
                                 {w.ui.PotByte0B, 1, 16},
                                 {w.ui.PotByte0, 144, 255},
                                 {w.ui.PotByte1, 0, 255},
                                 {w.ui.PotMin, 0, 127},
                                 {w.ui.PotMax, 0, 127},
                                 {w.ui.ButtonNumberInBank, 1, 8},
                                 {w.ui.ButtonBank, 1, 16},
                                 {w.ui.ButtNumber, 0, 127},
                                 {w.ui.ButtByte0B, 1, 16},
                                 {w.ui.ButtByte0, 144, 255},
                                 {w.ui.ButtByte1, 0, 255},
                                 {w.ui.ButtByte2, 0, 255},
                                 {w.ui.SysexSendSpeed, 2, 1000}}) {
        EXPECT_EQ(box->minimum(), min) << box->objectName().toStdString();
        EXPECT_EQ(box->maximum(), max) << box->objectName().toStdString();
        EXPECT_TRUE(box->keyboardTracking()) << box->objectName().toStdString();
    }
}

TEST(MainWindow, SendSpeedSetsTheTempoOfThePacedSend) {
    Window w;
    testui::typeInto(w.ui.SysexSendSpeed, "2");
    EXPECT_EQ(w.ui.SysexSendSpeed->value(), 2);
    EXPECT_EQ(w.form.SysexTimer->Tempo(), 1);
    testui::typeInto(w.ui.SysexSendSpeed, "1000");
    EXPECT_EQ(w.form.SysexTimer->Tempo(), 833);
    testui::typeInto(w.ui.SysexSendSpeed, "100");
    EXPECT_EQ(w.form.SysexTimer->Tempo(), 83);
    // The arrows change it like typing does.
    QTest::keyClick(w.ui.SysexSendSpeed, Qt::Key_Up);
    EXPECT_EQ(w.form.SysexTimer->Tempo(), 101 * 240 / 288);
    // Out of range: the spin edit takes no more than 1000.
    testui::typeInto(w.ui.SysexSendSpeed, "9999");
    EXPECT_EQ(w.ui.SysexSendSpeed->value(), 999);
    EXPECT_EQ(w.form.SysexTimer->Tempo(), 832);
}

TEST(MainWindow, ActionsRunByNameAndFrameTheImage) {
    Window w;
    const char *names[] = {"LoadSettingsToForm", "SaveSettingsFromForm", "UpdatePotProps",
                           "UpdateButtProps",    "SendSysexToKorvane",   "SlowSendSysexToKorvane"};
    const auto actions = w.form.VKORVActionList->findChildren<QAction *>();
    ASSERT_EQ(actions.size(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(actions[i]->objectName(), names[i]);
    EXPECT_FALSE(w.form.runAction("NoSuchAction"));
    EXPECT_TRUE(w.form.runAction("SendSysexToKorvane")); // no port is open: nothing goes out

    w.form.history().change(vkv::image::ImageChange::received(),
                            [](vkv::image::ConfigImage &image) {
                                auto &bytes = image.bytes();
                                for (int i = 0; i < 6; ++i)
                                    bytes[i] = 0x11;
                                bytes[vkv::image::EndByteOffset] = 0x00;
                                bytes[4] = 0x43;
                            });
    const auto &bytes = w.form.image().bytes();
    const auto records = std::vector<std::uint8_t>(bytes.begin() + 6, bytes.end() - 1);
    EXPECT_TRUE(w.form.runAction("SaveSettingsFromForm"));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 6),
              (std::vector<std::uint8_t>{0xF0, 0x00, 0x00, 0x7E, 0x42, 0x02}));
    EXPECT_EQ(bytes[vkv::image::EndByteOffset], 0xF7);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 6, bytes.end() - 1), records);
}

TEST(MainWindow, LoadingShowsTheNewRecordsOfTheSameNumbers) {
    Window w;
    testui::typeInto(w.ui.PotNumber, "37");
    testui::typeInto(w.ui.ButtNumber, "5");
    // A new image arrives whole, as a file or a dump would bring it.
    vkv::image::ConfigImage other;
    other.setPot(37, vkv::image::PotStatus, 0xC3);
    other.setPot(37, vkv::image::PotByte1, 9);
    other.setPot(37, vkv::image::PotMin, 10);
    other.setPot(37, vkv::image::PotMax, 20);
    other.setButton(5, vkv::image::ButtonStatus, 0xE1);
    other.setButton(5, vkv::image::ButtonByte1, 1);
    other.setButton(5, vkv::image::ButtonByte2, 2);
    other.setButton(5, vkv::image::ButtonMode, 2);
    w.form.history().change(vkv::image::ImageChange::received(),
                            [&](vkv::image::ConfigImage &image) { image = other; });
    ASSERT_TRUE(w.form.runAction("LoadSettingsToForm"));

    EXPECT_EQ(w.ui.PotNumber->value(), 37);
    EXPECT_EQ(w.ui.PotByte0->value(), 0xC3);
    EXPECT_EQ(w.ui.PotByte0A->currentText(), "C : Program Change ");
    EXPECT_EQ(w.ui.PotByte0B->value(), 4);
    EXPECT_EQ(w.ui.PotByte1->value(), 9);
    EXPECT_EQ(w.ui.PotMinHEX->text(), "0A");
    EXPECT_EQ(w.ui.PotMaxHEX->text(), "14");
    EXPECT_EQ(w.ui.ButtNumber->value(), 5);
    EXPECT_EQ(w.ui.ButtByte0HEX->text(), "E1");
    EXPECT_EQ(w.ui.ButtByte2Label->text(), "Pitch LSB :");
    EXPECT_EQ(w.ui.ButtMode->currentText(), "TOGGLE");
    // Showing wrote nothing.
    EXPECT_EQ(w.form.image().bytes(), other.bytes());
}

TEST(MainWindow, PageKeysStepThePotNumberOnThePotsPage) {
    Window w;
    w.ui.PageControl1->setCurrentWidget(w.ui.PotSettings);
    w.ui.PotNumber->setFocus();
    QTest::keyClick(w.ui.PotNumber, Qt::Key_PageUp);
    // One step, not the spin edit's own page step of ten: the window took the key.
    EXPECT_EQ(w.ui.PotNumber->value(), 1);
    EXPECT_EQ(w.ui.PotByte1->value(), 1);
    QTest::keyClick(w.ui.PotNumber, Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(w.ui.PotNumber->value(), 2);
    QTest::keyClick(w.ui.PotNumber, Qt::Key_PageDown);
    QTest::keyClick(w.ui.PotNumber, Qt::Key_PageDown);
    QTest::keyClick(w.ui.PotNumber, Qt::Key_PageDown);
    EXPECT_EQ(w.ui.PotNumber->value(), 0);

    // Whatever control has the focus on the page.
    w.ui.PotMax->setFocus();
    QTest::keyClick(w.ui.PotMax, Qt::Key_PageUp);
    EXPECT_EQ(w.ui.PotNumber->value(), 1);
    EXPECT_EQ(w.ui.PotMax->value(), 127);

    testui::typeInto(w.ui.PotNumber, "255");
    QTest::keyClick(w.ui.PotNumber, Qt::Key_PageUp);
    EXPECT_EQ(w.ui.PotNumber->value(), 255);
    EXPECT_EQ(w.ui.PotBank->value(), 16);
    EXPECT_EQ(w.ui.PotNumberInBank->value(), 16);

    // Other keys reach the control.
    QTest::keyClick(w.ui.PotNumber, Qt::Key_Down);
    EXPECT_EQ(w.ui.PotNumber->value(), 254);
}

TEST(MainWindow, PageKeysStepTheButtonNumberOnTheButtonsPage) {
    Window w;
    w.ui.PageControl1->setCurrentWidget(w.ui.ButtSettings);
    w.ui.ButtByte2->setFocus();
    QTest::keyClick(w.ui.ButtByte2, Qt::Key_PageUp);
    EXPECT_EQ(w.ui.ButtNumber->value(), 1);
    EXPECT_EQ(w.ui.ButtByte1->value(), 49);
    EXPECT_EQ(w.ui.ButtByte2->value(), 127); // the key did not reach the focused control
    QTest::keyClick(w.ui.ButtByte2, Qt::Key_PageDown);
    QTest::keyClick(w.ui.ButtByte2, Qt::Key_PageDown);
    EXPECT_EQ(w.ui.ButtNumber->value(), 0);
    testui::typeInto(w.ui.ButtNumber, "127");
    QTest::keyClick(w.ui.ButtNumber, Qt::Key_PageUp);
    EXPECT_EQ(w.ui.ButtNumber->value(), 127);
    EXPECT_EQ(w.ui.PotNumber->value(), 0);
}

TEST(MainWindow, PageKeysOnTheFilePageGoToTheFocusedControl) {
    Window w;
    ASSERT_EQ(w.ui.PageControl1->currentWidget(), w.ui.FileSheet);
    w.ui.SysexSendSpeed->setFocus();
    QTest::keyClick(w.ui.SysexSendSpeed, Qt::Key_PageUp);
    EXPECT_EQ(w.ui.SysexSendSpeed->value(), 110); // the spin edit's own page step
    EXPECT_EQ(w.ui.PotNumber->value(), 0);
    EXPECT_EQ(w.ui.ButtNumber->value(), 0);
    w.ui.TestKnob->setFocus();
    QTest::keyClick(w.ui.TestKnob, Qt::Key_PageUp);
    EXPECT_EQ(w.ui.TestKnob->Position(), 10);
}

TEST(MainWindow, TestKnobMovesTheTopLabels) {
    Window w;
    TKnob *knob = w.ui.TestKnob;
    knob->setFocus();
    QTest::keyClick(knob, Qt::Key_Up);
    EXPECT_EQ(w.ui.QuillURLLabel->x(), 17);
    EXPECT_EQ(w.ui.TestReleaseLabel->x(), 17);
    QTest::keyClick(knob, Qt::Key_End);
    EXPECT_EQ(knob->Position(), 65);
    EXPECT_EQ(w.ui.QuillURLLabel->pos(), QPoint(81, 24));
    EXPECT_EQ(w.ui.TestReleaseLabel->pos(), QPoint(81, 8));
    QTest::keyClick(knob, Qt::Key_Home);
    EXPECT_EQ(w.ui.QuillURLLabel->pos(), QPoint(16, 24));
    EXPECT_EQ(w.ui.TestReleaseLabel->pos(), QPoint(16, 8));
}

TEST(MainWindow, RightClickOnTheTestKnobSaysTest) {
    Window w;
    QString text;
    EXPECT_TRUE(testui::whileModal(
        [&] { QTest::mouseClick(w.ui.TestKnob, Qt::RightButton, {}, QPoint(16, 16)); },
        [&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            ASSERT_NE(box, nullptr);
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        }));
    EXPECT_EQ(text, "Test");
    // The left button turns the knob and shows nothing.
    EXPECT_FALSE(testui::whileModal(
        [&] {
            QTest::mouseClick(w.ui.TestKnob, Qt::LeftButton, {}, QPoint(16, 16));
            QTest::qWait(100);
        },
        [](QWidget *modal) { modal->close(); }));
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

TEST(MainWindow, LinkLabelOpensItsAddress) {
    Window w;
    UrlCatcher catcher;
    const QString address = w.ui.QuillURLLabel->text();
    const QUrl url(address);
    ASSERT_TRUE(url.isValid());
    ASSERT_FALSE(url.scheme().isEmpty());
    QDesktopServices::setUrlHandler(url.scheme(), &catcher, "open");
    QTest::mouseClick(w.ui.QuillURLLabel, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(w.ui.QuillURLLabel, Qt::RightButton, {}, QPoint(5, 5));
    QDesktopServices::unsetUrlHandler(url.scheme());
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0], url);
}

TEST(MainWindow, AboutShowsTheBoxModallyAndOkayClosesIt) {
    Window w;
    QString product;
    bool modal = false;
    EXPECT_TRUE(testui::whileModal([&] { QTest::mouseClick(w.ui.Button1, Qt::LeftButton); },
                                   [&](QWidget *shown) {
                                       auto *box = qobject_cast<TAboutBox *>(shown);
                                       ASSERT_NE(box, nullptr);
                                       modal = box->isModal();
                                       product = box->ui->ProductName->text();
                                       EXPECT_EQ(box->ui->OKButton->text(), "Okay");
                                       QTest::mouseClick(box->ui->OKButton, Qt::LeftButton);
                                   }));
    EXPECT_TRUE(modal);
    EXPECT_EQ(product, "Virtual Korvane Vela");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(w.form.CreateAboutBox()->isVisible());
}

TEST(MainWindow, LearnBoxRulesHoldHoweverABoxChanges) {
    Window w;
    // A screen reader toggles a box through its accessible action; the program sets it itself.
    const auto toggleAccessibly = [](QCheckBox *box, bool checked) {
        if (box->isChecked() == checked)
            return;
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(box);
        ASSERT_TRUE(face && face->actionInterface());
        face->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    };
    enum How { Accessible, Code };
    const struct {
        QCheckBox *box;
        How how;
        bool checked;
        bool learnPot, learnButt, motorsEnabled; // afterwards
    } steps[] = {
        {w.ui.LearnPot, Accessible, true, true, false, false},
        {w.ui.LearnButt, Accessible, true, false, true, false},
        {w.ui.LearnButt, Accessible, false, false, false, true},
        {w.ui.LearnButt, Code, true, false, true, false},
        {w.ui.LearnPot, Code, true, true, false, false},
        {w.ui.LearnButt, Accessible, true, false, true, false},
        {w.ui.LearnPot, Accessible, true, true, false, false},
        {w.ui.LearnPot, Code, false, false, false, true},
    };
    int n = 0;
    for (const auto &step : steps) {
        if (step.how == Accessible)
            toggleAccessibly(step.box, step.checked);
        else
            step.box->setChecked(step.checked);
        EXPECT_EQ(w.ui.LearnPot->isChecked(), step.learnPot) << "step " << n;
        EXPECT_EQ(w.ui.LearnButt->isChecked(), step.learnButt) << "step " << n;
        EXPECT_EQ(w.ui.vMotPots->isEnabled(), step.motorsEnabled) << "step " << n;
        ++n;
    }
}

TEST(MainWindow, RightClickOnAVirtualKnobOpensItsPot) {
    Window w;
    TFaderDesk *desk = w.form.CreateFaderDesk();
    EXPECT_EQ(desk->knobCount(), 16);
    EXPECT_FALSE(desk->isVisible());
    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    ASSERT_TRUE(desk->isVisible());
    ASSERT_NE(desk->knob(5), nullptr);

    QTest::mouseClick(desk->knob(5), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_EQ(w.ui.PageControl1->currentWidget(), w.ui.PotSettings);
    EXPECT_EQ(w.ui.PotNumber->value(), 5);
    EXPECT_EQ(w.ui.PotByte1->value(), 5);

    // Two banks up: knob 5 stands for pot 37.
    QPushButton *bankUp = nullptr;
    for (auto *b : desk->findChildren<QPushButton *>())
        if (b->text() == "Bank +")
            bankUp = b;
    ASSERT_NE(bankUp, nullptr);
    QTest::mouseClick(bankUp, Qt::LeftButton);
    QTest::mouseClick(bankUp, Qt::LeftButton);
    w.ui.PageControl1->setCurrentWidget(w.ui.FileSheet);
    QTest::mouseClick(desk->knob(5), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_EQ(w.ui.PageControl1->currentWidget(), w.ui.PotSettings);
    EXPECT_EQ(w.ui.PotNumber->value(), 37);
    EXPECT_EQ(w.ui.PotBank->value(), 3);
    EXPECT_EQ(w.ui.PotNumberInBank->value(), 6);

    // A left click turns the knob and leaves the editor where it is.
    QTest::mouseClick(desk->knob(2), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(w.ui.PotNumber->value(), 37);

    // Showing again rebuilds one set of knobs, not a second one.
    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    int knobs = 0;
    for (auto *k : desk->findChildren<TKnob *>())
        knobs += k->Tag >= 0 ? 1 : 0;
    EXPECT_EQ(knobs, 16);
}

TEST(MainWindow, ClosingTheWindowAnnouncesTheEnd) {
    Window w;
    w.form.CreateFaderDesk();
    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    QSignalSpy closed(&w.form, &TForm1::closed);
    w.form.close();
    EXPECT_EQ(closed.size(), 1);
    // The open box never keeps the program alive on its own.
    EXPECT_FALSE(w.form.faderDesk()->testAttribute(Qt::WA_QuitOnClose));
}

TEST(Application, AnEscapingExceptionIsShownAndTheProgramGoesOn) {
    QString shown;
    bool result = true;
    EXPECT_TRUE(testui::whileModal(
        [&] {
            result = vkv::app::VkvApplication::guarded(
                []() -> bool { throw std::runtime_error("bad thing"); });
        },
        [&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            ASSERT_NE(box, nullptr);
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        }));
    EXPECT_FALSE(result);
    EXPECT_EQ(shown, "bad thing");
    EXPECT_TRUE(vkv::app::VkvApplication::guarded([] { return true; }));
}

#include "main_window_test.moc"
