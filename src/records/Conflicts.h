#pragma once

#include "ConfigImage.h"
#include "RecordId.h"

#include <QString>
#include <vector>

namespace vkv::records {

// The records that send the same message: the same status byte (event type and channel) and the
// same first data byte (the number), pots and buttons alike. Two knobs or buttons that send the
// same message cannot be told apart by whatever receives them, which is seldom what the owner
// meant.
class Conflicts {
public:
    // Two or more records that send one message.
    struct Group {
        int status = 0; // as sent, 0x80..0xFF
        int number = 0;
        std::vector<RecordId> records; // in the box's order
    };

    // Every group, in the box's order of their first records.
    static std::vector<Group> find(const image::ConfigImage &image);
    // The records that send a message with this status and first data byte, in the box's order.
    static std::vector<RecordId> sending(const image::ConfigImage &image, int status, int number);
    // "Controller 7 on channel 1: pot 1.8, pot 3.2, button 2.1".
    static QString line(const image::ConfigImage &image, const Group &group);
};

} // namespace vkv::records
