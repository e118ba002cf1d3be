#include "PacedSend.h"

#include "ConfigImage.h"

namespace vkv::transfer {

void PacedSend::start(const std::uint8_t *dump) {
    position = dump;
    left = image::DumpSize;
    if (send)
        send(reinterpret_cast<const char *>(position), HeaderSlice);
    position += HeaderSlice;
    left -= HeaderSlice;
}

bool PacedSend::tick() {
    if (left > 2 * SliceSize) {
        if (send)
            send(reinterpret_cast<const char *>(position), SliceSize);
        position += SliceSize;
        left -= SliceSize;
        return false;
    }
    // The rest, 4 bytes of a whole dump, goes as one slice; none is left after the last one.
    if (left > 0 && send)
        send(reinterpret_cast<const char *>(position), left);
    left = 0;
    return true;
}

} // namespace vkv::transfer
