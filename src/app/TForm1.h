#pragma once

#include "ConfigImage.h"
#include "FileChooser.h"
#include "ImageHistory.h"
#include "PacedSend.h"
#include "PortFollower.h"
#include "PotEditor.h"
#include "PresetLibrary.h"
#include "RtMidiBackend.h"
#include "Settings.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QTimer;
class TAboutBox;
class TFaderDesk;
class TKnob;
class TMidiIn;
class TMidiOut;
class TTempoTimer;

namespace Ui {
class TForm1;
}
namespace vkv::editor {
class ButtonPage;
class PotPage;
} // namespace vkv::editor
namespace vkv::backendapi {
class PortWatch;
}
namespace vkv::app {
class CompareDesk;
class FileDesk;
class LibraryDesk;
class PrintDesk;
class OverviewDesk;
class RecallDesk;
class OwnPortsDesk;
class TransferDesk;
} // namespace vkv::app
namespace vkv::monitor {
class MonitorWindow;
}

// The main window: the File page with port choice and the transfer and file buttons, and the
// Pots and Buttons pages that edit the configuration image. Owns the image with its history, the
// receive area, both MIDI ports and the virtual box window. Ctrl+Z undoes the last change of the
// image and Ctrl+Shift+Z or Ctrl+Y redo it, wherever the focus is in the window; the window
// refreshes the pages, the caption and a shown virtual box after each.
class TForm1 : public QWidget, public vkv::box::PotEditor {
    Q_OBJECT
public:
    // `backend` picks the MIDI service of both ports; Auto tries ALSA, then JACK.
    explicit TForm1(vkv::backendapi::Backend backend = vkv::backendapi::Backend::Auto,
                    QWidget *parent = nullptr);
    // With ports whose preparation the caller started (see vkv::ports::prepareBoth). A port still
    // in preparation is taken over once it is ready: until then its list offers only "None", so
    // the window shows without waiting for the MIDI service.
    explicit TForm1(vkv::ports::PortsInPreparation ports, QWidget *parent = nullptr);
    ~TForm1() override;
    // Starts preparing both ports on `backend` once the window is first on the screen (or a
    // second from now if it never gets there), and takes them over when they are ready. Started
    // with the window instead, on two cores, their JACK clients and the server's work for them
    // slowed the window's own start by as much as they overlapped it.
    void preparePortsOnceShown(vkv::backendapi::Backend backend);

    // The build stamp shown in the caption ("Nov 23 2002", "10:15:34").
    static QString buildDate();
    static QString buildTime();
    // "Test Release : <date> : <time>": the build label under the knob, which the INI export
    // carries too.
    static QString releaseLabel();

    // The window's controls, by the names they carry as objectName.
    std::unique_ptr<Ui::TForm1> ui;

    // Components owned by the window.
    TMidiOut *MidiOut1 = nullptr;
    TMidiIn *MidiIn1 = nullptr;
    TTempoTimer *SysexTimer = nullptr;
    QTimer *SysexHeadTimer = nullptr;
    // The file dialogs, made at their first use.
    QFileDialog *SysexOpenDialog();
    QFileDialog *SysexSaveDialog();
    QFileDialog *SysexCompareDialog();
    QObject *VKORVActionList = nullptr; // parent of the named actions

    const vkv::image::ConfigImage &image() const { return imageHistory.image(); }
    // Every change of the image goes through it, as one step that undo takes back.
    vkv::image::ImageHistory &history() { return imageHistory; }
    const vkv::image::DumpBytes &receiveArea() const;
    // The paced send under way (or done); its output is MidiOut1's SysEx.
    vkv::transfer::PacedSend &pacedSend();
    const vkv::editor::PresetLibrary &presets() const { return presetLibrary; }
    vkv::editor::PotPage &potPage() { return *pots; }
    vkv::editor::ButtonPage &buttonPage() { return *buttons; }
    // The folder that holds the program, ending in a separator.
    QString programFolder() const { return programFolder_; }
    // Recall on a program change from the Motors port.
    vkv::app::RecallDesk &recallDesk() { return *recall; }
    // The user's choices kept for the next run, as read at start and changed since.
    const vkv::app::Settings &settings() const { return userSettings; }

    // What the user chose in a file dialog, and what shows one: the program runs the dialog;
    // tests put their own choice here instead of a modal window.
    using FileChoice = vkv::app::FileChoice;
    using FileChooser = vkv::app::FileChooser;
    void setFileChooser(FileChooser chooser) { chooseFile = std::move(chooser); }

    // Runs the action of that name; false when there is no such action or it has no handler.
    bool runAction(const QString &name);
    QAction *action(const QString &name) const;

    // The other two windows of the program, created hidden. Each is created at its first use
    // if start-up did not create it.
    TFaderDesk *CreateFaderDesk();
    TAboutBox *CreateAboutBox();
    TFaderDesk *faderDesk() const { return FaderDesk.get(); }

    // Handlers.
    void FormCreate(QObject *Sender);
    void MIDIOutComboBoxChange(QObject *Sender);
    void MIDIInComboBoxChange(QObject *Sender);
    // A port went away: the MIDI service under it (the JACK server stopped) or its device.
    void MidiOut1Lost(QObject *Sender);
    void MidiIn1Lost(QObject *Sender);
    // The system's ports changed: both lists are read again; a chosen port keeps its place by
    // its name, one that went is lost, and one that came back is opened again as if chosen.
    void PortsChanged();
    // What watches the system's ports for the lists; null until both ports are ready.
    vkv::backendapi::PortWatch *portWatch() const { return portFollower->portWatch(); }
    void QuillURLLabelClick(QObject *Sender);
    void Button1Click(QObject *Sender);
    // `Key` is a Qt key code; set it to 0 to consume the key.
    void FormKeyDown(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift);
    void TestKnobChange(TKnob *Sender);
    void TestKnobMouseDown(TKnob *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift,
                           int X, int Y);
    void ShowFaderDeskClick(QObject *Sender);
    void SysexSendSpeedChange(QObject *Sender);
    // Dump transfer.
    void SendToKorvaneClick(QObject *Sender);
    void SlowSendToKorvaneClick(QObject *Sender);
    void RequestSysexDumpClick(QObject *Sender);
    void SysexTimerTimer(QObject *Sender, char Tick);
    void SysexHeadTimerTimer(QObject *Sender);
    void MidiIn1SysEx(QObject *Sender, char *SysExAdd, int MsgSize);
    void MidiIn1SysExBroken(QObject *Sender);
    // Files.
    void OpenSysexClick(QObject *Sender);
    // Opens a file as "Open Sysex File" does once its dialog has chosen it: false, changing
    // nothing, when there is no such file or it cannot be read (which is also shown).
    bool OpenSysexFile(const QString &path);
    void StoreSysexClick(QObject *Sender);
    // Comparing configurations. "Compare ..." offers the editor's configuration against a .syx
    // file, read as "Open Sysex File" reads it into a freshly started editor, and against the box
    // while `compareWithBox` is set and both ports are open; `compareWithBox` asks the box. The
    // differences show in the comparison window, where a double click on a record shows it on its
    // page.
    void CompareSysexClick(QObject *Sender);
    std::function<void()> compareWithBox;
    // "MIDI Monitor": shows the monitor window, which taps both ports while it shows.
    void ShowMidiMonitorClick(QObject *Sender);
    vkv::monitor::MonitorWindow *CreateMonitorWindow();
    // Brings the window to the front with the Pots or Buttons page showing pot or button `id`.
    void showRecord(bool pot, int id);
    // Incoming short messages: learn and motorized pots.
    void MidiIn1Short(QObject *Sender, uint8_t Status, uint8_t First, uint8_t Second);
    void MatchMotorPots(uint8_t status, uint8_t data1, uint8_t data2);
    // Run on every change of the learn box, however it came: at most one learn box is checked,
    // and the motorized pots are greyed while either is.
    void LearnPotClick(QObject *Sender);
    void LearnButtClick(QObject *Sender);
    void LoadPresets();

    // Actions.
    void LoadSettingsToFormExecute(QObject *Sender);
    void SaveSettingsFromFormExecute(QObject *Sender);
    void UpdatePotPropsExecute(QObject *Sender);
    void UpdateButtPropsExecute(QObject *Sender);
    void SendSysexToKorvaneExecute(QObject *Sender);
    void SlowSendSysexToKorvaneExecute(QObject *Sender);

    // Right-click on a knob of the virtual box, and the undo keys pressed there.
    void editPot(int potId) override;
    void undoChange() override;
    void redoChange() override;

signals:
    // The window was closed by the user or the program; ends the program.
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createActions();
    // Shows the window above the others, also when it was minimized.
    void bringToFront();
    // "Virtual Korvane Vela : " and the file the image was last opened from, or the build.
    void showCaption();
    // Undo or redo put the image back: refresh what shows it as `change` refreshed it.
    void imageRestored(const vkv::image::ImageChange &change);
    void showStatus(const QString &text, bool good);
    // The desks made and wired to the window's labels and pages (TForm1Wiring.cpp).
    void wireTransfers();
    // The File page's buttons, lists and boxes to their handlers (TForm1Wiring.cpp).
    void connectControls();
    // A learn box was checked or unchecked: `other` is the other learn box.
    void learnBoxChanged(QCheckBox *box, QCheckBox *other);
    void startPortPreparation();
    // A file became the configuration: the caption names it, and a virtual box shows it.
    void fileOpened();

    vkv::app::PortFollower *portFollower = nullptr; // port choice, and the ports followed
    vkv::app::TransferDesk *transfers = nullptr;    // sends, requests, receives, checks the box
    vkv::app::CompareDesk *compareDesk = nullptr;   // "Compare ..." and the comparison window
    vkv::app::FileDesk *files = nullptr;            // "Open Sysex File", "Store Sysex File"
    vkv::app::OwnPortsDesk *ownPorts = nullptr;     // the program's own ports, Knobs and Motors
    vkv::app::LibraryDesk *library = nullptr;       // "Library ...", and every transfer recorded
    vkv::app::PrintDesk *printing = nullptr;        // "Print ...", the sheet of the configuration
    vkv::app::OverviewDesk *overview = nullptr;     // "Overview ...", many records at a time
    vkv::app::RecallDesk *recall = nullptr;         // a set list's recall on a program change
    std::optional<vkv::backendapi::Backend> portsWanted; // asked for, preparation not yet started
    bool defaultsRead = false; // before the history, which starts from them
    vkv::image::ImageHistory imageHistory;
    vkv::editor::PresetLibrary presetLibrary;
    vkv::editor::PotPage *pots = nullptr;
    vkv::editor::ButtonPage *buttons = nullptr;
    TAboutBox *AboutBox = nullptr;
    std::unique_ptr<TFaderDesk> FaderDesk;
    QStringList handledActions;
    QString programFolder_;
    vkv::app::Settings userSettings;
    vkv::monitor::MonitorWindow *monitorWindow = nullptr;
    FileChooser chooseFile;
    bool settingsLoaded = false;
};
