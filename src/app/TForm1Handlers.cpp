// The main window's handlers of its buttons, actions and incoming short messages: each hands its
// work to the desk or page that does it.
#include "TForm1.h"

#include "ButtonPage.h"
#include "CompareDesk.h"
#include "FileDesk.h"
#include "OverviewDesk.h"
#include "PotPage.h"
#include "TFaderDesk.h"
#include "TKnob.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TransferDesk.h"
#include "ui_TForm1.h"

#include <QCheckBox>

// Dump transfer.

void TForm1::SendToKorvaneClick(QObject *) {
    runAction("SaveSettingsFromForm");
    runAction("SendSysexToKorvane");
}

void TForm1::SendSysexToKorvaneExecute(QObject *) {
    transfers->sendFast();
}

void TForm1::SlowSendToKorvaneClick(QObject *) {
    runAction("SaveSettingsFromForm");
    runAction("SlowSendSysexToKorvane");
}

void TForm1::SlowSendSysexToKorvaneExecute(QObject *) {
    transfers->sendPaced();
}

void TForm1::SysexHeadTimerTimer(QObject *) {
    transfers->headPauseOver();
}

void TForm1::SysexTimerTimer(QObject *, char) {
    transfers->tick();
}

void TForm1::RequestSysexDumpClick(QObject *) {
    transfers->requestDump();
}

void TForm1::MidiIn1SysEx(QObject *, char *SysExAdd, int MsgSize) {
    transfers->chunk(reinterpret_cast<const std::uint8_t *>(SysExAdd), MsgSize);
}

void TForm1::MidiIn1SysExBroken(QObject *) {
    transfers->broken();
}

// Files.

QFileDialog *TForm1::SysexOpenDialog() {
    return files->openDialog();
}

QFileDialog *TForm1::SysexSaveDialog() {
    return files->saveDialog();
}

QFileDialog *TForm1::SysexCompareDialog() {
    return compareDesk->fileDialog();
}

void TForm1::OpenSysexClick(QObject *) {
    if (files->openChosen())
        fileOpened();
}

bool TForm1::OpenSysexFile(const QString &path) {
    if (!files->open(path))
        return false;
    fileOpened();
    return true;
}

void TForm1::fileOpened() {
    showCaption();
    TFaderDesk *desk = CreateFaderDesk();
    desk->hide();
    desk->ClearVirtualBox();
    runAction("LoadSettingsToForm");
    desk->BuildVirtualBox();
    desk->LoadPotsToKnobs();
}

void TForm1::StoreSysexClick(QObject *) {
    runAction("SaveSettingsFromForm"); // framed also when the dialog is then cancelled
    files->storeChosen(ui->TestReleaseLabel->text());
}

void TForm1::CompareSysexClick(QObject *) {
    compareDesk->offer(ui->CompareSysex, compareWithBox && MidiOut1->Using() && MidiIn1->Using());
}

// Incoming short messages.

void TForm1::MidiIn1Short(QObject *, uint8_t Status, uint8_t First, uint8_t Second) {
    overview->heard(Status, First);
    // Note Off and system messages neither learn nor move knobs.
    if (Status < 0x90 || Status >= 0xF0)
        return;
    if (ui->LearnPot->isChecked()) {
        ui->PageControl1->setCurrentWidget(ui->PotSettings);
        pots->learn(Status, First);
        return;
    }
    if (ui->LearnButt->isChecked()) {
        ui->PageControl1->setCurrentWidget(ui->ButtSettings);
        buttons->learn(Status, First, Second);
        return;
    }
    MatchMotorPots(Status, First, Second);
}

void TForm1::MatchMotorPots(uint8_t status, uint8_t data1, uint8_t data2) {
    TFaderDesk *desk = FaderDesk.get();
    if (!desk || !ui->vMotPots->isChecked() || !desk->isVisible())
        return;
    // Every matching knob moves, in ascending order; each move sends its pot's event, with the
    // value brought into the knob's range.
    for (int k : desk->engine().knobsMatching(status, data1, desk->knobCount()))
        if (TKnob *knob = desk->knob(k))
            knob->SetPosition(data2);
}

void TForm1::LearnPotClick(QObject *) {
    learnBoxChanged(ui->LearnPot, ui->LearnButt);
}

void TForm1::LearnButtClick(QObject *) {
    learnBoxChanged(ui->LearnButt, ui->LearnPot);
}

void TForm1::learnBoxChanged(QCheckBox *box, QCheckBox *other) {
    // One learn box at a time; the knobs follow incoming MIDI only while neither learns.
    if (box->isChecked()) {
        other->setChecked(false);
        ui->vMotPots->setEnabled(false);
    } else if (!other->isChecked()) {
        ui->vMotPots->setEnabled(true);
    }
}

void TForm1::LoadSettingsToFormExecute(QObject *) {
    settingsLoaded = true;
    if (FaderDesk)
        FaderDesk->setKnobCount(16);
    runAction("UpdatePotProps");
    runAction("UpdateButtProps");
    ui->ShowFaderDesk->setEnabled(true);
    ui->StoreSysex->setEnabled(true);
}

void TForm1::SaveSettingsFromFormExecute(QObject *) {
    imageHistory.frame();
}

void TForm1::UpdatePotPropsExecute(QObject *Sender) {
    pots->UpdatePotPropsExecute(Sender);
}

void TForm1::UpdateButtPropsExecute(QObject *Sender) {
    buttons->UpdateButtPropsExecute(Sender);
}

void TForm1::editPot(int potId) {
    bringToFront();
    ui->PageControl1->setCurrentWidget(ui->PotSettings);
    ui->PotNumber->setValue(potId);
}

void TForm1::showRecord(bool pot, int id) {
    if (pot) {
        editPot(id);
        return;
    }
    bringToFront();
    ui->PageControl1->setCurrentWidget(ui->ButtSettings);
    ui->ButtNumber->setValue(id);
}

void TForm1::bringToFront() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TForm1::undoChange() {
    imageHistory.undo();
}

void TForm1::redoChange() {
    imageHistory.redo();
}

void TForm1::showCaption() {
    const QString file = imageHistory.fileName();
    setWindowTitle(file.isEmpty() ? "Virtual Korvane Vela : Test Version Compiled on " +
                                        buildDate() + " : " + buildTime()
                                  : "Virtual Korvane Vela : " + file);
}

void TForm1::imageRestored(const vkv::image::ImageChange &change) {
    using Kind = vkv::image::ImageChange::Kind;
    showCaption();
    // A file or a dump taken back or made again reloads a shown box as opening a file does, with
    // its knobs' loading events; a change of records reaches the box through the image alone, as
    // the change itself did. A hidden box is built afresh when it is shown.
    TFaderDesk *desk = FaderDesk.get();
    const bool reload =
        desk && desk->isVisible() && (change.kind == Kind::Open || change.kind == Kind::Dump);
    if (reload)
        desk->ClearVirtualBox();
    runAction("LoadSettingsToForm"); // the pages show their records anew
    if (reload) {
        desk->BuildVirtualBox();
        desk->LoadPotsToKnobs();
        desk->ShowReadyScreen();
    }
}
