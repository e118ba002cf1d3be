#pragma once

namespace vkv::box {

// What the virtual box needs of the editor: a right-click on a knob opens that pot's record, and
// the undo keys pressed in the box act on the editor's configuration. The main window implements
// it; the box never includes the main window.
class PotEditor {
public:
    virtual ~PotEditor() = default;
    // Shows the editor window in front, makes the Pots page active and selects pot `potId`.
    virtual void editPot(int potId) = 0;
    // Takes back the last change of the configuration, or makes the last one taken back again.
    virtual void undoChange() = 0;
    virtual void redoChange() = 0;
};

} // namespace vkv::box
