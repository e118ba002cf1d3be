#include "TForm1.h"

#include "BuildStamp.h"
#include "ButtonPage.h"
#include "FileDesk.h"
#include "FormFont.h"
#include "MonitorWindow.h"
#include "OverviewDesk.h"
#include "OwnPortsDesk.h"
#include "PacedSender.h"
#include "PotPage.h"
#include "PresetFolders.h"
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
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
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

    connectControls();

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
