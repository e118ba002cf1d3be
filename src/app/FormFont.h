#pragma once

#include <QFont>

// The windows' font: the desktop's sans-serif at a character height of 11 pixels, narrowed so
// that captions fit the places the layouts give them.
QFont formFont();
