#include "UndoKeys.h"

namespace vkv::controls {

UndoKey undoKey(int key, Qt::KeyboardModifiers modifiers) {
    // A key of the keypad or a group switch is the same key.
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key == Qt::Key_Z && held == Qt::ControlModifier)
        return UndoKey::Undo;
    if ((key == Qt::Key_Z && held == (Qt::ControlModifier | Qt::ShiftModifier)) ||
        (key == Qt::Key_Y && held == Qt::ControlModifier))
        return UndoKey::Redo;
    return UndoKey::None;
}

} // namespace vkv::controls
