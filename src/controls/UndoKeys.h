#pragma once

#include <Qt>

namespace vkv::controls {

// The keys that take back the last change of the configuration and make it again, the same in
// every window of the program: Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo.
enum class UndoKey { None, Undo, Redo };

// Which of them a key press with `key` (a Qt key code) and `modifiers` is.
UndoKey undoKey(int key, Qt::KeyboardModifiers modifiers);

} // namespace vkv::controls
