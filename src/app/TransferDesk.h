#pragma once

#include "ConfigImage.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QTimer;
class TMidiIn;
class TMidiOut;
class TTempoTimer;

namespace vkv::image {
class ImageHistory;
}
namespace vkv::transfer {
class DumpRouter;
class PacedSender;
} // namespace vkv::transfer

namespace vkv::app {

class BoxCheck;

// The main window's transfers of the configuration: the fast and the paced send of the editor's
// configuration, the dump request, incoming dumps (transfer::DumpRouter decides where each goes)
// and the checks of the box. The window's handlers forward here. What the desk has to say goes to
// the status line (said), to "Bytes To Send" and "Bytes To Receive"; a whole dump for the editor
// becomes its configuration as one step that undo takes back, and dumpTaken() follows. Every
// whole configuration that goes out or comes in, and every one that did not come whole, is told
// with the port's name, for whoever keeps a record of them, and with whether it was a test copy
// of a speed search or the box's answer to one. A recall's send (a set list's configuration sent
// on a program change) is told apart, to the recall alone, which records it with its cause: it is
// never told as a plain send, and a send or check of the user's that cuts it short ends it.
class TransferDesk : public QObject {
    Q_OBJECT
public:
    // The ports and both timers are the window's; `verifyWanted` says whether a send is to be
    // checked with the box.
    TransferDesk(TMidiOut &out, const TMidiIn &in, TTempoTimer &ticks, QTimer &headTimer,
                 image::ImageHistory &history, std::function<bool()> verifyWanted, QObject *parent);
    ~TransferDesk() override;

    // Whether a send is checked with the box once it is over.
    enum class Check { AsWanted, Always, Never };

    void setSpeed(int bytesPerSecond);
    // The editor's configuration as it is now, as one message; during a paced send it waits
    // for that send's last slice, as the knobs' messages do.
    void sendFast();
    // The editor's configuration as it is now, paced: a copy goes, whatever the editor does
    // meanwhile.
    void sendPaced();
    // Another configuration than the editor's (the editor is not touched), the same two ways;
    // `test` for a speed search's test copy.
    void sendFast(const image::DumpBytes &dump, Check check = Check::AsWanted, bool test = false);
    void sendPaced(const image::DumpBytes &dump, Check check = Check::AsWanted, bool test = false);
    // A recall's send of `dump`, paced as the others, checked with the box when `verify`;
    // recallSendOver() and recallVerifyOver() tell how it went.
    void sendRecall(const image::DumpBytes &dump, bool verify);
    // Ends the recall's send or check under way at once and tells nothing more of it: the bytes
    // of its send that went (a whole dump's size once it went whole).
    int stopRecall();
    // The paced send's timers.
    void headPauseOver();
    void tick();
    void requestDump();
    // Asks the box now, and shows how it differs from the editor.
    void compareWithBox();
    // Asks the box after `settleMs` whether it holds `expected`; boxCheck() tells.
    void compareWithBox(const image::DumpBytes &expected, int settleMs);
    void cancelCheck();
    // Ends a paced send under way where it is, at the user's word, and gives up a check: what
    // went of it is no whole dump.
    void stopSend();
    // Incoming SysEx from the window's input port.
    void chunk(const std::uint8_t *data, int size);
    void broken();
    // The output port went: a paced send under way can go no further. The input port went:
    // nothing under way is a whole dump.
    void outputLost();
    void inputLost();

    // The names of the window's ports now, as the transfers tell them.
    QString outName() const;
    QString inName() const;

    transfer::PacedSender &pacedSender() { return *paced; }
    BoxCheck &boxCheck() { return *check; }
    const image::DumpBytes &receiveArea() const;

signals:
    // A line for the status line; `good` in teal, otherwise red.
    void said(const QString &text, bool good);
    void bytesToSend(int left);
    void receiveCount(const QString &text);
    void dumpTaken();
    // A whole configuration went out to `port` (a fast send the port took, or a paced send's last
    // whole one), or did not: `sent` bytes of it went. `test`: a speed search's test copy.
    void configurationSent(const vkv::image::DumpBytes &dump, const QString &port, bool test);
    // `sending` is the configuration that broke off.
    void sendBroke(const QString &port, int sent, const vkv::image::DumpBytes &sending, bool test);
    // Whether the box held a sent configuration when it was verified.
    void verified(const vkv::image::DumpBytes &sent, const QString &port, bool holds, bool test);
    // A whole dump came in from `port`, wherever it went (the editor, a check, nowhere when it
    // was late), or one did not come whole. `test`: the box's answer to a check of a test copy.
    void dumpReceived(const vkv::image::DumpBytes &dump, const QString &port, bool test);
    void dumpBroke(const QString &port, int bytes, bool test);
    // The recall's send ended: whole, or after `bytes`.
    void recallSendOver(bool whole, int bytes);
    // The recall's check ended: the box answered, and held what was sent, or not.
    void recallVerifyOver(bool answered, bool held);

private:
    void sendPaced(const image::DumpBytes &dump, Check check, bool editors, bool test,
                   bool recall = false);
    // Gives up the check under way; a recall's is told as unanswered.
    void dropCheck();
    // A recall's send is cut short by another: told as broken off where it is.
    void dropRecallSend();
    // The paced send broke off after `went` bytes: told to the recall when it was its own.
    void tellBroken(int went);
    // The recall's send went whole, and `last` was the last whole configuration that went.
    void recallOver(const image::DumpBytes &last);
    void pacedSendOver();
    bool checking(Check check) const;
    // Checks the box for `sent`, a test copy or not.
    void verify(const image::DumpBytes &sent, bool test, const QString &note = {},
                bool recall = false);
    // Whether the message coming in answers a check of a test copy.
    bool answersTest() const;
    // The MIDI OUT port did not take a send (`sent` bytes of a paced one went).
    void sendFailed(int sent);

    TMidiOut &out;
    const TMidiIn &in;
    image::ImageHistory &history;
    std::function<bool()> verifyWanted;
    Check pacedCheck = Check::AsWanted; // of the paced send under way
    bool pacedFromEditor = true;        // it sends the editor's configuration
    bool pacedTest = false;             // it sends a test copy
    bool pacedRecall = false;           // it is a recall's, not yet over
    bool recallWhole = false;           // the latest recall's send went whole
    bool checkingRecall = false;        // the check under way is a recall's
    image::DumpBytes pacedDump{};       // what it sends
    bool checkingTest = false;          // the check started last is of a test copy
    bool askedTest = false;             // so was the one whose request went out last
    std::unique_ptr<transfer::PacedSender> paced;
    BoxCheck *check;
    transfer::DumpRouter *router;
};

} // namespace vkv::app
