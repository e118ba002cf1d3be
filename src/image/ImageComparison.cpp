#include "ImageComparison.h"

#include "FieldText.h"
#include "IniExport.h"

#include <algorithm>
#include <utility>

namespace vkv::image {

namespace {

// "Pot 1.3 (ID 2)", written into a buffer as the lines are.
template <std::size_t N> QString recordName(const char (&kind)[N], int bank, int number, int id) {
    char name[N + 16];
    char *at = std::copy_n(kind, N - 1, name);
    *at++ = ' ';
    at = FieldText::bankNumber(at, bank, number);
    at = std::copy_n(" (ID ", 5, at);
    if (id >= 100)
        *at++ = static_cast<char>('0' + id / 100);
    if (id >= 10)
        *at++ = static_cast<char>('0' + id / 10 % 10);
    *at++ = static_cast<char>('0' + id % 10);
    *at++ = ')';
    return QString::fromLatin1(name, at - name);
}

QString eventType(int status) {
    const QString name = FieldText::eventType(status);
    return name.isEmpty() ? QStringLiteral("none") : name;
}

QString mode(int mode) {
    const QString name = FieldText::mode(mode);
    return name.isEmpty() ? FieldText::hex(mode) : name;
}

// The status byte's fields: its event type and channel as the pages show them, or, where those
// read the same, the stored bytes themselves.
void compareStatus(std::uint8_t a, std::uint8_t b, std::vector<FieldDifference> &fields) {
    if (a == b)
        return;
    const int statusA = readStatus(a), statusB = readStatus(b);
    if (statusA / 16 != statusB / 16)
        fields.push_back({QStringLiteral("Event Type"), eventType(statusA), eventType(statusB)});
    if (statusA % 16 != statusB % 16)
        fields.push_back({QStringLiteral("MIDI Channel"), QString::number(statusA % 16 + 1),
                          QString::number(statusB % 16 + 1)});
    if (statusA == statusB)
        fields.push_back({QStringLiteral("Byte 0"), FieldText::hex(a), FieldText::hex(b)});
}

void compareByte(const QString &field, std::uint8_t a, std::uint8_t b,
                 std::vector<FieldDifference> &fields) {
    if (a != b)
        fields.push_back({field, FieldText::hex(a), FieldText::hex(b)});
}

bool sameRecord(const DumpBytes &a, const DumpBytes &b, int offset) {
    return std::equal(a.begin() + offset, a.begin() + offset + RecordSize, b.begin() + offset);
}

} // namespace

std::vector<RecordDifference> ImageComparison::compare(const DumpBytes &a, const DumpBytes &b) {
    std::vector<RecordDifference> differences;
    for (int p = 0; p < PotCount; ++p) {
        if (sameRecord(a, b, potOffset(p)))
            continue;
        RecordDifference d;
        d.pot = true;
        d.id = p;
        d.name = recordName("Pot", potBank(p), potNumber(p), p);
        d.fields.reserve(5);
        compareStatus(a[potOffset(p, PotStatus)], b[potOffset(p, PotStatus)], d.fields);
        compareByte(QStringLiteral("Byte 1"), a[potOffset(p, PotByte1)], b[potOffset(p, PotByte1)],
                    d.fields);
        compareByte(QStringLiteral("Min"), a[potOffset(p, PotMin)], b[potOffset(p, PotMin)],
                    d.fields);
        compareByte(QStringLiteral("Max"), a[potOffset(p, PotMax)], b[potOffset(p, PotMax)],
                    d.fields);
        d.lineA = IniExport::potLine(a, p);
        d.lineB = IniExport::potLine(b, p);
        differences.push_back(std::move(d));
    }
    for (int n = 0; n < ButtonCount; ++n) {
        if (sameRecord(a, b, buttonOffset(n)))
            continue;
        RecordDifference d;
        d.pot = false;
        d.id = n;
        d.name = recordName("Button", buttonBank(n), buttonNumber(n), n);
        d.fields.reserve(5);
        compareStatus(a[buttonOffset(n, ButtonStatus)], b[buttonOffset(n, ButtonStatus)], d.fields);
        compareByte(QStringLiteral("Byte 1"), a[buttonOffset(n, ButtonByte1)],
                    b[buttonOffset(n, ButtonByte1)], d.fields);
        compareByte(QStringLiteral("Byte 2"), a[buttonOffset(n, ButtonByte2)],
                    b[buttonOffset(n, ButtonByte2)], d.fields);
        const std::uint8_t modeA = a[buttonOffset(n, ButtonMode)];
        const std::uint8_t modeB = b[buttonOffset(n, ButtonMode)];
        if (modeA != modeB)
            d.fields.push_back({QStringLiteral("Mode"), mode(modeA), mode(modeB)});
        d.lineA = IniExport::buttonLine(a, n);
        d.lineB = IniExport::buttonLine(b, n);
        differences.push_back(std::move(d));
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
