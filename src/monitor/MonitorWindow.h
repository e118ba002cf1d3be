#pragma once

#include "MonitorModel.h"
#include "TapQueue.h"
#include "WindowPlace.h"

#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;
class QTimer;

namespace vkv::monitor {

// The MIDI monitor: every message the program's ports send and receive, a row each, in words,
// newest at the bottom. Non-modal and resizable. While it shows, its tap is offered to the ports
// (tapping); what they report is read from the tap at most 30 times a second on this window's
// thread, so MIDI never waits for the rows. The rows follow the end unless the user scrolled up.
// Pause, Clear, direction and kind filters, and Save as text act on the rows.
class MonitorWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int ReadIntervalMs = 34; // under 30 reads a second
    static constexpr int PlaceSettleMs = vkv::controls::WindowPlace::SettleMs;

    explicit MonitorWindow(QWidget *parent = nullptr);
    ~MonitorWindow() override;

    // The SysEx messages the monitor names: our configuration dump and dump request.
    static std::vector<vkv::midi::SysExKind> ourSysEx();

    MonitorModel &model() { return *rows; }
    vkv::midi::MidiTap *tap() { return &queue; }
    // Reads the tap now, as the next read would.
    void readTap();
    // A line of the program's own as a row after the messages that passed before it; only while
    // the window shows, as the messages.
    void note(const QString &text);
    // Writes the rows as they show, one a line, tab between the cells; false with the reason.
    bool saveText(const QString &path, QString *error = nullptr) const;
    // Takes a place (from the settings) that lies on a screen; others leave the window where it is.
    void setPlace(const QRect &place);

    // Asks where "Save as text" writes; "" for cancelled. A file dialog unless set otherwise.
    std::function<QString()> chooseTextFile;

signals:
    // The ports report to `tap` from now on; nullptr: to nothing, the window is hidden.
    void tapping(vkv::midi::MidiTap *tap);
    // The user moved or resized the window and let go.
    void placeChanged(const QRect &place);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void addFilter(QLayout *layout, const QString &text, const QString &name,
                   const std::function<void(bool)> &apply, bool on, const QString &tip);
    void saveClick();
    // Runs `add`, and keeps the rows following the end when they did.
    void addRows(const std::function<void()> &add);
    void showStatus();

    vkv::midi::TapQueue queue;
    MonitorModel *rows;
    QTableView *table;
    QLabel *status;
    QPushButton *pause;
    QTimer *reader;
};

} // namespace vkv::monitor
