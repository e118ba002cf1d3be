#pragma once

#include <QFont>

namespace vkv::controls {

// The windows' font: the desktop's sans-serif at a character height of 11 pixels, narrowed so
// that captions fit the places the layouts give them. Every window of the program uses it.
QFont formFont();

} // namespace vkv::controls
