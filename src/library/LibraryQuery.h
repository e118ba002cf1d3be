#pragma once

#include "ConfigImage.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

namespace vkv::library {

// A search of the library as the user types it: words, which match a configuration's name, notes
// and tags (a phrase in double quotes, "live set", is one word), and content terms, which find
// configurations by what they send: "cc:74" (a pot or button sends controller 74), "ch:10",
// "note:60" or "note:C4", "pc:5", "pot:3.5", "button:2.1". The content terms of one query must hold
// for one record together ("ch:16 cc:74" is a record sending controller 74 on channel 16), and
// words and content terms all hold (AND).
//
// Content terms are sought in a configuration's records as decode() reads them through
// image::RecordFields, the one table of a record's fields: the index keeps them so, and a search
// of thousands of configurations reads no file.
class LibraryQuery {
public:
    static constexpr int RecordCount = image::PotCount + image::ButtonCount;
    // Each record, pots first: its event type (8..F), its channel (0..15) and its byte 1.
    using Records = std::array<std::uint8_t, RecordCount * 3>;
    static Records decode(const image::DumpBytes &dump);

    // A text the search box holds. One that names a content term wrongly ("cc:x") is not valid,
    // and error() says how it goes.
    static LibraryQuery parse(const QString &text);

    bool valid() const { return error_.isEmpty(); }
    const QString &error() const { return error_; }
    bool hasContentTerms() const { return terms; }

    // Whether every word is found, ignoring case, in one of `texts`.
    bool wordsMatch(std::initializer_list<const QString *> texts) const;

    // The records that meet every content term together, in dump order: how many, and the first
    // of them. None when there is no content term.
    struct Matches {
        static constexpr int Shown = 8;
        int count = 0;
        std::array<std::int16_t, Shown> first{};
        // "Pot 3.5, Button 2.1", and "and 12 more" past those shown.
        QString text() const;
    };
    Matches matchingRecords(const Records &records) const;

private:
    bool terms = false;
    // What the terms ask of one record, all together: a set of event types, a channel, a byte 1
    // and a record; -1 for any. Terms that cannot hold together leave `never` set.
    std::uint16_t types = 0xFFFF;
    int channel = -1, byte1 = -1, record = -1;
    bool never = false;
    QStringList words;
    QString error_;
};

} // namespace vkv::library
