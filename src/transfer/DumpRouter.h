#pragma once

#include "ConfigImage.h"
#include "DumpReceiver.h"

#include <QObject>
#include <chrono>
#include <cstdint>
#include <optional>

namespace vkv::transfer {

class BoxQuery;

// Decides where each incoming SysEx message goes, once, when its F0 arrives, and keeps to that
// until the message is done, too large, ended or broken:
// - a check of the box whose request has gone out (`query`) takes it as its answer;
// - within LateMs of a check's request that got no answer (the check gave up, or was called
//   off), and unless a dump was asked for since, it is the box's late answer: it goes nowhere, and
//   once it is over lateAnswer() says so. A box busy writing its memory may answer after the
//   check gave up; its answer, perhaps broken, must never become the editor's configuration;
// - otherwise the editor's receive area collects it by the receive rules, and a whole dump there
//   is received().
// A check's answer that the check gave up on while it came in is a late answer too.
class DumpRouter : public QObject {
    Q_OBJECT
public:
    static constexpr int LateMs = 60000;
    using Clock = std::chrono::steady_clock;

    explicit DumpRouter(BoxQuery &query, QObject *parent = nullptr);

    // From the input port: a chunk of incoming SysEx, and word that the message under way broke
    // off.
    void chunk(const std::uint8_t *data, int size);
    void broken();
    // The input port closed or went: nothing under way is a whole message.
    void abandon();
    // The user asked the box for its dump: what comes next is the user's.
    void requested() { unanswered.reset(); }

    // Whether the message under way (or the one whole() or notWhole() tells of) is a check's
    // answer, on time or late, and not the editor's.
    bool forCheck() const {
        return destination == Destination::Check || destination == Destination::Late;
    }

    // The editor's receive area: a whole dump once received() was said.
    const image::DumpBytes &area() const { return editor.area(); }

signals:
    // Bytes still missing of the message the editor or a check collects ("Bytes To Receive").
    void counting(int bytesLeft);
    // A whole dump for the editor (in area()), or a check's whole answer.
    void done(bool forEditor);
    // Any whole dump that came, wherever it went (the editor's, a check's answer, a late one):
    // what the box held. Said before done() or lateAnswer().
    void whole(const vkv::image::DumpBytes &dump);
    // A message that began as a dump does did not come whole: it ended short, ran too long or
    // broke off after `bytes` bytes.
    void notWhole(int bytes);
    // A message the editor or a check collects ran past a dump's size.
    void tooLarge();
    // The message under way broke off (for the editor or a check, or none under way).
    void brokeOff();
    // The box's answer to a check came `seconds` after its request, when nobody waited for it.
    void lateAnswer(int seconds);

private:
    enum class Destination { None, Editor, Check, Late };
    void decide();
    void finished(bool answered);
    void ended();

    BoxQuery &query;
    DumpReceiver editor;
    DumpReceiver other;                          // a check's answer, or a late one
    std::optional<Clock::time_point> unanswered; // when a check's request went out, unanswered
    Destination destination = Destination::None;
    bool checkTookIt = false; // the check finished with the message under way
};

} // namespace vkv::transfer
