#include "MidiLog.h"

namespace vkv::midi {
Q_LOGGING_CATEGORY(lcMidi, "vkv.midi")
}
