#pragma once

#include "ConfigImage.h"
#include "DumpReceiver.h"

#include <QObject>
#include <QTimer>
#include <cstdint>

class TMidiOut;

namespace vkv::transfer {

// Asks the box for its configuration and waits for its answer, for a comparison: after a send
// (the box is given time to settle first) or at the user's wish. The answer goes to whoever
// asked, never into the editor's configuration: a box holding a broken configuration must not
// overwrite the user's work.
//
// The answer is collected by the receiver's rules from the chunks of incoming SysEx its owner
// hands it (the owner's input port raises them): a whole dump answers, a shorter message is given
// up for the next one unless it is a dump (then the box's answer broke off: a status byte cut it
// on the way, say), and a longer or broken one is a broken answer. No answer within the time
// allowed after the request is none.
class BoxQuery : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Answered, NoAnswer, Broken };
    static constexpr int SettleMs = 500;
    static constexpr int TimeoutMs = 5000;

    explicit BoxQuery(TMidiOut &out, QObject *parent = nullptr);

    // Sends the request after `settleMs` and waits `timeoutMs` from then. A query under way is
    // given up for the new one.
    void start(int settleMs = SettleMs, int timeoutMs = TimeoutMs);
    // Gives up a query under way without a word.
    void cancel();
    // Asked or about to ask, and no outcome yet.
    bool waiting() const { return state != State::Idle; }
    // The request has gone and no outcome yet: incoming SysEx belongs to the query.
    bool asked() const { return state == State::Asked; }
    // Bytes still missing of the answer under way (for "Bytes To Receive").
    int bytesLeft() const { return receiver.bytesLeft(); }

    // The owner's input port raised a chunk of SysEx, or said the SysEx under way broke off.
    // Chunks before the request has gone are none of the answer's.
    void chunk(const std::uint8_t *data, int size);
    void broken();

signals:
    // Once per query that was not cancelled; `answer` holds the dump when it answered.
    void finished(vkv::transfer::BoxQuery::Outcome outcome, const vkv::image::DumpBytes &answer);
    // The request went out: an answer may come from now on, also after the query gave up.
    void requestSent();
    // The request could not be sent: finished() follows with NoAnswer.
    void requestFailed();

private:
    enum class State { Idle, Settling, Asked };
    void ask();
    void finish(Outcome outcome);

    TMidiOut &out;
    DumpReceiver receiver;
    QTimer settle, timeout;
    State state = State::Idle;
};

} // namespace vkv::transfer
