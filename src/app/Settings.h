#pragma once

#include <QMap>
#include <QRect>
#include <QString>
#include <functional>

class QSettings;

namespace vkv::app {

// The user's choices that outlive a run of the editor: the MIDI IN and OUT ports, whether the
// program offers ports of its own, the send speed, the MIDI monitor's and the overview's place
// and size, whether the overview follows the box, the
// library's folder, the set list that recalls on a program change and whether it does, and the
// folder and filter entry each file dialog starts with. Read once, when made, from the user's
// settings file, each value on its own: one that is missing, out of its range or not a value at all
// (a file that cannot be read, or holds junk) reads as the editor's default, and no file makes it
// fail. Reading touches no other file or folder, so a hung network folder named in it cannot hold
// up the start. Each change is on disk before the call returns, unless writes are deferred: then
// changes wait for flush(), which the owner calls once the values settle and as it ends, so a speed
// typed key by key is written once. A write that fails is said in the log
// ("vkv.settings") and the value still holds for this run. No widgets: the main window applies what
// it reads and hands over each change. The command line never uses it: its commands name their
// ports and speed themselves.
class Settings {
public:
    enum class Dialog { Open, Store };

    static constexpr int DefaultSpeed = 100;
    static constexpr int MinSpeed = 2;
    static constexpr int MaxSpeed = 1000;
    // Ports are remembered by their whole names; anything much longer, or holding a control
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

    // The ports' whole names, as the back end lists them; "" when none is remembered.
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

    // Whether the program offers MIDI ports of its own for others to connect to; on at first.
    bool ownPorts() const { return own; }
    void setOwnPorts(bool on);

    // The folder of the library of configurations; "" for the user's own. It may have gone since:
    // the library makes it again when it is first used.
    const QString &libraryFolder() const { return library; }
    // A name that is no absolute folder's is not taken; "" goes back to the user's own.
    void setLibraryFolder(const QString &folder);

    // The set list whose program changes recall its configurations, and whether they do; off
    // and "" at first. A name no set list can have (too long, a control character) is not taken.
    const QString &recallList() const { return recallList_; }
    bool recallOn() const { return recallOn_; }
    void setRecall(const QString &list, bool on);

    // Where the MIDI monitor window was last, and its size; an invalid rectangle for none.
    const QRect &monitorPlace() const { return monitor; }
    // A size too small to use, or a place far out of any screen's reach, is not taken.
    void setMonitorPlace(const QRect &place);
    // The same for the overview window, and whether it follows the box; off at first.
    const QRect &overviewPlace() const { return overview; }
    void setOverviewPlace(const QRect &place);
    bool followBox() const { return follow; }
    void setFollowBox(bool on);

    // The folder the dialog last left off in, or "" for none (the program's folder). It may have
    // gone since: whoever opens the dialog looks.
    const QString &folder(Dialog dialog) const { return place(dialog).folder; }
    // The filter entry last chosen in the dialog, from 0.
    int filter(Dialog dialog) const { return place(dialog).filter; }
    // `folder` when it is there now, else `fallback`: asks the disk, so only as a dialog opens.
    static QString folderOr(const QString &folder, const QString &fallback);
    // A name that is no absolute folder's, or an entry out of range, is not taken.
    void setFolder(Dialog dialog, const QString &folder);
    void setFilter(Dialog dialog, int entry);

    // From now on a change waits for flush(); `changed` is told of each, to schedule one.
    void deferWrites(std::function<void()> changed);
    // Writes the changes that wait, in one go.
    void flush();
    // How long the main window lets values settle before it writes them.
    static constexpr int SettleMs = 500;

private:
    struct Place {
        QString folder;
        int filter = 0;
    };
    const Place &place(Dialog dialog) const { return dialog == Dialog::Open ? open : store; }
    Place &place(Dialog dialog) { return dialog == Dialog::Open ? open : store; }

    void read();
    // A window's place, kept in `held` and under `key`.
    void setPlace(QRect &held, const QString &key, const QRect &place);
    // Puts `value` under `key` in the file, or takes the key out for "": at once, or at the next
    // flush() while writes are deferred.
    void write(const QString &key, const QString &value);
    // Puts the changes in the file now.
    void writeNow(const QMap<QString, QString> &changes);
    // Every value held, into a file emptied of all else.
    void writeAll(QSettings &file) const;

    QString path;
    QString in, out;
    int speed_ = DefaultSpeed;
    bool verify = false;
    bool own = true;
    QRect monitor;
    QRect overview;
    bool follow = false;
    QString library;
    QString recallList_;
    bool recallOn_ = false;
    Place open, store;
    bool junk = false; // the file holds what is no setting: written anew at the next change
    std::function<void()> deferred; // set while writes wait for flush()
    QMap<QString, QString> waiting; // the changes not yet written, by key
};

} // namespace vkv::app
