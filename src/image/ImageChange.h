#pragma once

#include <QString>

namespace vkv::image {

// What one step of the image's history changed, in the terms of what shows the image: which
// record and field a page edited, or that a file or a dump replaced the whole image. Undo and redo
// hand it back, so that the pages and the virtual box refresh as the change itself refreshed them.
struct ImageChange {
    enum class Kind {
        Field,  // a field typed or stepped on a page
        Choice, // an event type or a button mode chosen from a list
        Preset, // a preset applied to a record
        Learn,  // a learnt message
        Open,   // a file opened, also a short one that replaces only its own length
        Dump,   // a dump received from the box
        // Many records at once: a fill, a paste, a bank copied or swapped, records taken from
        // another configuration, a sheet applied, a field edited over several records.
        Records,
    };
    enum class Record { None, Pot, Button };

    Kind kind = Kind::Field;
    Record record = Record::None;
    int index = -1; // the pot or button
    int field = -1; // Field and Choice: the record's field
    QString file;   // Open: the name of the file, which the image then comes from

    static ImageChange fieldEdit(Record record, int index, int field) {
        return {Kind::Field, record, index, field, {}};
    }
    static ImageChange choice(Record record, int index, int field) {
        return {Kind::Choice, record, index, field, {}};
    }
    static ImageChange preset(Record record, int index) {
        return {Kind::Preset, record, index, -1, {}};
    }
    static ImageChange learnt(Record record, int index) {
        return {Kind::Learn, record, index, -1, {}};
    }
    static ImageChange opened(const QString &fileName) {
        return {Kind::Open, Record::None, -1, -1, fileName};
    }
    static ImageChange received() { return {Kind::Dump, Record::None, -1, -1, {}}; }
    static ImageChange records() { return {Kind::Records, Record::None, -1, -1, {}}; }

    // A field step that continues this one: the same field of the same record.
    bool continues(const ImageChange &earlier) const {
        return kind == Kind::Field && earlier.kind == Kind::Field && record == earlier.record &&
               index == earlier.index && field == earlier.field;
    }
};

} // namespace vkv::image
