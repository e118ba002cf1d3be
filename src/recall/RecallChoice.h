#pragma once

#include "SetList.h"

#include <QString>
#include <cstdint>

namespace vkv::recall {

// What a program change means to a set list: not the list's (another channel, or no program
// change), a slot that is empty, a slot whose configuration is missing, or a configuration to
// recall. Plain: the list is read by whoever asks.
class RecallChoice {
public:
    enum class Kind { NotTaken, Empty, Missing, Recall };

    Kind kind = Kind::NotTaken;
    int program = 0;             // 0 to 127, as on the wire
    int channel = 0;             // 1 to 16
    library::SetList::Slot slot; // of Missing and Recall

    // The choice for a short message `status`, `data1` arriving for `list`.
    static RecallChoice of(const library::SetList &list, std::uint8_t status, std::uint8_t data1);

    // "program change 5 on channel 1".
    QString change() const;
    // What the history records as a recall's cause: "recalled by program change 5 on channel 1
    // (set list Tour)".
    QString cause(const QString &list) const;
    // Why nothing is sent for an Empty or Missing one, in the user's words.
    QString nothingSent(const QString &list) const;
};

} // namespace vkv::recall
