#include "TransferRecallPort.h"

#include "Recaller.h"
#include "TransferDesk.h"

#include <QTimer>

namespace vkv::app {

TransferRecallPort::TransferRecallPort(TransferDesk &transfers, std::function<int()> speed,
                                       QObject *parent)
    : QObject(parent), transfers(transfers), speed(std::move(speed)) {
    connect(&transfers, &TransferDesk::recallSendOver, this, [this](bool whole, int bytes) {
        later([whole, bytes](recall::Recaller &r) { r.sendOver(whole, bytes); });
    });
    connect(&transfers, &TransferDesk::recallVerifyOver, this, [this](bool answered, bool held) {
        later([answered, held](recall::Recaller &r) {
            r.verifyOver(answered ? std::optional<bool>(held) : std::nullopt);
        });
    });
}

void TransferRecallPort::later(const std::function<void(recall::Recaller &)> &tell) {
    QTimer::singleShot(0, this, [this, tell, number = sends] {
        if (number == sends && recaller)
            tell(*recaller);
    });
}

void TransferRecallPort::send(const image::DumpBytes &dump, bool verify) {
    transfers.stopRecall(); // nothing of a recall before it is told from now on
    ++sends;
    transfers.sendRecall(dump, verify);
}

int TransferRecallPort::stop() {
    ++sends;
    return transfers.stopRecall();
}

QString TransferRecallPort::outName() const {
    return transfers.outName();
}

QString TransferRecallPort::inName() const {
    return transfers.inName();
}

} // namespace vkv::app
