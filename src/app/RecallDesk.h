#pragma once

#include "Library.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace vkv::box {
class LcdScreens;
}
namespace vkv::librarywindow {
class SetListsTab;
}
namespace vkv::recall {
class Recaller;
}

namespace vkv::app {

class Settings;
class TransferDesk;
class TransferRecallPort;

// Recall on a program change in the main window: with recall on for a set list (remembered in the
// settings, and active from the start without the library's window ever shown), a program change
// on the list's channel that comes in on the program's own Motors port puts its slot's
// configuration into the box through the window's transfers, paced at the File page's speed and
// verified when "Verify after send" is on; the editor's configuration is never touched, and the
// program change goes nowhere else. The latest program change wins (recall::Recaller). What each
// recall did is said in the status line (teal when it went, red when it failed or sent nothing),
// as a line of the MIDI monitor, and to whoever shows the last recall; the virtual box's LCD shows
// a screen of its own while a recall sends, and its outcome for OutcomeMs after. With no MIDI OUT
// port open, the list's program changes send nothing and say so.
//
// The library (its set list and configurations, and the history each recall is recorded in) is
// opened here on the window's thread, in the folder the library's window uses, at the first need.
class RecallDesk : public QObject {
    Q_OBJECT
public:
    static constexpr int OutcomeMs = 3000;

    // What of the main window a recall reaches.
    struct Window {
        std::function<void(const QString &, bool)> showStatus;
        std::function<bool()> canSend;                // a MIDI OUT port is open
        std::function<bool()> searching;              // "Find Speed ..." runs its search
        std::function<bool()> verifyWanted;           // "Verify after send", where it can be
        std::function<int()> speed;                   // the File page's, in bytes a second
        std::function<QString()> folder;              // the library's
        std::function<box::LcdScreens *()> lcd;       // the virtual box's; null while there is none
        std::function<void(const QString &)> monitor; // a line of the MIDI monitor
    };

    RecallDesk(Window window, TransferDesk &transfers, Settings &settings, QObject *parent);
    ~RecallDesk() override;

    // A short message from the Motors port: true when recall took it (then it goes nowhere else).
    bool programChange(std::uint8_t status, std::uint8_t data1);
    // Ends a recall under way, recording what went of it (the window goes).
    void stop();

    // Recall on program change on or off for set list `list` (remembered).
    void setRecall(const QString &list, bool on);
    QString recallList() const;
    bool recallOn() const;
    // The library window's Set Lists tab shows which list recalls and the last recall, and
    // switches recall on and off here.
    void showIn(librarywindow::SetListsTab &tab);

signals:
    // The last recall's line, for the Set Lists tab.
    void lastRecall(const QString &line);
    // A recall that sent something is recorded in the library's history.
    void recorded();

private:
    // The library open in its folder and the set list read as it is now; else said once, false.
    bool ready();
    // A line of the recaller's: time, program change, configuration, speed, outcome.
    void said(const QString &line);
    void showSending(const QString &name);
    void showOutcome(const QString &name, const QString &outcome);

    Window main;
    Settings &settings;
    library::Library library;
    QString openFolder; // the folder `library` has open
    TransferRecallPort *port;
    recall::Recaller *recaller;
    QTimer outcomeShown;
    QString failed;       // why recall could not be ready, as said last
    QString change;       // the program change of the recall said last
    bool sending = false; // a recall's screen shows it sending
    QString last;         // the last recall's line, for a tab shown later
};

} // namespace vkv::app
