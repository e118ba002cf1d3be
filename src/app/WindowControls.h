#pragma once

// The control sets that the windows' layouts generate, for code outside the window classes that
// reaches controls by their names (tests, tools).
#include "ui_TAboutBox.h"
#include "ui_TForm1.h"
