#include "ImageComparison.h"

#include "FieldText.h"
#include "IniExport.h"
#include "RecordFields.h"

#include <algorithm>
#include <utility>

namespace vkv::image {

namespace {

using Field = RecordFields::Field;

// "Pot 1.3 (ID 2)", written into a buffer as the lines are.
QString recordName(const RecordFields &kind, int id) {
    char name[32];
    char *at = name;
    for (const char *c = kind.kind(); *c; ++c)
        *at++ = *c;
    *at++ = ' ';
    at = FieldText::bankNumber(at, kind.bank(id), kind.number(id));
    at = std::copy_n(" (ID ", 5, at);
    if (id >= 100)
        *at++ = static_cast<char>('0' + id / 100);
    if (id >= 10)
        *at++ = static_cast<char>('0' + id / 10 % 10);
    *at++ = static_cast<char>('0' + id % 10);
    *at++ = ')';
    return QString::fromLatin1(name, at - name);
}

// A value as a row shows it: as the pages show it, or, where their lists hold no such value, as
// "none" for an event type and as the stored byte for a mode.
QString shown(Field field, int value) {
    const QString text = RecordFields::text(field, value);
    if (!text.isEmpty())
        return text;
    return field == Field::EventType ? QStringLiteral("none") : FieldText::hex(value);
}

// The fields in which two records of `kind` differ, in the table's order.
void compareFields(const RecordFields &kind, const std::uint8_t *a, const std::uint8_t *b,
                   std::vector<FieldDifference> &fields) {
    for (const RecordFields::Entry &entry : kind.fields()) {
        const std::uint8_t storedA = a[entry.byte], storedB = b[entry.byte];
        if (storedA == storedB)
            continue;
        const int valueA = RecordFields::value(entry.field, storedA);
        const int valueB = RecordFields::value(entry.field, storedB);
        if (entry.field == Field::Status) {
            // Its event type and channel name every status that reads otherwise; one that reads
            // the same differs only in bit 7, which a file may hold set: its bytes as stored.
            if (valueA == valueB)
                fields.push_back({RecordFields::word(Field::Status), FieldText::hex(storedA),
                                  FieldText::hex(storedB)});
        } else if (valueA != valueB) {
            fields.push_back({RecordFields::word(entry.field), shown(entry.field, valueA),
                              shown(entry.field, valueB)});
        }
    }
}

} // namespace

std::vector<RecordDifference> ImageComparison::compare(const DumpBytes &a, const DumpBytes &b) {
    std::vector<RecordDifference> differences;
    for (const RecordFields *kind : {&RecordFields::pots(), &RecordFields::buttons()}) {
        for (int id = 0; id < kind->count(); ++id) {
            const int at = kind->offset(id);
            if (std::equal(a.begin() + at, a.begin() + at + RecordSize, b.begin() + at))
                continue;
            RecordDifference d;
            d.pot = kind->pot();
            d.id = id;
            d.name = recordName(*kind, id);
            d.fields.reserve(5);
            compareFields(*kind, a.data() + at, b.data() + at, d.fields);
            d.lineA = IniExport::recordLine(*kind, a, id);
            d.lineB = IniExport::recordLine(*kind, b, id);
            differences.push_back(std::move(d));
        }
    }
    return differences;
}

QString ImageComparison::asText(const std::vector<RecordDifference> &differences) {
    QString text;
    text.reserve(static_cast<qsizetype>(differences.size()) * 60);
    for (const RecordDifference &d : differences) {
        text += u'-';
        text += d.lineA;
        text += u'\n';
        text += u'+';
        text += d.lineB;
        text += u'\n';
    }
    return text;
}

QString ImageComparison::fieldsText(const RecordDifference &difference) {
    QString text;
    text.reserve(120);
    for (const FieldDifference &f : difference.fields) {
        if (!text.isEmpty())
            text += QLatin1String(", ");
        text += f.field;
        text += QLatin1String(": ");
        text += f.a;
        text += QLatin1String(" / ");
        text += f.b;
    }
    return text;
}

} // namespace vkv::image
