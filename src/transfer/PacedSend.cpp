#include "PacedSend.h"

#include "ConfigImage.h"

#include <algorithm>

namespace vkv::transfer {

bool PacedSend::hand(int length) {
    if (!send || send(reinterpret_cast<const char *>(dump.data() + position), length)) {
        position += length;
        left -= length;
        return true;
    }
    running = false;
    refused = true;
    return false;
}

bool PacedSend::start(const std::uint8_t *dump) {
    std::copy(dump, dump + image::DumpSize, this->dump.begin());
    position = 0;
    left = image::DumpSize;
    running = true;
    refused = false;
    return hand(HeaderSlice);
}

bool PacedSend::tick() {
    if (!running)
        return true;
    if (left > 2 * SliceSize)
        return !hand(SliceSize);
    // The rest, 4 bytes of a whole dump, goes as one slice; none is left after the last one.
    if (hand(left))
        running = false;
    return true;
}

} // namespace vkv::transfer
