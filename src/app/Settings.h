#pragma once

#include <QRect>
#include <QString>

class QSettings;

namespace vkv::app {

// The user's choices that outlive a run of the editor: the MIDI IN and OUT ports, the send speed,
// the MIDI monitor's place and size, and the folder and filter entry each file dialog starts with.
// Read once, when made, from the user's settings file, each value on its own: one that is missing,
// out of its range or not a value at all (a file that cannot be read, or holds junk) reads as the
// editor's default, and no file makes it fail. Each change is on disk before the call returns, so
// nothing is lost however the program ends; a write that fails is said in the log ("vkv.app") and
// the value still holds for this run. No widgets: the main window applies what it reads and hands
// over each change. The command line never uses it: its commands name their ports and speed
// themselves.
class Settings {
public:
    enum class Dialog { Open, Store };

    static constexpr int DefaultSpeed = 100;
    static constexpr int MinSpeed = 2;
    static constexpr int MaxSpeed = 1000;
    // The lists show names of at most 31 characters; anything much longer, or holding a control
    // character, was never a port's and reads as no port.
    static constexpr int MaxPortName = 255;
    // Each file dialog offers two filter entries.
    static constexpr int FilterEntries = 2;

    // The user's file, where the environment says it is when this is made.
    Settings();
    explicit Settings(const QString &path);

    // $XDG_CONFIG_HOME/vkvela/vkvela.conf, or ~/.config/vkvela/vkvela.conf when that is unset;
    // "" when there is no home folder either.
    static QString userFilePath();

    // The names as the port lists show them; "" when none is remembered.
    const QString &inPort() const { return in; }
    const QString &outPort() const { return out; }
    // "" forgets the port, and so does a name that could not be read back.
    void setInPort(const QString &name);
    void setOutPort(const QString &name);

    // Bytes a second of the paced send, MinSpeed..MaxSpeed.
    int speed() const { return speed_; }
    // A speed out of range is not taken.
    void setSpeed(int bytesPerSecond);

    // Whether a send is followed by a check that the box holds what was sent; off at first.
    bool verifyAfterSend() const { return verify; }
    void setVerifyAfterSend(bool on);

    // Where the MIDI monitor window was last, and its size; an invalid rectangle for none.
    const QRect &monitorPlace() const { return monitor; }
    // A size too small to use, or a place far out of any screen's reach, is not taken.
    void setMonitorPlace(const QRect &place);

    // An existing folder the dialog last left off in, or "" for none (the program's folder).
    const QString &folder(Dialog dialog) const { return place(dialog).folder; }
    // The filter entry last chosen in the dialog, from 0.
    int filter(Dialog dialog) const { return place(dialog).filter; }
    // A folder that is not there, or an entry out of range, is not taken.
    void setFolder(Dialog dialog, const QString &folder);
    void setFilter(Dialog dialog, int entry);

private:
    struct Place {
        QString folder;
        int filter = 0;
    };
    const Place &place(Dialog dialog) const { return dialog == Dialog::Open ? open : store; }
    Place &place(Dialog dialog) { return dialog == Dialog::Open ? open : store; }

    void read();
    // Puts `value` under `key` in the file at once, or takes the key out for "".
    void write(const QString &key, const QString &value);
    // Every value held, into a file emptied of all else.
    void writeAll(QSettings &file) const;

    QString path;
    QString in, out;
    int speed_ = DefaultSpeed;
    bool verify = false;
    QRect monitor;
    Place open, store;
    bool junk = false; // the file holds what is no setting: written anew at the next change
};

} // namespace vkv::app
