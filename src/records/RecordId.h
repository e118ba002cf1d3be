#pragma once

#include "ConfigImage.h"

#include <compare>

namespace vkv::records {

// One record of the configuration: pot 0..255 or button 0..127. Records sort in the box's order,
// the pots first, as the sheet lists them.
struct RecordId {
    bool pot = true;
    int index = 0;

    // 0..383: the pots, then the buttons.
    int order() const { return pot ? index : image::PotCount + index; }
    static RecordId fromOrder(int order) {
        return order < image::PotCount ? RecordId{true, order}
                                       : RecordId{false, order - image::PotCount};
    }
    // Where the record's four bytes begin in the dump.
    int offset() const { return pot ? image::potOffset(index) : image::buttonOffset(index); }
    int bank() const { return pot ? image::potBank(index) : image::buttonBank(index); }
    int number() const { return pot ? image::potNumber(index) : image::buttonNumber(index); }

    friend bool operator==(RecordId a, RecordId b) = default;
    friend auto operator<=>(RecordId a, RecordId b) { return a.order() <=> b.order(); }
};

constexpr int RecordCount = image::PotCount + image::ButtonCount;

} // namespace vkv::records
