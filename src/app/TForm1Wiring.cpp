// The main window's wiring: the desks that do its work, made and connected to its labels, and
// its controls connected to their handlers. Kept apart from TForm1.cpp, which makes the window and
// follows its life.
#include "TForm1.h"

#include "BoxCheck.h"
#include "CompareDesk.h"
#include "FileDesk.h"
#include "FindSpeedDesk.h"
#include "LibraryDesk.h"
#include "LibraryWindow.h"
#include "MonitorWindow.h"
#include "PrintDesk.h"
#include "RecallDesk.h"
#include "TFaderDesk.h"
#include "TKnob.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TransferDesk.h"
#include "ui_TForm1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>

void TForm1::wireTransfers() {
    using vkv::app::TransferDesk;
    const auto verifyWanted = [this] {
        return ui->VerifyAfterSend->isChecked() && ui->VerifyAfterSend->isEnabled();
    };
    transfers = new TransferDesk(*MidiOut1, *MidiIn1, *SysexTimer, *SysexHeadTimer, imageHistory,
                                 verifyWanted, this);
    MidiIn1->OnSysEx = [this](QObject *sender, char *data, int size) {
        MidiIn1SysEx(sender, data, size);
    };
    MidiIn1->OnSysExBroken = [this](QObject *sender) { MidiIn1SysExBroken(sender); };
    connect(transfers, &TransferDesk::said, this, &TForm1::showStatus);
    connect(transfers, &TransferDesk::bytesToSend, this,
            [this](int left) { ui->BytesToSend->setText(QString::number(left)); });
    connect(transfers, &TransferDesk::receiveCount, ui->SysexReceiveCount, &QLabel::setText);
    connect(transfers, &TransferDesk::dumpTaken, this, [this] { runAction("LoadSettingsToForm"); });
    files = new vkv::app::FileDesk(this, imageHistory, userSettings, chooseFile);
    compareDesk = new vkv::app::CompareDesk(this, imageHistory, chooseFile, files->openFolder());
    connect(compareDesk, &vkv::app::CompareDesk::withBox, this, [this] {
        if (compareWithBox)
            compareWithBox();
    });
    connect(compareDesk, &vkv::app::CompareDesk::showRecord, this, &TForm1::showRecord);
    connect(&transfers->boxCheck(), &vkv::app::BoxCheck::differ, compareDesk,
            &vkv::app::CompareDesk::showDifferences);
    compareWithBox = [this] { transfers->compareWithBox(); };
    auto *speedFinder = new vkv::app::FindSpeedDesk(
        {ui->FindSpeed, ui->RequestSysexDump, ui->SysexSendSpeed}, *transfers, imageHistory, this);
    connect(speedFinder, &vkv::app::FindSpeedDesk::said, this, &TForm1::showStatus);
    library = new vkv::app::LibraryDesk(
        {this, ui->StatusLabel, [this](const QString &text, bool good) { showStatus(text, good); },
         [this] { return ui->SlowSendToKorvane->isEnabled(); },
         [this](const vkv::image::DumpBytes &dump, const QString &name) {
             imageHistory.change(vkv::image::ImageChange::opened(name),
                                 [&](vkv::image::ConfigImage &image) { image.bytes() = dump; });
             fileOpened();
         },
         [this] { return ui->SysexSendSpeed->value(); }, chooseFile,
         [this] { return files->openFolder(); }},
        *transfers, imageHistory, *compareDesk, userSettings);
    connect(ui->ShowLibrary, &QPushButton::clicked, library, &vkv::app::LibraryDesk::show);
    recall = new vkv::app::RecallDesk(
        {[this](const QString &text, bool good) { showStatus(text, good); },
         [this] { return ui->SlowSendToKorvane->isEnabled(); },
         [speedFinder] { return speedFinder->searching(); }, verifyWanted,
         [this] { return ui->SysexSendSpeed->value(); }, [this] { return library->folder(); },
         [this] { return FaderDesk ? &FaderDesk->lcd() : nullptr; },
         [this](const QString &line) {
             if (monitorWindow)
                 monitorWindow->note(line);
         }},
        *transfers, userSettings, this);
    connect(recall, &vkv::app::RecallDesk::recorded, library,
            &vkv::app::LibraryDesk::recordedElsewhere);
    connect(library, &vkv::app::LibraryDesk::windowMade, recall,
            [this](vkv::librarywindow::LibraryWindow *window) {
                recall->showIn(window->setListsTab());
            });
    printing = new vkv::app::PrintDesk(this, ui->PrintSheet, imageHistory, chooseFile,
                                       [this] { return files->openFolder(); });
}

void TForm1::connectControls() {
    // Port lists: a choice from the list is a change; typed text never adds an item.
    connect(ui->MIDIOutComboBox, &QComboBox::activated, this,
            [this] { MIDIOutComboBoxChange(ui->MIDIOutComboBox); });
    connect(ui->MIDIInComboBox, &QComboBox::activated, this,
            [this] { MIDIInComboBoxChange(ui->MIDIInComboBox); });

    connect(ui->Button1, &QPushButton::clicked, this, [this] { Button1Click(ui->Button1); });
    connect(ui->ShowFaderDesk, &QPushButton::clicked, this,
            [this] { ShowFaderDeskClick(ui->ShowFaderDesk); });
    connect(ui->SysexSendSpeed, &QSpinBox::valueChanged, this,
            [this] { SysexSendSpeedChange(ui->SysexSendSpeed); });
    connect(ui->SendToKorvane, &QPushButton::clicked, this,
            [this] { SendToKorvaneClick(ui->SendToKorvane); });
    connect(ui->SlowSendToKorvane, &QPushButton::clicked, this,
            [this] { SlowSendToKorvaneClick(ui->SlowSendToKorvane); });
    connect(ui->RequestSysexDump, &QPushButton::clicked, this,
            [this] { RequestSysexDumpClick(ui->RequestSysexDump); });

    connect(ui->OpenSysex, &QPushButton::clicked, this, [this] { OpenSysexClick(ui->OpenSysex); });
    connect(ui->StoreSysex, &QPushButton::clicked, this,
            [this] { StoreSysexClick(ui->StoreSysex); });
    connect(ui->ShowMidiMonitor, &QPushButton::clicked, this,
            [this] { ShowMidiMonitorClick(ui->ShowMidiMonitor); });
    connect(ui->CompareSysex, &QPushButton::clicked, this,
            [this] { CompareSysexClick(ui->CompareSysex); });
    // Every change of a learn box counts, not only a click: a screen reader's toggle or the
    // program's own setChecked must keep the rules too. Unchecking the other box from a handler
    // runs that box's handler once, which finds nothing left to change.
    connect(ui->LearnPot, &QCheckBox::toggled, this, [this] { LearnPotClick(ui->LearnPot); });
    connect(ui->VerifyAfterSend, &QCheckBox::toggled, this,
            [this](bool on) { userSettings.setVerifyAfterSend(on); });
    // Verifying asks the box: like a request, it needs both ports.
    ui->RequestSysexDump->installEventFilter(this);
    connect(ui->LearnButt, &QCheckBox::toggled, this, [this] { LearnButtClick(ui->LearnButt); });
    chooseFile = [](QFileDialog *dialog) -> std::optional<FileChoice> {
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return std::nullopt;
        return FileChoice{
            dialog->selectedFiles().constFirst(),
            static_cast<int>(dialog->nameFilters().indexOf(dialog->selectedNameFilter()))};
    };

    ui->TestKnob->OnChange = [this](TKnob *knob) { TestKnobChange(knob); };
    ui->TestKnob->OnMouseDown = [this](TKnob *knob, Qt::MouseButton button,
                                       Qt::KeyboardModifiers shift, int x,
                                       int y) { TestKnobMouseDown(knob, button, shift, x, y); };
}
