#include "AlsaSequencer.h"

#include <unistd.h>

namespace vkv::alsa {

bool sequencerPresent() {
    return ::access(SequencerDevice, F_OK) == 0;
}

} // namespace vkv::alsa
