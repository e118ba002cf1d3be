#pragma once

namespace vkv::box {

// What the virtual box needs of the editor: a right-click on a knob opens that pot's record.
// The main window implements it; the box never includes the main window.
class PotEditor {
public:
    virtual ~PotEditor() = default;
    // Shows the editor window in front, makes the Pots page active and selects pot `potId`.
    virtual void editPot(int potId) = 0;
};

} // namespace vkv::box
