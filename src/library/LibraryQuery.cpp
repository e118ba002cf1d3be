#include "LibraryQuery.h"

#include "RecordFields.h"

#include <QRegularExpression>

namespace vkv::library {

namespace {

using image::RecordFields;
using Field = RecordFields::Field;

constexpr std::uint16_t typeSet(std::initializer_list<int> list) {
    std::uint16_t set = 0;
    for (int type : list)
        set = static_cast<std::uint16_t>(set | 1u << type);
    return set;
}
// Types 9 to E carry a channel; F (meta) carries an identifier in its place.
constexpr std::uint16_t WithChannel = typeSet({0x9, 0xA, 0xB, 0xC, 0xD, 0xE});

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

// "3.5": a bank and a number within it, as the pages show them; the record counted over pots
// then buttons.
int recordNumber(const QString &text, bool pot) {
    const QStringList parts = text.split(u'.');
    if (parts.size() != 2)
        return -1;
    bool bankOk = false, numberOk = false;
    const int bank = parts[0].toInt(&bankOk), number = parts[1].toInt(&numberOk);
    const int perBank = pot ? image::PotsPerBank : image::ButtonsPerBank;
    if (!bankOk || !numberOk || bank < 1 || bank > 16 || number < 1 || number > perBank)
        return -1;
    return pot ? image::potFromBank(bank, number)
               : image::PotCount + image::buttonFromBank(bank, number);
}

// The words of a search as typed: split at blanks, but a phrase in double quotes is one word,
// blanks and all ("live set"); a quote left open runs to the end.
QStringList wordsOf(const QString &text, QStringList *phrases) {
    QStringList words;
    QString word;
    bool quoted = false, phrase = false;
    const auto end = [&] {
        if (!word.isEmpty())
            (phrase ? *phrases : words) << word;
        word.clear();
        phrase = false;
    };
    for (const QChar c : text) {
        if (c == u'"') {
            end();
            quoted = !quoted;
            phrase = quoted;
        } else if (c.isSpace() && !quoted) {
            end();
        } else {
            word += c;
        }
    }
    end();
    return words;
}

// A second term that asks for another value of the same field can never hold with the first.
void require(int &field, int value, bool &never) {
    if (field >= 0 && field != value)
        never = true;
    field = value;
}

} // namespace

LibraryQuery::Records LibraryQuery::decode(const image::DumpBytes &dump) {
    Records records{};
    std::size_t at = 0;
    for (const RecordFields *table : {&RecordFields::pots(), &RecordFields::buttons()}) {
        for (int record = 0; record < table->count(); ++record) {
            const auto offset = static_cast<std::size_t>(table->offset(record));
            const std::uint8_t status = dump[offset];
            records[at++] =
                static_cast<std::uint8_t>(RecordFields::value(Field::EventType, status));
            records[at++] = static_cast<std::uint8_t>(RecordFields::value(Field::Channel, status));
            records[at++] = dump[offset + image::PotByte1];
        }
    }
    return records;
}

LibraryQuery LibraryQuery::parse(const QString &text) {
    LibraryQuery query;
    enum class Kind { Controller, Channel, Note, Program, Pot, Button };
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
        {"pot", Kind::Pot, 0, RecordCount, "pot: takes a bank and a pot, 1.1 to 16.16 (pot:3.5)"},
        {"button", Kind::Button, 0, RecordCount,
         "button: takes a bank and a button, 1.1 to 16.8 (button:2.1)"},
    };
    // A phrase is a word to find as it is, never a content term.
    for (const QString &word : wordsOf(text, &query.words)) {
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
        bool number = false;
        int n = prefix->kind == Kind::Note     ? noteNumber(value)
                : prefix->kind == Kind::Pot    ? recordNumber(value, true)
                : prefix->kind == Kind::Button ? recordNumber(value, false)
                                               : value.toInt(&number);
        if (prefix->kind != Kind::Note && prefix->kind != Kind::Pot &&
            prefix->kind != Kind::Button && !number)
            n = -1;
        if (n < prefix->lowest || n > prefix->highest) {
            query.error_ = QStringLiteral("\"%1\": %2.").arg(word, QLatin1String(prefix->how));
            continue;
        }
        query.terms = true;
        switch (prefix->kind) {
        case Kind::Controller:
            query.types &= typeSet({0xB});
            require(query.byte1, n, query.never);
            break;
        case Kind::Program:
            query.types &= typeSet({0xC});
            require(query.byte1, n, query.never);
            break;
        case Kind::Note:
            query.types &= typeSet({0x9, 0xA});
            require(query.byte1, n, query.never);
            break;
        case Kind::Channel:
            query.types &= WithChannel;
            require(query.channel, n - 1, query.never); // kept as the status holds it, from 0
            break;
        case Kind::Pot:
        case Kind::Button:
            require(query.record, n, query.never);
            break;
        }
    }
    return query;
}

bool LibraryQuery::wordsMatch(std::initializer_list<const QString *> texts) const {
    for (const QString &word : words) {
        bool found = false;
        for (const QString *text : texts)
            if (text->contains(word, Qt::CaseInsensitive)) {
                found = true;
                break;
            }
        if (!found)
            return false;
    }
    return true;
}

LibraryQuery::Matches LibraryQuery::matchingRecords(const Records &records) const {
    Matches found;
    if (!terms || never || types == 0)
        return found;
    const auto holds = [&](int r) {
        const std::size_t at = static_cast<std::size_t>(r) * 3;
        return (types >> records[at] & 1) != 0 && (channel < 0 || records[at + 1] == channel) &&
               (byte1 < 0 || records[at + 2] == byte1);
    };
    const auto add = [&found](int r) {
        if (found.count < Matches::Shown)
            found.first[static_cast<std::size_t>(found.count)] = static_cast<std::int16_t>(r);
        ++found.count;
    };
    if (record >= 0) {
        if (holds(record))
            add(record);
        return found;
    }
    for (int r = 0; r < RecordCount; ++r)
        if (holds(r))
            add(r);
    return found;
}

QString LibraryQuery::Matches::text() const {
    QStringList shown;
    for (int i = 0; i < std::min(count, Shown); ++i) {
        const int r = first[static_cast<std::size_t>(i)];
        const RecordFields &table =
            r < image::PotCount ? RecordFields::pots() : RecordFields::buttons();
        const int n = r < image::PotCount ? r : r - image::PotCount;
        shown << QStringLiteral("%1 %2.%3")
                     .arg(QLatin1String(table.kind()))
                     .arg(table.bank(n))
                     .arg(table.number(n));
    }
    QString words = shown.join(QStringLiteral(", "));
    if (count > Shown)
        words += QStringLiteral(" and %1 more").arg(count - Shown);
    return words;
}

} // namespace vkv::library
