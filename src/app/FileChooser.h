#pragma once

// How the windows ask the user for a file: a file dialog, set up by the window, is shown by a
// chooser, which gives back what the user chose. The program's chooser runs the dialog; tests put
// their own answer in its place instead of a modal window.
#include <QString>
#include <functional>
#include <optional>

class QFileDialog;

namespace vkv::app {

// What the user chose in a file dialog: the file name and the filter entry, from 0.
struct FileChoice {
    QString file;
    int filter = 0;
};

// Shows a file dialog as set up and returns the choice, or nothing when cancelled.
using FileChooser = std::function<std::optional<FileChoice>(QFileDialog *dialog)>;

} // namespace vkv::app
