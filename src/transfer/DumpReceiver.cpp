#include "DumpReceiver.h"

#include "MidiMessage.h"

#include <algorithm>
#include <cstring>

namespace vkv::transfer {

DumpReceiver::Outcome DumpReceiver::chunk(const std::uint8_t *data, int size) {
    if (data == nullptr || size <= 0)
        return Outcome::Ignored; // no first byte: changes nothing
    if (data[0] == midi::SysExStart) {
        position = 0;
        left = image::DumpSize;
    }
    if (left <= 0)
        return Outcome::Ignored;
    const int room = std::max(0, image::DumpSize - position);
    std::memcpy(receiveArea.data() + std::min(position, image::DumpSize), data,
                static_cast<std::size_t>(std::min(size, room)));
    position += size;
    left -= size;
    if (left == 0)
        return Outcome::Done;
    return left < 0 ? Outcome::TooLarge : Outcome::Counting;
}

bool DumpReceiver::holdsDumpStart() const {
    if (position < static_cast<int>(image::DumpHeader.size()))
        return false;
    for (std::size_t i = 0; i < image::DumpHeader.size(); ++i)
        if (i != 4 && receiveArea[i] != image::DumpHeader[i])
            return false;
    return true;
}

} // namespace vkv::transfer
