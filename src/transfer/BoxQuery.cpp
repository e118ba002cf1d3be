#include "BoxQuery.h"

#include "MidiMessage.h"
#include "TMidiOut.h"

namespace vkv::transfer {

BoxQuery::BoxQuery(TMidiOut &out, QObject *parent) : QObject(parent), out(out) {
    settle.setSingleShot(true);
    timeout.setSingleShot(true);
    connect(&settle, &QTimer::timeout, this, &BoxQuery::ask);
    connect(&timeout, &QTimer::timeout, this, [this] { finish(Outcome::NoAnswer); });
}

void BoxQuery::start(int settleMs, int timeoutMs) {
    cancel();
    state = State::Settling;
    timeout.setInterval(timeoutMs);
    settle.start(settleMs);
}

void BoxQuery::cancel() {
    settle.stop();
    timeout.stop();
    receiver.abandon();
    state = State::Idle;
}

void BoxQuery::ask() {
    state = State::Asked;
    receiver.abandon();
    timeout.start();
    // Held like any message while a paced send goes out: a query is only started after one.
    if (!out.SysExMessage(reinterpret_cast<const char *>(image::DumpRequest.data()),
                          static_cast<int>(image::DumpRequest.size()))) {
        emit requestFailed();
        finish(Outcome::NoAnswer);
        return;
    }
    emit requestSent();
}

void BoxQuery::chunk(const std::uint8_t *data, int size) {
    if (state != State::Asked)
        return;
    switch (receiver.chunk(data, size)) {
    case DumpReceiver::Outcome::Done:
        finish(Outcome::Answered);
        return;
    case DumpReceiver::Outcome::TooLarge:
        finish(Outcome::Broken);
        return;
    case DumpReceiver::Outcome::Counting:
        // A dump that ended short is the box's answer cut on its way.
        if (data[size - 1] == midi::SysExEnd && receiver.holdsDumpStart())
            finish(Outcome::Broken);
        return;
    case DumpReceiver::Outcome::Ignored:
        return;
    }
}

void BoxQuery::broken() {
    if (state == State::Asked && receiver.bytesLeft() > 0)
        finish(Outcome::Broken);
}

void BoxQuery::finish(Outcome outcome) {
    const image::DumpBytes answer = receiver.area();
    cancel();
    emit finished(outcome, answer);
}

} // namespace vkv::transfer
