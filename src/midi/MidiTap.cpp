#include "MidiTap.h"

#include "MidiInSplitter.h"
#include "MidiMessage.h"

#include <algorithm>

namespace vkv::midi {

void MidiTap::passedIn(const std::string &port, const MidiInEvent &event) {
    if (event.broken)
        return passed(Direction::In, port, Piece::SysExBroken, nullptr, 0);
    if (event.sysEx)
        return passed(Direction::In, port, Piece::SysEx, event.bytes.data(), event.bytes.size());
    // A short event carries three bytes, the ones its status does not call for as zeros.
    const int length = shortMessageLength(event.bytes[0]);
    passed(Direction::In, port, Piece::Message, event.bytes.data(),
           std::min<std::size_t>(event.bytes.size(), length > 0 ? length : 3));
}

} // namespace vkv::midi
