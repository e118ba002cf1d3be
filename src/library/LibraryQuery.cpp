#include "LibraryQuery.h"

#include "RecordFields.h"

#include <QRegularExpression>

namespace vkv::library {

namespace {

using image::RecordFields;
using Field = RecordFields::Field;

// The octave number follows the note name, middle C (60) being C4.
int noteNumber(const QString &text) {
    bool number = false;
    const int n = text.toInt(&number);
    if (number)
        return n;
    static const QRegularExpression named(QStringLiteral("^([A-Ga-g])([#b]?)(-?\\d+)$"));
    const auto match = named.match(text);
    if (!match.hasMatch())
        return -1;
    static const int semitone[] = {9, 11, 0, 2, 4, 5, 7}; // A to G
    int note = semitone[match.captured(1).toUpper()[0].unicode() - 'A'];
    if (match.captured(2) == QLatin1String("#"))
        ++note;
    else if (match.captured(2) == QLatin1String("b"))
        --note;
    return (match.captured(3).toInt() + 1) * 12 + note;
}

// "3.5": a bank and a number within it, as the pages show them.
int recordNumber(const QString &text, bool pot) {
    const QStringList parts = text.split(u'.');
    if (parts.size() != 2)
        return -1;
    bool bankOk = false, numberOk = false;
    const int bank = parts[0].toInt(&bankOk), number = parts[1].toInt(&numberOk);
    const int perBank = pot ? image::PotsPerBank : image::ButtonsPerBank;
    if (!bankOk || !numberOk || bank < 1 || bank > 16 || number < 1 || number > perBank)
        return -1;
    return pot ? image::potFromBank(bank, number) : image::buttonFromBank(bank, number);
}

} // namespace

LibraryQuery LibraryQuery::parse(const QString &text) {
    LibraryQuery query;
    struct Prefix {
        const char *name;
        Kind kind;
        int lowest, highest;
        const char *how;
    };
    static const Prefix prefixes[] = {
        {"cc", Kind::Controller, 0, 127, "cc: takes a controller number, 0 to 127 (cc:74)"},
        {"ch", Kind::Channel, 1, 16, "ch: takes a MIDI channel, 1 to 16 (ch:10)"},
        {"note", Kind::Note, 0, 127, "note: takes a note, 0 to 127 or a name (note:60, note:C4)"},
        {"pc", Kind::Program, 0, 127, "pc: takes a program number, 0 to 127 (pc:5)"},
        {"pot", Kind::Pot, 0, 0, "pot: takes a bank and a pot, 1.1 to 16.16 (pot:3.5)"},
        {"button", Kind::Button, 0, 0,
         "button: takes a bank and a button, 1.1 to 16.8 "
         "(button:2.1)"},
    };
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype colon = word.indexOf(u':');
        const Prefix *prefix = nullptr;
        if (colon > 0) {
            const QString name = word.left(colon).toLower();
            for (const Prefix &p : prefixes)
                if (name == QLatin1String(p.name))
                    prefix = &p;
        }
        if (!prefix) {
            query.words << word;
            continue;
        }
        const QString value = word.mid(colon + 1);
        int n = -1;
        switch (prefix->kind) {
        case Kind::Note:
            n = noteNumber(value);
            break;
        case Kind::Pot:
        case Kind::Button:
            n = recordNumber(value, prefix->kind == Kind::Pot);
            break;
        default: {
            bool number = false;
            n = value.toInt(&number);
            if (!number)
                n = -1;
        }
        }
        const bool place = prefix->kind == Kind::Pot || prefix->kind == Kind::Button;
        if (n < 0 || (!place && (n < prefix->lowest || n > prefix->highest))) {
            query.error_ = QStringLiteral("\"%1\": %2.").arg(word, QLatin1String(prefix->how));
            continue;
        }
        // Channels are sought as the status byte holds them, from 0.
        query.terms.push_back({prefix->kind, prefix->kind == Kind::Channel ? n - 1 : n});
    }
    return query;
}

bool LibraryQuery::wordsMatch(const QStringList &texts) const {
    for (const QString &word : words) {
        bool found = false;
        for (const QString &text : texts)
            if (text.contains(word, Qt::CaseInsensitive)) {
                found = true;
                break;
            }
        if (!found)
            return false;
    }
    return true;
}

bool LibraryQuery::holds(const Term &term, bool pot, int record, int type, int channel,
                         int byte1) const {
    // Types 9 to E carry a channel; F (meta) carries an identifier in its place.
    switch (term.kind) {
    case Kind::Controller:
        return type == 0xB && byte1 == term.value;
    case Kind::Program:
        return type == 0xC && byte1 == term.value;
    case Kind::Note:
        return (type == 0x9 || type == 0xA) && byte1 == term.value;
    case Kind::Channel:
        return type >= 0x9 && type <= 0xE && channel == term.value;
    case Kind::Pot:
        return pot && record == term.value;
    case Kind::Button:
        return !pot && record == term.value;
    }
    return false;
}

template <typename Found>
void LibraryQuery::forMatches(const image::DumpBytes &dump, Found found) const {
    for (const RecordFields *table : {&RecordFields::pots(), &RecordFields::buttons()}) {
        for (int record = 0; record < table->count(); ++record) {
            const int at = table->offset(record);
            const std::uint8_t status = dump[static_cast<std::size_t>(at)];
            const int type = RecordFields::value(Field::EventType, status);
            const int channel = RecordFields::value(Field::Channel, status);
            const int byte1 = dump[static_cast<std::size_t>(at + image::PotByte1)];
            bool all = true;
            for (const Term &term : terms)
                if (!holds(term, table->pot(), record, type, channel, byte1)) {
                    all = false;
                    break;
                }
            if (all && !found(*table, record))
                return;
        }
    }
}

LibraryQuery::Matches LibraryQuery::matchingRecords(const image::DumpBytes &dump, int most) const {
    Matches found;
    if (terms.empty())
        return found;
    // Words only for those shown: "ch:1" may match hundreds of records in each of thousands.
    forMatches(dump, [&found, most](const RecordFields &table, int record) {
        if (found.count++ < most)
            found.shown << QStringLiteral("%1 %2.%3")
                               .arg(QLatin1String(table.kind()))
                               .arg(table.bank(record))
                               .arg(table.number(record));
        return true;
    });
    return found;
}

QString LibraryQuery::Matches::text() const {
    QString words = shown.join(QStringLiteral(", "));
    if (count > shown.size())
        words += QStringLiteral(" and %1 more").arg(count - shown.size());
    return words;
}

bool LibraryQuery::contentMatches(const image::DumpBytes &dump) const {
    if (terms.empty())
        return true;
    bool any = false;
    forMatches(dump, [&any](const RecordFields &, int) {
        any = true;
        return false; // one is enough
    });
    return any;
}

} // namespace vkv::library
