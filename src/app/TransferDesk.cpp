#include "TransferDesk.h"

#include "BoxCheck.h"
#include "DumpRouter.h"
#include "ImageHistory.h"
#include "PacedSender.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

#include <utility>

namespace vkv::app {

TransferDesk::TransferDesk(TMidiOut &out, const TMidiIn &in, TTempoTimer &ticks, QTimer &headTimer,
                           image::ImageHistory &history, std::function<bool()> verifyWanted,
                           QObject *parent)
    : QObject(parent), out(out), in(in), history(history), verifyWanted(std::move(verifyWanted)),
      paced(std::make_unique<transfer::PacedSender>(out, ticks, headTimer)),
      check(new BoxCheck(out, this)), router(new transfer::DumpRouter(check->boxQuery(), this)) {
    using transfer::DumpRouter;
    connect(check, &BoxCheck::said, this, &TransferDesk::said);
    connect(check, &BoxCheck::verified, this, [this](const image::DumpBytes &sent, bool holds) {
        if (!checkingRecall)
            emit verified(sent, outName(), holds, checkingTest);
    });
    connect(check, &BoxCheck::answered, this,
            [this](transfer::BoxQuery::Outcome outcome, int differing) {
                if (std::exchange(checkingRecall, false))
                    emit recallVerifyOver(outcome == transfer::BoxQuery::Outcome::Answered,
                                          differing == 0);
            });
    // The answer that comes, on time or late, is to the request that went out last.
    connect(&check->boxQuery(), &transfer::BoxQuery::requestSent, this,
            [this] { askedTest = checkingTest; });
    connect(router, &DumpRouter::whole, this, [this](const image::DumpBytes &dump) {
        emit dumpReceived(dump, inName(), answersTest());
    });
    connect(router, &DumpRouter::notWhole, this,
            [this](int bytes) { emit dumpBroke(inName(), bytes, answersTest()); });
    connect(router, &DumpRouter::counting, this,
            [this](int left) { emit receiveCount(QString::number(left)); });
    connect(router, &DumpRouter::done, this, [this](bool forEditor) {
        emit receiveCount("Done !!");
        if (!forEditor)
            return; // a check's answer never becomes the configuration
        this->history.change(image::ImageChange::received(),
                             [this](image::ConfigImage &image) { image.bytes() = router->area(); });
        emit dumpTaken();
    });
    connect(router, &DumpRouter::tooLarge, this, [this] { emit receiveCount("Sysex 2 Large ?!"); });
    connect(router, &DumpRouter::brokeOff, this, [this] { emit receiveCount("Sysex Broken ?!"); });
    connect(router, &DumpRouter::lateAnswer, this, [this](int seconds) {
        emit said(
            QStringLiteral("The box answered after %1 s; its answer was not taken").arg(seconds),
            false);
    });
}

TransferDesk::~TransferDesk() = default;

QString TransferDesk::outName() const {
    return QString::fromStdString(out.deviceName(out.Port()));
}

QString TransferDesk::inName() const {
    return QString::fromStdString(in.deviceName(in.Port()));
}

const image::DumpBytes &TransferDesk::receiveArea() const {
    return router->area();
}

void TransferDesk::setSpeed(int bytesPerSecond) {
    paced->setSpeed(bytesPerSecond);
}

void TransferDesk::sendFast() {
    sendFast(history.image().bytes(), Check::AsWanted);
}

void TransferDesk::sendPaced() {
    sendPaced(history.image().bytes(), Check::AsWanted, true, false);
}

void TransferDesk::sendPaced(const image::DumpBytes &dump, Check check, bool test) {
    sendPaced(dump, check, false, test);
}

bool TransferDesk::answersTest() const {
    return askedTest && router->forCheck();
}

void TransferDesk::verify(const image::DumpBytes &sent, bool test, const QString &note,
                          bool recall) {
    dropCheck();
    checkingTest = test;
    checkingRecall = recall;
    check->verify(sent, note, recall);
}

void TransferDesk::dropCheck() {
    check->cancel();
    if (std::exchange(checkingRecall, false))
        emit recallVerifyOver(false, false);
}

void TransferDesk::dropRecallSend() {
    if (paced->sending() && std::exchange(pacedRecall, false))
        emit recallSendOver(false, image::DumpSize - paced->bytesLeft());
}

void TransferDesk::sendRecall(const image::DumpBytes &dump, bool verify) {
    sendPaced(dump, verify ? Check::Always : Check::Never, false, false, true);
}

int TransferDesk::stopRecall() {
    if (std::exchange(checkingRecall, false)) {
        check->cancel();
        return image::DumpSize;
    }
    if (!std::exchange(pacedRecall, false))
        return recallWhole ? image::DumpSize : 0;
    const int went = image::DumpSize - paced->bytesLeft();
    if (paced->sending()) {
        paced->stop();
        emit bytesToSend(paced->bytesLeft());
    }
    return went;
}

bool TransferDesk::checking(Check check) const {
    return check == Check::Always || (check == Check::AsWanted && verifyWanted());
}

void TransferDesk::sendFast(const image::DumpBytes &dump, Check check, bool test) {
    dropCheck();
    const bool held = out.holdingMessages();
    if (!out.SysExMessage(reinterpret_cast<const char *>(dump.data()), image::DumpSize)) {
        sendFailed(0);
        emit sendBroke(outName(), 0, dump, test);
        return;
    }
    if (held)
        return; // it goes, and is told, once the paced send is over
    emit configurationSent(dump, outName(), test);
    if (checking(check))
        verify(dump, test);
}

void TransferDesk::sendPaced(const image::DumpBytes &dump, Check check, bool editors, bool test,
                             bool recall) {
    dropCheck();
    dropRecallSend();
    pacedRecall = recall;
    recallWhole = false;
    pacedCheck = check;
    pacedFromEditor = editors;
    pacedTest = test;
    pacedDump = dump;
    // Knob messages are held until the last slice; the header pause leaves the window responsive.
    if (!paced->start(dump.data())) {
        sendFailed(0);
        tellBroken(0);
    }
}

void TransferDesk::tellBroken(int went) {
    if (std::exchange(pacedRecall, false))
        emit recallSendOver(false, went);
    else
        emit sendBroke(outName(), went, pacedDump, pacedTest);
}

void TransferDesk::headPauseOver() {
    paced->headPauseOver();
}

void TransferDesk::tick() {
    if (!paced->sending())
        return; // a tick queued before the send stopped
    paced->tick();
    emit bytesToSend(paced->bytesLeft());
    if (!paced->sending())
        pacedSendOver();
}

void TransferDesk::pacedSendOver() {
    const auto last = paced->lastWholeSent();
    if (paced->failed() || !last) {
        sendFailed(image::DumpSize - paced->bytesLeft());
        tellBroken(image::DumpSize - paced->bytesLeft());
        return;
    }
    if (std::exchange(pacedRecall, false)) {
        recallOver(*last);
        return;
    }
    emit configurationSent(*last, outName(), pacedTest);
    // The box holds the last whole configuration that went, whatever the editor did meanwhile.
    QString note;
    if (paced->heldSendsFailed() > 0)
        note += QStringLiteral("; the send held behind it failed");
    if (pacedFromEditor && history.image().bytes() != *last)
        note += QStringLiteral("; the editor changed during the send; the box holds what was "
                               "sent when it started");
    if (checking(pacedCheck))
        verify(*last, pacedTest, note);
    else if (paced->heldSendsFailed() > 0)
        sendFailed(0);
    else if (!note.isEmpty())
        emit said("Sent" + note, false);
}

void TransferDesk::recallOver(const image::DumpBytes &last) {
    recallWhole = true;
    // A fast send of the user's held behind it went last: the box holds that one.
    if (last != pacedDump)
        emit configurationSent(last, outName(), false);
    emit recallSendOver(true, image::DumpSize);
    if (checking(pacedCheck))
        verify(pacedDump, false, {}, true);
}

void TransferDesk::requestDump() {
    // The dump that answers is the user's, however late a check's answer was expected.
    router->requested();
    // During a paced send the request waits for its last slice: in between it would cut the dump.
    if (!out.SysExMessage(reinterpret_cast<const char *>(image::DumpRequest.data()),
                          static_cast<int>(image::DumpRequest.size())))
        sendFailed(0);
}

void TransferDesk::compareWithBox() {
    compareWithBox(history.image().bytes(), 0);
}

void TransferDesk::compareWithBox(const image::DumpBytes &expected, int settleMs) {
    dropCheck();
    checkingTest = false;
    check->compareWith(expected, settleMs);
}

void TransferDesk::cancelCheck() {
    dropCheck();
}

void TransferDesk::sendFailed(int sent) {
    // A port found gone says so in its own words a moment later.
    emit said(sent > 0 ? QStringLiteral("MIDI OUT send failed after %1 of %2 bytes")
                             .arg(sent)
                             .arg(image::DumpSize)
                       : QStringLiteral("MIDI OUT send failed"),
              false);
}

void TransferDesk::chunk(const std::uint8_t *data, int size) {
    router->chunk(data, size);
}

void TransferDesk::broken() {
    router->broken();
}

void TransferDesk::outputLost() {
    stopSend();
}

void TransferDesk::stopSend() {
    dropCheck();
    // What it sent is no whole dump, and "Bytes To Send" keeps what it did not send.
    if (paced->sending()) {
        paced->stop();
        emit bytesToSend(paced->bytesLeft());
        tellBroken(image::DumpSize - paced->bytesLeft());
    }
}

void TransferDesk::inputLost() {
    dropCheck();
    router->abandon();
}

} // namespace vkv::app
