#include "MidiLog.h"

namespace vkv::backendapi {
Q_LOGGING_CATEGORY(lcMidi, "vkv.midi")
}
