#include "TForm1.h"

#include "BoxCheck.h"
#include "BuildStamp.h"
#include "ButtonPage.h"
#include "CompareDesk.h"
#include "DumpRouter.h"
#include "FormFont.h"
#include "IniExport.h"
#include "MonitorWindow.h"
#include "PotPage.h"
#include "PresetFolders.h"
#include "SyxFile.h"
#include "TAboutBox.h"
#include "TFaderDesk.h"
#include "TKnob.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TTempoTimer.h"
#include "UndoKeys.h"
#include "VkvApplication.h"
#include "ui_TForm1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <future>

namespace {

// Debug messages (the preset file read) only when asked for with QT_LOGGING_RULES.
Q_LOGGING_CATEGORY(lcApp, "vkv.app", QtInfoMsg)

const QColor Red(255, 0, 0);
const QColor Teal(0, 128, 128);
const QColor Navy(0, 0, 128);

// The actions of VKORVActionList, in list order.
const char *const ActionNames[] = {"LoadSettingsToForm", "SaveSettingsFromForm",
                                   "UpdatePotProps",     "UpdateButtProps",
                                   "SendSysexToKorvane", "SlowSendSysexToKorvane"};

// Both ports prepared before the window is made, so that it lists their devices from the start.
vkv::midi::PortsInPreparation preparedBoth(vkv::midi::Backend backend) {
    vkv::midi::PortsInPreparation ports = vkv::midi::prepareBoth(backend);
    ports.output.wait();
    ports.input.wait();
    return ports;
}

// The built-in default image, which the window starts from; the empty framed image where the
// build lacks it (the window then says so). `read`: it was there.
vkv::image::ConfigImage defaultImage(bool &read) {
    vkv::image::ConfigImage image;
    read = vkv::image::loadDefaultImage(image);
    return image;
}

template <class T> bool isReady(const std::future<T> &future) {
    return future.valid() && future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

} // namespace

QString TForm1::buildDate() {
    return vkv::cli::BuildStamp::date();
}

QString TForm1::buildTime() {
    return vkv::cli::BuildStamp::time();
}

QString TForm1::releaseLabel() {
    return vkv::cli::BuildStamp::releaseLabel();
}

TForm1::TForm1(vkv::midi::Backend backend, QWidget *parent)
    : TForm1(preparedBoth(backend), parent) {}

TForm1::TForm1(vkv::midi::PortsInPreparation ports, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::TForm1>()), portsInPreparation(std::move(ports)),
      imageHistory(defaultImage(defaultsRead)) {
    setFont(vkv::controls::formFont());
    ui->setupUi(this);
    move(185, 124);

    // The ports take their back ends over once they are ready: a JACK client each is a round
    // trip to the server, which need not hold the window up.
    MidiOut1 = new TMidiOut(this, vkv::midi::PreparedOutput{});
    MidiOut1->setObjectName("MidiOut1");
    MidiIn1 = new TMidiIn(this, vkv::midi::PreparedInput{});
    MidiIn1->setObjectName("MidiIn1");
    portsTimer = new QTimer(this);
    portsTimer->setInterval(5);
    connect(portsTimer, &QTimer::timeout, this, &TForm1::collectPorts);

    SysexTimer = new TTempoTimer(this);
    SysexTimer->setObjectName("SysexTimer");
    SysexTimer->SetTempo(100);
    SysexTimer->SetOnTimer([this](QObject *sender, char tick) { SysexTimerTimer(sender, tick); });
    SysexHeadTimer = new QTimer(this);
    SysexHeadTimer->setObjectName("SysexHeadTimer");
    SysexHeadTimer->setInterval(100);
    // A coarse timer may fire 5 % late; the header pause is part of the pacing.
    SysexHeadTimer->setTimerType(Qt::PreciseTimer);
    connect(SysexHeadTimer, &QTimer::timeout, this,
            [this] { SysexHeadTimerTimer(SysexHeadTimer); });
    pacedSender =
        std::make_unique<vkv::transfer::PacedSender>(*MidiOut1, *SysexTimer, *SysexHeadTimer);
    MidiIn1->OnSysEx = [this](QObject *sender, char *data, int size) {
        MidiIn1SysEx(sender, data, size);
    };
    MidiIn1->OnSysExBroken = [this](QObject *sender) { MidiIn1SysExBroken(sender); };
    boxCheck = new vkv::app::BoxCheck(*MidiOut1, this);
    connect(boxCheck, &vkv::app::BoxCheck::said, this,
            [this](const QString &text, bool good) { showStatus(text, good); });
    wireDumpRouter();
    compareDesk = new vkv::app::CompareDesk(this, imageHistory, chooseFile, openFolder);
    connect(compareDesk, &vkv::app::CompareDesk::withBox, this, [this] {
        if (compareWithBox)
            compareWithBox();
    });
    connect(compareDesk, &vkv::app::CompareDesk::showRecord, this, &TForm1::showRecord);
    connect(boxCheck, &vkv::app::BoxCheck::differ, compareDesk,
            &vkv::app::CompareDesk::showDifferences);
    compareWithBox = [this] { boxCheck->compareWith(image().bytes()); };
    MidiOut1->OnLost = [this](QObject *sender) { MidiOut1Lost(sender); };
    MidiIn1->OnLost = [this](QObject *sender) { MidiIn1Lost(sender); };
    MidiIn1->OnShort = [this](QObject *sender, uint8_t status, uint8_t first, uint8_t second) {
        MidiIn1Short(sender, status, first, second);
    };
    portFollower = std::make_unique<vkv::app::PortFollower>(
        *MidiOut1, *MidiIn1, ui->MIDIOutComboBox, ui->MIDIInComboBox, userSettings,
        [this] { MIDIOutComboBoxChange(ui->MIDIOutComboBox); },
        [this] { MIDIInComboBoxChange(ui->MIDIInComboBox); }, this);

    // The settings are written once the values settle, and as the window goes.
    auto *settingsSettle = new QTimer(this);
    settingsSettle->setSingleShot(true);
    settingsSettle->setInterval(vkv::app::Settings::SettleMs);
    connect(settingsSettle, &QTimer::timeout, this, [this] { userSettings.flush(); });
    userSettings.deferWrites([settingsSettle] { settingsSettle->start(); });

    createActions();

    pots = new vkv::editor::PotPage(
        {ui->PotNumberInBank, ui->PotBank, ui->PotNumber, ui->PotPresetName, ui->PotByte0A,
         ui->PotByte0BLabel, ui->PotByte0B, ui->PotByte0, ui->PotByte0HEX, ui->PotByte1Label,
         ui->PotByte1, ui->PotByte1HEX, ui->PotMin, ui->PotMinHEX, ui->PotMax, ui->PotMaxHEX},
        imageHistory, presetLibrary, this);
    buttons = new vkv::editor::ButtonPage(
        {ui->ButtonNumberInBank, ui->ButtonBank, ui->ButtNumber, ui->ButtPresetName, ui->ButtByte0A,
         ui->ButtByte0BLabel, ui->ButtByte0B, ui->ButtByte0, ui->ButtByte0HEX, ui->ButtByte1Label,
         ui->ButtByte1, ui->ButtByte1HEX, ui->ButtByte2Label, ui->ButtByte2, ui->ButtByte2HEX,
         ui->ButtMode},
        imageHistory, presetLibrary, this);
    connect(&imageHistory, &vkv::image::ImageHistory::restored, this, &TForm1::imageRestored);
    ui->PotPresetName->setEditText("PotPresetName");
    ui->ButtPresetName->setEditText(QString());

    // The link: navy and underlined on a plain face, as links on the page are shown.
    QPalette link = ui->QuillURLLabel->palette();
    link.setColor(QPalette::WindowText, Navy);
    link.setColor(QPalette::Window, link.color(QPalette::Button));
    ui->QuillURLLabel->setPalette(link); // its clicks reach eventFilter through the key preview

    // Port lists: a choice from the list is a change; typed text never adds an item.
    for (QComboBox *list : {ui->MIDIOutComboBox, ui->MIDIInComboBox}) {
        list->setInsertPolicy(QComboBox::NoInsert);
        connect(list->lineEdit(), &QLineEdit::editingFinished, this,
                [this, list] { restorePortText(list); });
    }
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

    // Key preview: the page-stepping keys are taken before the focused control sees them.
    qApp->installEventFilter(this);

    FormCreate(this);
    collectPorts();
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    // The box plays the image through MidiOut1: it goes first. The ports outlive this body (they
    // are children), so nothing they call back into may go before they let go of it: the
    // monitor's tap, then the monitor.
    FaderDesk.reset();
    MidiOut1->setTap(nullptr);
    MidiIn1->setTap(nullptr);
    delete monitorWindow;
    // What their handlers reach goes with this body; the ports' own closing raises none of them.
    MidiOut1->OnLost = nullptr;
    MidiIn1->OnLost = nullptr;
    MidiIn1->OnShort = nullptr;
    MidiIn1->OnSysEx = nullptr;
    MidiIn1->OnSysExBroken = nullptr;
    userSettings.flush();
}

const vkv::image::DumpBytes &TForm1::receiveArea() const {
    return dumpRouter->area();
}

void TForm1::wireDumpRouter() {
    using vkv::transfer::DumpRouter;
    dumpRouter = new DumpRouter(boxCheck->boxQuery(), this);
    connect(dumpRouter, &DumpRouter::counting, this,
            [this](int left) { ui->SysexReceiveCount->setText(QString::number(left)); });
    connect(dumpRouter, &DumpRouter::done, this, [this](bool forEditor) {
        ui->SysexReceiveCount->setText("Done !!");
        if (!forEditor)
            return; // a check's answer never becomes the configuration
        imageHistory.change(
            vkv::image::ImageChange::received(),
            [this](vkv::image::ConfigImage &image) { image.bytes() = dumpRouter->area(); });
        runAction("LoadSettingsToForm");
    });
    connect(dumpRouter, &DumpRouter::tooLarge, this,
            [this] { ui->SysexReceiveCount->setText("Sysex 2 Large ?!"); });
    connect(dumpRouter, &DumpRouter::brokeOff, this,
            [this] { ui->SysexReceiveCount->setText("Sysex Broken ?!"); });
    connect(dumpRouter, &DumpRouter::lateAnswer, this, [this](int seconds) {
        showStatus(
            QStringLiteral("The box answered after %1 s; its answer was not taken").arg(seconds),
            false);
    });
}

void TForm1::createActions() {
    VKORVActionList = new QObject(this);
    VKORVActionList->setObjectName("VKORVActionList");
    for (const char *name : ActionNames) {
        auto *a = new QAction(QString::fromLatin1(name), VKORVActionList);
        a->setObjectName(QString::fromLatin1(name));
    }
    const auto handle = [this](const char *name, void (TForm1::*handler)(QObject *)) {
        QAction *a = action(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, a, handler] { (this->*handler)(a); });
        handledActions << a->objectName();
    };
    handle("LoadSettingsToForm", &TForm1::LoadSettingsToFormExecute);
    handle("SaveSettingsFromForm", &TForm1::SaveSettingsFromFormExecute);
    handle("UpdatePotProps", &TForm1::UpdatePotPropsExecute);
    handle("UpdateButtProps", &TForm1::UpdateButtPropsExecute);
    handle("SendSysexToKorvane", &TForm1::SendSysexToKorvaneExecute);
    handle("SlowSendSysexToKorvane", &TForm1::SlowSendSysexToKorvaneExecute);
}

QAction *TForm1::action(const QString &name) const {
    return VKORVActionList->findChild<QAction *>(name, Qt::FindDirectChildrenOnly);
}

bool TForm1::runAction(const QString &name) {
    QAction *a = action(name);
    if (!a || !handledActions.contains(name))
        return false;
    a->trigger();
    return true;
}

TFaderDesk *TForm1::CreateFaderDesk() {
    if (!FaderDesk) {
        FaderDesk = std::make_unique<TFaderDesk>(
            imageHistory.image(), [this](char s, char a, char b) { MidiOut1->Put(s, a, b); });
        FaderDesk->setObjectName("FaderDesk");
        // The box never keeps the program running once the main window is closed.
        FaderDesk->setAttribute(Qt::WA_QuitOnClose, false);
        FaderDesk->setPotEditor(this);
        if (settingsLoaded)
            FaderDesk->setKnobCount(16);
    }
    return FaderDesk.get();
}

TAboutBox *TForm1::CreateAboutBox() {
    if (!AboutBox) {
        AboutBox = new TAboutBox(this);
        AboutBox->setFont(font());
    }
    return AboutBox;
}

void TForm1::FormCreate(QObject *) {
    ui->EmulatedBox->setCurrentIndex(1);
    ui->TestReleaseLabel->setText(releaseLabel());
    showCaption();

    programFolder_ = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (!programFolder_.endsWith(QDir::separator()))
        programFolder_ += QDir::separator();
    // Both dialogs start there once they are made, unless the user last left them elsewhere.
    using Dialog = vkv::app::Settings::Dialog;
    openFolder = userSettings.folder(Dialog::Open);
    if (openFolder.isEmpty())
        openFolder = programFolder_;
    storeFolder = userSettings.folder(Dialog::Store);
    if (storeFolder.isEmpty())
        storeFolder = programFolder_;

    ui->PageControl1->setCurrentWidget(ui->FileSheet);

    // Presets before the first look-up of the pages.
    LoadPresets();

    portFollower->listOut();
    showStatus("No MIDI Out Port Selected", false);
    portFollower->listIn();

    ui->SysexSendSpeed->setValue(userSettings.speed());
    SysexSendSpeedChange(ui->SysexSendSpeed);
    ui->VerifyAfterSend->setChecked(userSettings.verifyAfterSend());

    if (!defaultsRead) {
        // Only a broken build lacks it; the image then keeps its empty, framed records.
        qCCritical(lcApp, "the built-in default configuration cannot be read");
        QMessageBox::critical(this, QString::fromLatin1(vkv::app::VkvApplication::Title),
                              "The built-in default configuration cannot be read.");
    }
    runAction("LoadSettingsToForm");
}

void TForm1::LoadPresets() {
    const QString folder = vkv::app::findPresetFolder(vkv::app::presetFolders(programFolder_));
    qCDebug(lcApp, "presets from %s",
            qPrintable(vkv::editor::PresetLibrary::presetFilePath(folder)));
    presetLibrary.LoadPresets(folder);
    buttons->fillPresetNames();
    pots->fillPresetNames();
}

void TForm1::preparePortsOnceShown(vkv::midi::Backend backend) {
    portsWanted = backend;
    QTimer::singleShot(1000, this, &TForm1::startPortPreparation);
}

void TForm1::startPortPreparation() {
    if (!portsWanted)
        return;
    portsInPreparation = vkv::midi::prepareBoth(*std::exchange(portsWanted, std::nullopt));
    collectPorts();
}

void TForm1::collectPorts() {
    bool adopted = false;
    if (isReady(portsInPreparation.output)) {
        MidiOut1->adopt(portsInPreparation.output.get());
        portFollower->listOut();
        adopted = true;
    }
    if (isReady(portsInPreparation.input)) {
        MidiIn1->adopt(portsInPreparation.input.get());
        portFollower->listIn();
        adopted = true;
    }
    const bool left = portsInPreparation.output.valid() || portsInPreparation.input.valid();
    if (left && !portsTimer->isActive())
        portsTimer->start();
    else if (!left)
        portsTimer->stop();
    // Watched on the back end the ports took, once both have it; the remembered ports open.
    if (adopted && !left)
        portFollower->follow();
}

void TForm1::PortsChanged() {
    portFollower->portsChanged();
}

void TForm1::restorePortText(QComboBox *list) {
    if (list->findText(list->currentText(), Qt::MatchExactly) < 0)
        list->setEditText(list->itemText(list->currentIndex()));
}

void TForm1::showStatus(const QString &text, bool good) {
    ui->StatusLabel->setText(text);
    QPalette palette = ui->StatusLabel->palette();
    palette.setColor(QPalette::WindowText, good ? Teal : Red);
    ui->StatusLabel->setPalette(palette);
}

void TForm1::setSendButtonsEnabled(bool enabled) {
    ui->SendToKorvane->setEnabled(enabled);
    ui->SlowSendToKorvane->setEnabled(enabled);
}

void TForm1::MIDIOutComboBoxChange(QObject *) {
    const int i = ui->MIDIOutComboBox->currentIndex();
    const int n = MidiOut1->NumDevs();
    if (i < 0 || i > n) // typed text that names no device changes nothing
        return;
    // The choice is remembered whether or not the port opens now: it may open when it comes
    // back, or next time. By its whole name, which tells two boxes of one make apart.
    userSettings.setOutPort(QString::fromStdString(MidiOut1->deviceName(i)));
    boxCheck->cancel();
    MidiOut1->SetUsing(false);
    if (i == n) {
        showStatus("No MIDI OUT Port Selected", false);
        setSendButtonsEnabled(false);
        ui->RequestSysexDump->setEnabled(false);
        return;
    }
    MidiOut1->SetPort(i);
    // Judge the open just made, so a refused device is never shown as selected.
    MidiOut1->SetUsing(true);
    if (MidiOut1->OpenResult() != vkv::midi::Result::NoError) {
        MidiOut1->SetUsing(false);
        showStatus("MIDI OUT Port not ready!", false);
        setSendButtonsEnabled(false);
        ui->RequestSysexDump->setEnabled(false);
        return;
    }
    showStatus("MIDI OUT Port Selected ...", true);
    setSendButtonsEnabled(true);
    if (MidiIn1->Using())
        ui->RequestSysexDump->setEnabled(true);
}

void TForm1::MIDIInComboBoxChange(QObject *) {
    const int i = ui->MIDIInComboBox->currentIndex();
    const int n = MidiIn1->NumDevs();
    if (i < 0 || i > n) // typed text that names no device changes nothing
        return;
    userSettings.setInPort(QString::fromStdString(MidiIn1->deviceName(i)));
    boxCheck->cancel();
    MidiIn1->SetUsing(false);
    if (i == n) {
        showStatus("No MIDI IN Port Selected", false);
        ui->RequestSysexDump->setEnabled(false);
        return;
    }
    MidiIn1->SetPort(i);
    MidiIn1->SetUsing(true);
    if (MidiIn1->OpenResult() != vkv::midi::Result::NoError) {
        MidiIn1->SetUsing(false);
        showStatus("MIDI IN Port not ready!", false);
        ui->RequestSysexDump->setEnabled(false);
        return;
    }
    showStatus("MIDI IN Port Selected ...", true);
    if (MidiOut1->Using())
        ui->RequestSysexDump->setEnabled(true);
}

void TForm1::MidiOut1Lost(QObject *) {
    boxCheck->cancel();
    // A paced send under way can go no further; what it sent is no whole dump, and "Bytes To
    // Send" keeps what it did not send.
    if (pacedSender->sending()) {
        pacedSender->stop();
        ui->BytesToSend->setText(QString::number(pacedSender->bytesLeft()));
    }
    MidiOut1->SetUsing(false);
    ui->MIDIOutComboBox->setCurrentIndex(MidiOut1->NumDevs());
    showStatus("MIDI OUT Port lost: " + QString::fromStdString(MidiOut1->lostReason()), false);
    setSendButtonsEnabled(false);
    ui->RequestSysexDump->setEnabled(false);
}

void TForm1::MidiIn1Lost(QObject *) {
    boxCheck->cancel();
    MidiIn1->SetUsing(false);
    dumpRouter->abandon();
    ui->MIDIInComboBox->setCurrentIndex(MidiIn1->NumDevs());
    showStatus("MIDI IN Port lost: " + QString::fromStdString(MidiIn1->lostReason()), false);
    ui->RequestSysexDump->setEnabled(false);
}

void TForm1::QuillURLLabelClick(QObject *) {
    QDesktopServices::openUrl(QUrl(ui->QuillURLLabel->text()));
}

void TForm1::Button1Click(QObject *) {
    CreateAboutBox()->exec();
}

void TForm1::FormKeyDown(QObject *, int &Key, Qt::KeyboardModifiers Shift) {
    // The undo keys are the configuration's wherever the focus is, also in a spin edit, whose
    // own text undo would only retype what every key there has stored in the record already.
    switch (vkv::controls::undoKey(Key, Shift)) {
    case vkv::controls::UndoKey::Undo:
        imageHistory.undo();
        Key = 0;
        return;
    case vkv::controls::UndoKey::Redo:
        imageHistory.redo();
        Key = 0;
        return;
    case vkv::controls::UndoKey::None:
        break;
    }
    QSpinBox *number = nullptr;
    if (ui->PageControl1->currentWidget() == ui->PotSettings)
        number = ui->PotNumber;
    else if (ui->PageControl1->currentWidget() == ui->ButtSettings)
        number = ui->ButtNumber;
    if (!number)
        return;
    if (Key == Qt::Key_PageDown) {
        number->setValue(number->value() - 1);
        Key = 0;
    } else if (Key == Qt::Key_PageUp) {
        number->setValue(number->value() + 1);
        Key = 0;
    }
}

void TForm1::TestKnobChange(TKnob *Sender) {
    const int left = Sender->Position() + 16;
    ui->QuillURLLabel->move(left, ui->QuillURLLabel->y());
    ui->TestReleaseLabel->move(left, ui->TestReleaseLabel->y());
}

void TForm1::TestKnobMouseDown(TKnob *, Qt::MouseButton Button, Qt::KeyboardModifiers, int, int) {
    if (Button == Qt::RightButton)
        QMessageBox::information(this, QString::fromLatin1(vkv::app::VkvApplication::Title),
                                 "Test");
}

void TForm1::ShowFaderDeskClick(QObject *) {
    CreateFaderDesk()->ShowFaderDeskClick();
}

void TForm1::SysexSendSpeedChange(QObject *) {
    // The spin edit keeps the speed within 2..1000.
    pacedSender->setSpeed(ui->SysexSendSpeed->value());
    userSettings.setSpeed(ui->SysexSendSpeed->value());
}

// Dump transfer.

void TForm1::SendToKorvaneClick(QObject *) {
    runAction("SaveSettingsFromForm");
    runAction("SendSysexToKorvane");
}

void TForm1::SendSysexToKorvaneExecute(QObject *) {
    boxCheck->cancel();
    // During a paced send it waits for that send's last slice, as the knobs' messages do.
    const bool held = MidiOut1->holdingMessages();
    if (!MidiOut1->SysExMessage(reinterpret_cast<const char *>(image().raw()),
                                vkv::image::DumpSize))
        reportSendFailure(0);
    else if (!held)
        verifySent(image().bytes());
}

void TForm1::verifySent(const vkv::image::DumpBytes &sent, const QString &note) {
    if (ui->VerifyAfterSend->isChecked() && ui->VerifyAfterSend->isEnabled())
        boxCheck->verify(sent, note);
}

void TForm1::SlowSendToKorvaneClick(QObject *) {
    runAction("SaveSettingsFromForm");
    runAction("SlowSendSysexToKorvane");
}

void TForm1::SlowSendSysexToKorvaneExecute(QObject *) {
    boxCheck->cancel();
    // Knob messages are held until the last slice; the header pause leaves the window responsive.
    if (!pacedSender->start(image().raw()))
        reportSendFailure(0);
}

void TForm1::SysexHeadTimerTimer(QObject *) {
    pacedSender->headPauseOver();
}

void TForm1::SysexTimerTimer(QObject *, char) {
    if (!pacedSender->sending())
        return; // a tick queued before the send stopped
    pacedSender->tick();
    ui->BytesToSend->setText(QString::number(pacedSender->bytesLeft()));
    if (!pacedSender->sending())
        pacedSendOver();
}

void TForm1::pacedSendOver() {
    const auto last = pacedSender->lastWholeSent();
    if (pacedSender->failed() || !last) {
        reportSendFailure(vkv::image::DumpSize - pacedSender->bytesLeft());
        return;
    }
    // The box holds the last whole configuration that went, whatever the editor did meanwhile.
    QString note;
    if (pacedSender->heldSendsFailed() > 0)
        note += QStringLiteral("; the send held behind it failed");
    if (image().bytes() != *last)
        note += QStringLiteral("; the editor changed during the send; the box holds what was "
                               "sent when it started");
    if (ui->VerifyAfterSend->isChecked() && ui->VerifyAfterSend->isEnabled())
        verifySent(*last, note);
    else if (pacedSender->heldSendsFailed() > 0)
        reportSendFailure(0);
    else if (!note.isEmpty())
        showStatus("Sent" + note, false);
}

void TForm1::RequestSysexDumpClick(QObject *) {
    // The dump that answers is the user's, however late a check's answer was expected.
    dumpRouter->requested();
    // During a paced send the request waits for its last slice: in between it would cut the dump.
    if (!MidiOut1->SysExMessage(reinterpret_cast<const char *>(vkv::image::DumpRequest.data()),
                                static_cast<int>(vkv::image::DumpRequest.size())))
        reportSendFailure(0);
}

void TForm1::reportSendFailure(int sent) {
    // A port found gone says so in its own words a moment later (MidiOut1Lost).
    showStatus(sent > 0 ? QStringLiteral("MIDI OUT send failed after %1 of %2 bytes")
                              .arg(sent)
                              .arg(vkv::image::DumpSize)
                        : QStringLiteral("MIDI OUT send failed"),
               false);
}

void TForm1::MidiIn1SysEx(QObject *, char *SysExAdd, int MsgSize) {
    dumpRouter->chunk(reinterpret_cast<const std::uint8_t *>(SysExAdd), MsgSize);
}

void TForm1::MidiIn1SysExBroken(QObject *) {
    dumpRouter->broken();
}

// Files.

namespace {

// A dialog keeps the filter entry last chosen in it.
void keepFilter(QFileDialog *dialog, int entry) {
    const QStringList filters = dialog->nameFilters();
    if (entry >= 0 && entry < filters.size())
        dialog->selectNameFilter(filters[entry]);
}

} // namespace

// The dialogs are made at their first use: each costs as much as the rest of the window to make,
// and most runs never open one.
QFileDialog *TForm1::SysexOpenDialog() {
    if (!openDialog) {
        openDialog = new QFileDialog(this, "Open Sysex File");
        openDialog->setObjectName("SysexOpenDialog");
        openDialog->setAcceptMode(QFileDialog::AcceptOpen);
        openDialog->setDefaultSuffix("syx");
        openDialog->setNameFilters({"KORVANE Vela sysex file (*.syx)", "Any File (*)"});
        keepFilter(openDialog, userSettings.filter(vkv::app::Settings::Dialog::Open));
        openDialog->selectFile("korvanevela.syx");
        openDialog->setDirectory(vkv::app::Settings::folderOr(openFolder, programFolder_));
    }
    return openDialog;
}

QFileDialog *TForm1::SysexSaveDialog() {
    if (!saveDialog) {
        saveDialog = new QFileDialog(this, "Save Sysex File To ...");
        saveDialog->setObjectName("SysexSaveDialog");
        saveDialog->setAcceptMode(QFileDialog::AcceptSave);
        saveDialog->setOption(QFileDialog::DontConfirmOverwrite);
        saveDialog->setDefaultSuffix("syx");
        saveDialog->setNameFilters({"KORVANE Vela sysex file (*.syx)", "dumpgen INI file (*.INI)"});
        keepFilter(saveDialog, userSettings.filter(vkv::app::Settings::Dialog::Store));
        saveDialog->selectFile("custom.syx");
        saveDialog->setDirectory(vkv::app::Settings::folderOr(storeFolder, programFolder_));
    }
    return saveDialog;
}

QFileDialog *TForm1::SysexCompareDialog() {
    return compareDesk->fileDialog();
}

void TForm1::OpenSysexClick(QObject *) {
    const auto choice = chooseFile(SysexOpenDialog());
    if (!choice)
        return;
    keepFilter(SysexOpenDialog(), choice->filter);
    userSettings.setFilter(vkv::app::Settings::Dialog::Open, choice->filter);
    OpenSysexFile(choice->file);
}

bool TForm1::OpenSysexFile(const QString &path) {
    const QFileInfo file(path);
    if (!file.exists())
        return false;
    // The whole file is read before the image takes any of it: a failed read changes nothing.
    QString why;
    const auto bytes = vkv::image::SyxFile::read(file.filePath(), &why);
    if (!bytes) {
        qCWarning(lcApp, "cannot read %s: %s", qPrintable(file.filePath()), qPrintable(why));
        QMessageBox::critical(this, "File Error", "Can't perform Sysex File Read...",
                              QMessageBox::Ok | QMessageBox::Cancel);
        return false;
    }
    // A short file replaces only as many leading bytes as it holds.
    imageHistory.change(vkv::image::ImageChange::opened(file.fileName()),
                        [&](vkv::image::ConfigImage &image) {
                            std::copy(bytes->begin(), bytes->end(), image.bytes().begin());
                        });
    openFolder = file.absolutePath();
    userSettings.setFolder(vkv::app::Settings::Dialog::Open, openFolder);
    if (openDialog)
        openDialog->setDirectory(openFolder);
    showCaption();

    TFaderDesk *desk = CreateFaderDesk();
    desk->hide();
    desk->ClearVirtualBox();
    runAction("LoadSettingsToForm");
    desk->BuildVirtualBox();
    desk->LoadPotsToKnobs();
    return true;
}

void TForm1::StoreSysexClick(QObject *) {
    runAction("SaveSettingsFromForm"); // framed also when the dialog is then cancelled
    const auto choice = chooseFile(SysexSaveDialog());
    if (!choice)
        return;
    keepFilter(SysexSaveDialog(), choice->filter);
    // This run's dialog stays where the user left it by itself; the next run's starts there too.
    userSettings.setFilter(vkv::app::Settings::Dialog::Store, choice->filter);
    userSettings.setFolder(vkv::app::Settings::Dialog::Store,
                           QFileInfo(choice->file).absolutePath());
    // The chosen filter entry, not the name's extension, decides the form.
    const bool ini = choice->filter == 1;
    const QByteArray bytes =
        ini ? vkv::image::IniExport::render(image(), ui->TestReleaseLabel->text(),
                                            vkv::image::IniExport::now())
            : QByteArray(reinterpret_cast<const char *>(image().raw()), vkv::image::DumpSize);
    QString why;
    bool cutShort = false;
    if (!vkv::image::SyxFile::write(choice->file, bytes, &why, &cutShort))
        reportStoreFailure(choice->file, why, cutShort);
}

void TForm1::CompareSysexClick(QObject *) {
    compareDesk->offer(ui->CompareSysex, compareWithBox && MidiOut1->Using() && MidiIn1->Using());
}

void TForm1::reportStoreFailure(const QString &file, const QString &why, bool cutShort) {
    std::fputs("Cannot open output file.\n", stderr);
    qCWarning(lcApp, "cannot write %s: %s", qPrintable(file), qPrintable(why));
    QMessageBox::critical(this, "File Error",
                          "Cannot open output file.\n\n" + QDir::toNativeSeparators(file) + "\n" +
                              why +
                              (cutShort ? QStringLiteral("\n\nIts folder takes no new files, so "
                                                         "it was being written in place: it may "
                                                         "now be cut short. Store it again.")
                                        : QStringLiteral("\n\nNothing was written; an existing "
                                                         "file is kept as it was.")));
}

// Incoming short messages.

void TForm1::MidiIn1Short(QObject *, uint8_t Status, uint8_t First, uint8_t Second) {
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
    if (ui->LearnPot->isChecked()) {
        ui->LearnButt->setChecked(false);
        ui->vMotPots->setEnabled(false);
    } else if (!ui->LearnButt->isChecked()) {
        ui->vMotPots->setEnabled(true);
    }
}

void TForm1::LearnButtClick(QObject *) {
    if (ui->LearnButt->isChecked()) {
        ui->LearnPot->setChecked(false);
        ui->vMotPots->setEnabled(false);
    } else if (!ui->LearnPot->isChecked()) {
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

bool TForm1::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == this) {
        auto *key = static_cast<QKeyEvent *>(event);
        int code = key->key();
        FormKeyDown(watched, code, key->modifiers());
        if (code == 0)
            return true;
    } else if (event->type() == QEvent::EnabledChange && watched == ui->RequestSysexDump) {
        ui->VerifyAfterSend->setEnabled(ui->RequestSysexDump->isEnabled());
    } else if (event->type() == QEvent::Expose && portsWanted && watched == windowHandle()) {
        // Queued behind the paint that the exposure brings.
        QMetaObject::invokeMethod(this, &TForm1::startPortPreparation, Qt::QueuedConnection);
    } else if (watched == ui->QuillURLLabel && event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton &&
            ui->QuillURLLabel->rect().contains(mouse->position().toPoint()))
            QuillURLLabelClick(ui->QuillURLLabel);
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent *event) {
    event->accept();
    userSettings.flush();
    emit closed();
}

void TForm1::ShowMidiMonitorClick(QObject *) {
    vkv::monitor::MonitorWindow *monitor = CreateMonitorWindow();
    monitor->show();
    monitor->raise();
    monitor->activateWindow();
}

vkv::monitor::MonitorWindow *TForm1::CreateMonitorWindow() {
    if (monitorWindow == nullptr) {
        monitorWindow = new vkv::monitor::MonitorWindow(this);
        monitorWindow->setPlace(userSettings.monitorPlace());
        connect(monitorWindow, &vkv::monitor::MonitorWindow::tapping, this,
                [this](vkv::midi::MidiTap *tap) {
                    MidiOut1->setTap(tap);
                    MidiIn1->setTap(tap);
                });
        connect(monitorWindow, &vkv::monitor::MonitorWindow::placeChanged, this,
                [this](const QRect &place) { userSettings.setMonitorPlace(place); });
    }
    return monitorWindow;
}
