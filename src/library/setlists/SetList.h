#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace vkv::library {

// A set list: a named, ordered list of slots, each the program number (0 to 127, as it goes on
// the wire) that recalls a configuration of the library, and the one MIDI channel the list's
// program changes come on (or any). A configuration may fill several slots.
class SetList {
public:
    static constexpr int AnyChannel = 0;
    static constexpr int Programs = 128;
    // What a slot whose configuration was deleted, or is not in the library, shows after its name.
    static inline const QString Missing = QStringLiteral("(missing)");

    struct Slot {
        int program = 0;
        QString name; // the configuration's name
        // The library's identity of the configuration, 0 for none (its file does not hold it).
        qint64 entry = 0;
        // Its configuration was deleted or is not in the library: it recalls nothing.
        bool missing = false;
        // "Drum kit", or "Drum kit (missing)".
        QString shown() const;
        bool operator==(const Slot &other) const = default;
    };

    QString name;
    int channel = AnyChannel; // 1 to 16, or AnyChannel
    std::vector<Slot> slotList;

    // The slot of `program`, or null.
    const Slot *slot(int program) const;
    // The lowest program number no slot has, or nothing when all have one.
    std::optional<int> freeProgram() const;
    // Whether a program change on `channel` (1 to 16) is the list's.
    bool takes(int channel) const {
        return this->channel == AnyChannel || this->channel == channel;
    }
    // "any", or the channel's number.
    static QString channelText(int channel);
    // A channel from "any" or "1" to "16"; nothing for anything else.
    static std::optional<int> channelFrom(const QString &text);
};

} // namespace vkv::library
