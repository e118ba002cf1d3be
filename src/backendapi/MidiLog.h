#pragma once

#include <QLoggingCategory>

// What the MIDI back end reports (refused opens, failed sends, warnings) goes to the log under
// "vkv.midi"; the user sees only the port states the main window derives from the open results.
namespace vkv::backendapi {
Q_DECLARE_LOGGING_CATEGORY(lcMidi)
}
