#include "FindSpeedDesk.h"

#include "BoxCheck.h"
#include "FindSpeedDialog.h"
#include "ImageComparison.h"
#include "ImageHistory.h"
#include "PacedSender.h"
#include "SpeedReport.h"
#include "TransferDesk.h"

#include <QAbstractButton>
#include <QEvent>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>
#include <utility>

namespace vkv::app {

using transfer::BoxQuery;
using transfer::SpeedReport;
using transfer::SpeedSearch;

FindSpeedDesk::FindSpeedDesk(const Controls &controls, TransferDesk &transfers,
                             image::ImageHistory &history, QWidget *window)
    : QObject(window), controls(controls), transfers(transfers), history(history), window(window) {
    controls.findSpeed->setEnabled(controls.request->isEnabled());
    controls.request->installEventFilter(this);
    connect(controls.findSpeed, &QAbstractButton::clicked, this, &FindSpeedDesk::start);
    // After the check has told its verify, so the library has it before the next send.
    connect(&transfers.boxCheck().boxQuery(), &BoxQuery::finished, this, &FindSpeedDesk::answered);
    connect(&transfers, &TransferDesk::sendBroke, this,
            [this](const QString &, int sent, const image::DumpBytes &, bool) {
                if (state != State::Trying || stopping)
                    return;
                fail(sent > 0 ? QStringLiteral(
                                    "The MIDI OUT port stopped taking the send after %1 of %2 "
                                    "bytes")
                                    .arg(sent)
                                    .arg(image::DumpSize)
                              : QStringLiteral("The MIDI OUT port did not take the send"));
            });
}

FindSpeedDialog *FindSpeedDesk::dialog() {
    if (!dialog_) {
        dialog_ = new FindSpeedDialog(window);
        dialog_->setFont(window->font());
        connect(dialog_, &FindSpeedDialog::cancelAsked, this, &FindSpeedDesk::cancel);
        connect(dialog_, &FindSpeedDialog::useAsked, this, [this] {
            controls.speed->setValue(offered); // remembered as a typed speed is
            dialog_->accept();
        });
    }
    return dialog_;
}

bool FindSpeedDesk::eventFilter(QObject *watched, QEvent *event) {
    if (watched == controls.request && event->type() == QEvent::EnabledChange) {
        const bool open = controls.request->isEnabled();
        controls.findSpeed->setEnabled(open);
        if (!open)
            fail(QStringLiteral("A MIDI port was closed or lost"));
    }
    return QObject::eventFilter(watched, event);
}

void FindSpeedDesk::start() {
    if (state != State::Idle)
        return;
    if (transfers.pacedSender().sending()) {
        // The search's first send would cut it short.
        emit said(QStringLiteral("A send is under way: find the speed once it is over"), false);
        return;
    }
    history.frame(); // as every send frames it first
    dump = history.image().bytes();
    search.emplace();
    copies.emplace(dump);
    nextDue = false;
    sentAny = false;
    offered = 0;
    FindSpeedDialog *d = dialog();
    d->begin();
    d->note(QStringLiteral("Asking the box whether it answers ..."));
    d->show();
    d->raise();
    d->activateWindow();
    // Nothing is sent to a box whose answer cannot verify it. A box still busy with what it was
    // sent last is given time to settle, as before a verify.
    state = State::Asking;
    transfers.boxCheck().setQuiet(true);
    transfers.compareWithBox(dump, BoxQuery::SettleMs);
}

void FindSpeedDesk::answered(BoxQuery::Outcome outcome, const image::DumpBytes &answer) {
    if (state == State::Idle)
        return;
    const bool whole = outcome == BoxQuery::Outcome::Answered;
    if (whole)
        copies->held(answer);
    const int differing =
        whole ? static_cast<int>(
                    image::ImageComparison::compare(state == State::Asking ? dump : trying, answer)
                        .size())
              : 0;
    if (state == State::Asking) {
        if (outcome == BoxQuery::Outcome::NoAnswer) {
            end(QStringLiteral("No answer from the box to a request for its configuration within "
                               "%1 s: check the MIDI IN port and the box's cables. Nothing was "
                               "sent.")
                    .arg(BoxQuery::TimeoutMs / 1000),
                QStringLiteral("Find Speed: no answer from the box"), false);
            return;
        }
        dialog_->addLine(SpeedReport::firstAnswer(outcome, differing,
                                                  QStringLiteral("the editor's configuration")));
        dialog_->note(QStringLiteral("Cancel stops the try under way at once; the box is then sent "
                                     "the configuration at the fastest speed that verified below "
                                     "every one that failed, and nothing when there is none."));
        state = State::Trying;
        nextSoon();
        return;
    }
    const auto stage = search->stage();
    dialog_->outcome(SpeedReport::outcome(search->speed(), stage, outcome, differing));
    search->tried(whole && differing == 0);
    if (search->stage() == SpeedSearch::Stage::Restoring && stage != SpeedSearch::Stage::Restoring)
        dialog_->note(SpeedReport::restoring(*search));
    nextSoon();
}

void FindSpeedDesk::nextSoon() {
    nextDue = true;
    QTimer::singleShot(0, this, [this] {
        if (std::exchange(nextDue, false) && state == State::Trying)
            next();
    });
}

void FindSpeedDesk::next() {
    if (search->over()) {
        finish();
        return;
    }
    const int speed = search->speed();
    const bool test = !search->sendsConfiguration();
    trying = test ? copies->next() : dump;
    dialog_->going(SpeedReport::going(speed, search->stage()));
    sentAny = true;
    if (speed == SpeedSearch::Fast) {
        transfers.sendFast(trying, TransferDesk::Check::Always, test);
    } else {
        transfers.setSpeed(speed);
        transfers.sendPaced(trying, TransferDesk::Check::Always, test);
    }
}

void FindSpeedDesk::cancel() {
    if (state == State::Asking) {
        transfers.cancelCheck();
        end(QStringLiteral("Cancelled before anything was sent: the box holds what it held."),
            QStringLiteral("Find Speed cancelled; nothing was sent"), true);
        return;
    }
    if (state != State::Trying)
        return;
    stopping = true;
    transfers.stopSend();
    stopping = false;
    const auto stage = search->stage();
    if (!nextDue) // a try was under way
        dialog_->outcome(SpeedReport::tryName(search->speed(), stage) +
                         QStringLiteral(": cancelled"));
    search->cancel();
    if (search->stage() == SpeedSearch::Stage::Restoring)
        dialog_->note(SpeedReport::restoring(*search));
    nextSoon();
}

void FindSpeedDesk::fail(const QString &why) {
    if (state == State::Idle)
        return;
    stopping = true;
    transfers.stopSend();
    stopping = false;
    end(why + (sentAny ? QStringLiteral(": the search stopped, and ") + SpeedReport::mayHold() +
                             QStringLiteral(". Send it the configuration again.")
                       : QStringLiteral(": the search stopped before anything was sent.")),
        sentAny ? QStringLiteral("Find Speed: ") + SpeedReport::mayHold()
                : QStringLiteral("Find Speed stopped; nothing was sent"),
        false);
}

void FindSpeedDesk::finish() {
    using Ending = SpeedSearch::Ending;
    const bool holds = search->boxVerified();
    switch (search->ending()) {
    case Ending::Found:
    case Ending::FastTaken:
        offered =
            search->ending() == Ending::Found ? search->chosen() : SpeedSearch::series().front();
        end(SpeedReport::ending(*search),
            QStringLiteral("Speed found: %1; the box holds what was sent")
                .arg(SpeedReport::speedName(search->chosen())),
            true);
        return;
    default:
        end(SpeedReport::ending(*search),
            holds ? QStringLiteral("Find Speed: no speed found; the box holds the configuration")
                  : QStringLiteral("Find Speed: ") + SpeedReport::mayHold(),
            holds);
        return;
    }
}

void FindSpeedDesk::end(const QString &text, const QString &status, bool good) {
    state = State::Idle;
    nextDue = false;
    transfers.boxCheck().setQuiet(false);
    transfers.setSpeed(controls.speed->value()); // the field's speed again
    dialog_->over(text, offered > 0);
    emit said(status, good);
}

} // namespace vkv::app
