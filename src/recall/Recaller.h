#pragma once

#include "ConfigImage.h"
#include "Library.h"
#include "RecallChoice.h"
#include "RecallPort.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <optional>

namespace vkv::recall {

// Recall on a program change: a program change on the set list's channel recalls its slot's
// configuration, sent through the RecallPort (verified when asked), and the latest program change
// wins: one that arrives while a recall sends or verifies stops it at once (the box is about to
// take a whole new configuration) and sends the newer one. A slot that is empty, or whose
// configuration is missing, sends nothing and says so. Every recall is recorded in the library's
// history with the program change that caused it, whole, broken off or verified.
//
// It says one line an event (said(): time, program change, configuration, speed, outcome) and
// tells whoever shows it when a recall begins and how it ended.
class Recaller : public QObject {
    Q_OBJECT
public:
    Recaller(library::Library &library, RecallPort &port, QObject *parent = nullptr);

    // Reads the set list; false (error() says why) when there is none or it cannot be read.
    // `damaged` gets the lines of its file that were refused.
    bool setList(const QString &name, QStringList *damaged = nullptr);
    const library::SetList &list() const { return setList_; }
    const QString &error() const { return error_; }
    void setVerify(bool verify) { verify_ = verify; }

    // A short message arrived where recalls come from: true when it was the list's program change
    // (it goes nowhere else then), whatever came of it.
    bool programChange(std::uint8_t status, std::uint8_t data1);
    // A recall is sending or verifying.
    bool busy() const { return current.has_value(); }
    // A recall's send is under way (not yet its verify).
    bool sending() const { return current && !current->sent; }
    // Ends a recall under way at once, recording what went of it (the program ends).
    void stop();
    // What the box holds as far as the recalls tell: "Gig, verified", "Gig, not verified", "a
    // broken configuration (828 of 1543 bytes of Gig went)", or "" before any recall.
    const QString &boxHolds() const { return holds; }

    // One event line, as said() says it: the time now, then the fields given, tab-separated
    // (the program change and the configuration empty for an event of no recall's).
    static QString line(const QString &change, const QString &name, const QString &speed,
                        const QString &outcome);

    // From the port: the send ended, whole or after `bytes`.
    void sendOver(bool whole, int bytes);
    // From the port: the box's answer held what was sent, or not; nothing: it gave no answer.
    void verifyOver(std::optional<bool> held);

signals:
    void said(const QString &line);
    // A recall of `name` began: shown while it sends.
    void recalling(const QString &name);
    // It ended: `outcome` in words ("verified", "sent", "broke off after 828 of 1543 bytes").
    void recalled(const QString &name, const QString &outcome);

private:
    struct Current {
        RecallChoice choice;
        image::DumpBytes dump;
        QDateTime time;
        bool sent = false; // the send is over, the verify under way
    };
    void say(const RecallChoice &choice, const QString &name, const QString &outcome);
    void record(const Current &recall, bool whole, int bytes);
    // Ends the recall under way, says `outcome` and that the box holds `holding`.
    void end(const QString &outcome, const QString &holding);
    // Stops the recall under way at once, recording what went of it; `why` begins its outcome.
    void interrupt(const QString &why);
    // Records and says what went of a recall stopped after `bytes`.
    void settle(const Current &stopped, int bytes, const QString &why);
    // Says how a recall ended and that the box holds `holding`.
    void over(const Current &done, const QString &outcome, const QString &holding);
    static QString broken(int bytes, const QString &name);
    std::optional<image::DumpBytes> dumpOf(const library::SetList::Slot &slot);

    library::Library &library;
    RecallPort &port;
    library::SetList setList_;
    QString error_;
    bool verify_ = false;
    std::optional<Current> current;
    QString holds;
};

} // namespace vkv::recall
