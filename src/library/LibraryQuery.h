#pragma once

#include "ConfigImage.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace vkv::library {

// A search of the library as the user types it: words, which match a configuration's name, notes
// and tags, and content terms, which find configurations by what they send: "cc:74" (a pot or
// button sends controller 74), "ch:10", "note:60" or "note:C4", "pc:5", "pot:3.5",
// "button:2.1". The content terms of one query must hold for one record together ("ch:16 cc:74"
// is a record sending controller 74 on channel 16), and words and content terms all hold (AND).
// Records are read through image::RecordFields, the one table of a record's fields.
class LibraryQuery {
public:
    // A text the search box holds. One that names a content term wrongly ("cc:x") is not valid,
    // and error() says how it goes.
    static LibraryQuery parse(const QString &text);

    bool valid() const { return error_.isEmpty(); }
    const QString &error() const { return error_; }
    // Nothing to search for: every configuration is a hit.
    bool empty() const { return words.isEmpty() && terms.empty(); }
    bool hasContentTerms() const { return !terms.empty(); }

    // Whether every word is found, ignoring case, in one of `texts`.
    bool wordsMatch(const QStringList &texts) const;
    // The records of `dump` that meet every content term together, in dump order: how many, and
    // the first `most` of them as "Pot 3.5" and "Button 2.1". None when there is no content term.
    struct Matches {
        QStringList shown;
        int count = 0;
        // "Pot 3.5, Button 2.1", and "and 12 more" past those shown.
        QString text() const;
    };
    Matches matchingRecords(const image::DumpBytes &dump, int most = 8) const;
    // Whether some record meets every content term (true with none).
    bool contentMatches(const image::DumpBytes &dump) const;

private:
    enum class Kind { Controller, Channel, Note, Program, Pot, Button };
    struct Term {
        Kind kind;
        int value; // the number sought; for Pot and Button, the record
    };
    bool holds(const Term &term, bool pot, int record, int type, int channel, int byte1) const;
    template <typename Found> void forMatches(const image::DumpBytes &dump, Found found) const;

    QStringList words;
    std::vector<Term> terms;
    QString error_;
};

} // namespace vkv::library
