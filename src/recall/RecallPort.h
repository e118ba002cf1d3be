#pragma once

#include "ConfigImage.h"

#include <QString>

namespace vkv::recall {

// What a recall sends through: the window's transfers, or the command line's link to the box. It
// sends paced at the speed set (or fast, as set), asks the box afterwards whether it holds what was
// sent when told to verify, and tells its Recaller how each went (Recaller::sendOver(),
// Recaller::verifyOver()). It records nothing itself: the recaller records each recall with its
// cause.
class RecallPort {
public:
    virtual ~RecallPort() = default;
    virtual void send(const image::DumpBytes &dump, bool verify) = 0;
    // Ends a send or a question under way at once and reports nothing more of it; the bytes of
    // the send that went (a whole dump's size once it went whole).
    virtual int stop() = 0;
    // The MIDI OUT port's name, and the MIDI IN port's the box answers on ("" for none).
    virtual QString outName() const = 0;
    virtual QString inName() const = 0;
    // Bytes a second; 0: the dump goes as one message.
    virtual int bytesPerSecond() const = 0;
    // "100 bytes/s", or "fast", as the event lines and the LCD say it.
    QString speedText() const {
        const int speed = bytesPerSecond();
        return speed == 0 ? QStringLiteral("fast") : QStringLiteral("%1 bytes/s").arg(speed);
    }
};

} // namespace vkv::recall
