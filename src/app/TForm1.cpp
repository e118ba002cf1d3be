#include "TForm1.h"

#include "BoxCheck.h"
#include "BuildStamp.h"
#include "ButtonPage.h"
#include "CompareDesk.h"
#include "FileDesk.h"
#include "FindSpeedDesk.h"
#include "FormFont.h"
#include "LibraryDesk.h"
#include "LibraryWindow.h"
#include "MonitorWindow.h"
#include "OverviewDesk.h"
#include "OwnPortsDesk.h"
#include "PacedSender.h"
#include "PotPage.h"
#include "PresetFolders.h"
#include "PrintDesk.h"
#include "RecallDesk.h"
#include "TAboutBox.h"
#include "TFaderDesk.h"
#include "TKnob.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "TTempoTimer.h"
#include "TransferDesk.h"
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
#include <QKeyEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <chrono>
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
vkv::ports::PortsInPreparation preparedBoth(vkv::backendapi::Backend backend) {
    vkv::ports::PortsInPreparation ports = vkv::ports::prepareBoth(backend);
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

TForm1::TForm1(vkv::backendapi::Backend backend, QWidget *parent)
    : TForm1(preparedBoth(backend), parent) {}

TForm1::TForm1(vkv::ports::PortsInPreparation ports, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::TForm1>()),
      imageHistory(defaultImage(defaultsRead)) {
    setFont(vkv::controls::formFont());
    ui->setupUi(this);
    move(185, 124);

    // The ports take their back ends over once they are ready: a JACK client each is a round
    // trip to the server, which need not hold the window up.
    MidiOut1 = new TMidiOut(this, vkv::ports::PreparedOutput{});
    MidiOut1->setObjectName("MidiOut1");
    MidiIn1 = new TMidiIn(this, vkv::ports::PreparedInput{});
    MidiIn1->setObjectName("MidiIn1");

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
    wireTransfers();
    MidiOut1->OnLost = [this](QObject *sender) { MidiOut1Lost(sender); };
    MidiIn1->OnLost = [this](QObject *sender) { MidiIn1Lost(sender); };
    MidiIn1->OnShort = [this](QObject *sender, uint8_t status, uint8_t first, uint8_t second) {
        MidiIn1Short(sender, status, first, second);
    };
    portFollower =
        new vkv::app::PortFollower(*MidiOut1, *MidiIn1,
                                   {ui->MIDIOutComboBox, ui->MIDIInComboBox, ui->SendToKorvane,
                                    ui->SlowSendToKorvane, ui->RequestSysexDump},
                                   userSettings, this);
    ownPorts = new vkv::app::OwnPortsDesk(
        *MidiOut1, *portFollower, ui->OfferOwnPorts, userSettings,
        [this](QObject *s, uint8_t a, uint8_t b, uint8_t c) {
            // Only the DAW's program changes recall: the box's own buttons send to MIDI IN.
            if (!recall->programChange(a, b))
                MidiIn1Short(s, a, b, c);
        },
        this);
    connect(portFollower, &vkv::app::PortFollower::said, this, &TForm1::showStatus);
    connect(portFollower, &vkv::app::PortFollower::choosing, transfers,
            &vkv::app::TransferDesk::cancelCheck);

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
    overview = new vkv::app::OverviewDesk(this, imageHistory, userSettings, [this] {
        runAction("UpdatePotProps");
        runAction("UpdateButtProps");
    });
    connect(ui->ShowOverview, &QPushButton::clicked, overview, &vkv::app::OverviewDesk::show);
    ui->PotPresetName->setEditText("PotPresetName");
    ui->ButtPresetName->setEditText(QString());

    // The link: navy and underlined on a plain face, as links on the page are shown.
    QPalette link = ui->QuillURLLabel->palette();
    link.setColor(QPalette::WindowText, Navy);
    link.setColor(QPalette::Window, link.color(QPalette::Button));
    ui->QuillURLLabel->setPalette(link); // its clicks reach eventFilter through the key preview

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

    // Key preview: the page-stepping keys are taken before the focused control sees them.
    qApp->installEventFilter(this);

    FormCreate(this);
    portFollower->takeOver(std::move(ports));
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    recall->stop(); // what went of a recall is recorded while the transfers are there
    // The box plays the image through MidiOut1: it goes first. The ports outlive this body (they
    // are children), so nothing they call back into may go before they let go of it: the
    // monitor's tap, then the monitor.
    FaderDesk.reset();
    MidiOut1->setTap(nullptr);
    MidiIn1->setTap(nullptr);
    ownPorts->setTap(nullptr);
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
    return transfers->receiveArea();
}

vkv::transfer::PacedSend &TForm1::pacedSend() {
    return transfers->pacedSender().slices();
}

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
        FaderDesk =
            std::make_unique<TFaderDesk>(imageHistory.image(), [this](char s, char a, char b) {
                MidiOut1->Put(s, a, b);
                ownPorts->put(s, a, b);
            });
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
    files->startIn(programFolder_);

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

void TForm1::preparePortsOnceShown(vkv::backendapi::Backend backend) {
    portsWanted = backend;
    QTimer::singleShot(1000, this, &TForm1::startPortPreparation);
}

void TForm1::startPortPreparation() {
    if (!portsWanted)
        return;
    portFollower->takeOver(vkv::ports::prepareBoth(*std::exchange(portsWanted, std::nullopt)));
}

void TForm1::PortsChanged() {
    portFollower->portsChanged();
}

void TForm1::showStatus(const QString &text, bool good) {
    ui->StatusLabel->setText(text);
    ui->StatusLabel->setToolTip(text); // a long one may not show whole in its two lines
    QPalette palette = ui->StatusLabel->palette();
    palette.setColor(QPalette::WindowText, good ? Teal : Red);
    ui->StatusLabel->setPalette(palette);
}

void TForm1::MIDIOutComboBoxChange(QObject *) {
    portFollower->chooseOut();
}

void TForm1::MIDIInComboBoxChange(QObject *) {
    portFollower->chooseIn();
}

void TForm1::MidiOut1Lost(QObject *) {
    transfers->outputLost();
    portFollower->outLost();
}

void TForm1::MidiIn1Lost(QObject *) {
    transfers->inputLost();
    portFollower->inLost();
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
    transfers->setSpeed(ui->SysexSendSpeed->value());
    userSettings.setSpeed(ui->SysexSendSpeed->value());
}

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
                    ownPorts->setTap(tap);
                });
        connect(monitorWindow, &vkv::monitor::MonitorWindow::placeChanged, this,
                [this](const QRect &place) { userSettings.setMonitorPlace(place); });
    }
    return monitorWindow;
}
