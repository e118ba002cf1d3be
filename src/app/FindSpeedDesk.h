#pragma once

// "Find Speed ..." on the File page: finds the fastest speed the box takes the editor's
// configuration at (transfer::SpeedSearch decides each try) by sending test copies of it
// (transfer::TestCopies) and then the configuration itself through the window's transfers, each
// send verified, while FindSpeedDialog shows the tries. The button is enabled exactly when
// "Request Sysex Dump" is: both ports open. The box is asked first whether it answers at all, so a
// box that cannot be verified is never sent a configuration. A search always ends with the box
// holding the configuration verified, or with word that it may not. The sends and answers go
// through the transfers as any do, the test copies and their answers marked as tests, so whoever
// records them sees them; the comparison window and the status line stay quiet until the search
// has ended.
#include "BoxQuery.h"
#include "ConfigImage.h"
#include "SpeedSearch.h"
#include "TestCopies.h"

#include <QObject>
#include <QString>
#include <optional>

class QAbstractButton;
class QSpinBox;
class QWidget;

namespace vkv::image {
class ImageHistory;
}

namespace vkv::app {

class FindSpeedDialog;
class TransferDesk;

class FindSpeedDesk : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QAbstractButton *findSpeed;
        QAbstractButton *request; // "Request Sysex Dump": enabled once both ports are open
        QSpinBox *speed;          // "Use this speed" sets it
    };
    FindSpeedDesk(const Controls &controls, TransferDesk &transfers, image::ImageHistory &history,
                  QWidget *window);

    // Opens the dialog and starts a search with the editor's configuration.
    void start();
    // The dialog, made at its first use.
    FindSpeedDialog *dialog();
    // A search runs: the box holds test copies, and its sends are the search's.
    bool searching() const { return state != State::Idle; }

signals:
    // A line for the status line once a search has ended; `good` in teal, otherwise red.
    void said(const QString &text, bool good);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class State { Idle, Asking, Trying };
    // The box answered the search's question (whatever asked, while no search runs).
    void answered(transfer::BoxQuery::Outcome outcome, const image::DumpBytes &answer);
    // The next try, once the answer has been told to all who take it (the library among them).
    void nextSoon();
    void next();
    void cancel();
    // The search cannot go on: `why`, and what it means for the box.
    void fail(const QString &why);
    void finish();
    // The search is over as `text` says (in the dialog); `status` for the status line.
    void end(const QString &text, const QString &status, bool good);

    Controls controls;
    TransferDesk &transfers;
    image::ImageHistory &history;
    QWidget *window;
    FindSpeedDialog *dialog_ = nullptr;
    State state = State::Idle;
    image::DumpBytes dump{};   // the configuration
    image::DumpBytes trying{}; // what the try under way sends
    std::optional<transfer::SpeedSearch> search;
    std::optional<transfer::TestCopies> copies;
    bool nextDue = false;
    bool sentAny = false;
    bool stopping = false; // the desk itself stops a send: not a failure of the port
    int offered = 0;       // the speed "Use this speed" sets; 0 for none
};

} // namespace vkv::app
