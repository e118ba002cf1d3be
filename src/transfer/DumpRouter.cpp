#include "DumpRouter.h"

#include "BoxQuery.h"
#include "MidiMessage.h"

namespace vkv::transfer {

DumpRouter::DumpRouter(BoxQuery &query, QObject *parent) : QObject(parent), query(query) {
    connect(&query, &BoxQuery::requestSent, this, [this] { unanswered = Clock::now(); });
    connect(&query, &BoxQuery::finished, this, [this](BoxQuery::Outcome outcome) {
        if (outcome == BoxQuery::Outcome::NoAnswer)
            return; // the answer may still come
        unanswered.reset();
        if (destination == Destination::Check)
            checkTookIt = true;
    });
}

void DumpRouter::decide() {
    checkTookIt = false;
    if (query.asked())
        destination = Destination::Check;
    else if (unanswered && Clock::now() - *unanswered < std::chrono::milliseconds(LateMs))
        destination = Destination::Late;
    else
        destination = Destination::Editor;
}

void DumpRouter::chunk(const std::uint8_t *data, int size) {
    if (data == nullptr || size <= 0)
        return;
    if (data[0] == midi::SysExStart)
        decide();
    using Outcome = DumpReceiver::Outcome;
    if (destination == Destination::None)
        return;
    if (destination == Destination::Editor) {
        switch (editor.chunk(data, size)) {
        case Outcome::Ignored:
            return;
        case Outcome::Counting:
            emit counting(editor.bytesLeft());
            if (data[size - 1] == midi::SysExEnd && editor.holdsDumpStart())
                emit notWhole(image::DumpSize - editor.bytesLeft());
            return;
        case Outcome::Done:
            emit whole(editor.area());
            emit done(true);
            return;
        case Outcome::TooLarge:
            if (editor.holdsDumpStart())
                emit notWhole(image::DumpSize - editor.bytesLeft());
            emit tooLarge();
            return;
        }
        return;
    }
    if (destination == Destination::Check)
        query.chunk(data, size);
    const Outcome outcome = other.chunk(data, size);
    if (outcome == Outcome::Done)
        emit whole(other.area());
    else if ((outcome == Outcome::TooLarge || data[size - 1] == midi::SysExEnd) &&
             other.holdsDumpStart())
        emit notWhole(image::DumpSize - other.bytesLeft());
    if (destination == Destination::Check) {
        if (outcome == Outcome::Counting)
            emit counting(other.bytesLeft());
        else if (outcome == Outcome::Done)
            emit done(false);
        else if (outcome == Outcome::TooLarge)
            emit tooLarge();
    }
    if (outcome == Outcome::Done || outcome == Outcome::TooLarge ||
        data[size - 1] == midi::SysExEnd)
        ended();
}

void DumpRouter::broken() {
    switch (destination) {
    case Destination::None:
    case Destination::Editor:
        if (editor.bytesLeft() > 0 && editor.holdsDumpStart())
            emit notWhole(image::DumpSize - editor.bytesLeft());
        // Its remains must never be completed by what follows and taken for a dump.
        editor.abandon();
        emit brokeOff();
        return;
    case Destination::Check:
    case Destination::Late:
        if (other.holdsDumpStart())
            emit notWhole(image::DumpSize - other.bytesLeft());
        if (destination == Destination::Check) {
            query.broken();
            emit brokeOff();
        }
        ended();
        return;
    }
}

void DumpRouter::ended() {
    // An answer nobody waits for any more: the check gave up before it came, or while it came.
    const bool late = destination == Destination::Late ||
                      (destination == Destination::Check && !checkTookIt && !query.asked());
    if (late && unanswered && other.holdsDumpStart()) {
        const auto after =
            std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - *unanswered);
        unanswered.reset();
        emit lateAnswer(static_cast<int>(after.count()));
    }
    other.abandon();
    destination = Destination::None;
}

void DumpRouter::abandon() {
    editor.abandon();
    other.abandon();
    destination = Destination::None;
}

} // namespace vkv::transfer
