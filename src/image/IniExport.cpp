#include "IniExport.h"

#include "ConfigImage.h"
#include "FieldText.h"
#include "RecordFields.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <array>

namespace vkv::image {

namespace {

using Field = RecordFields::Field;

// What the file writes before each whole byte of a record, and after the last.
struct LineLayout {
    std::array<const char *, 4> before;
    const char *after;
};
constexpr LineLayout PotLine{{" = ", " ", " [", "-"}, "]"};   // " 1.3 = B0 02 [00-7F]"
constexpr LineLayout ButtonLine{{" = ", " ", " ", " @"}, ""}; // " 2.1 = 90 30 7F @ON/OFF"

char *copy(char *at, const char *text) {
    while (*text)
        *at++ = *text++;
    return at;
}

} // namespace

// Written into a buffer, as a comparison of every record makes hundreds of lines. Each byte is
// written within the values the pages' control for it takes, the mode as its name.
QString IniExport::recordLine(const RecordFields &kind, const DumpBytes &dump, int record) {
    const LineLayout &layout = kind.pot() ? PotLine : ButtonLine;
    const std::uint8_t *bytes = dump.data() + kind.offset(record);
    char line[40]; // " 16.8 = 90 30 7F @ON ONLY"
    char *at = line;
    *at++ = ' ';
    at = FieldText::bankNumber(at, kind.bank(record), kind.number(record));
    auto before = layout.before.begin();
    for (const RecordFields::Entry &entry : kind.fields()) {
        if (!RecordFields::wholeByte(entry.field))
            continue;
        at = copy(at, *before++);
        const int value = RecordFields::value(entry.field, bytes[entry.byte]);
        if (entry.field == Field::Mode) {
            for (const QChar c : FieldText::mode(value))
                *at++ = static_cast<char>(c.unicode());
        } else {
            at = FieldText::hexDigits(at, std::clamp(value, entry.lowest, entry.highest));
        }
    }
    at = copy(at, layout.after);
    return QString::fromLatin1(line, at - line);
}

QString IniExport::potLine(const DumpBytes &dump, int pot) {
    return recordLine(RecordFields::pots(), dump, pot);
}

QString IniExport::buttonLine(const DumpBytes &dump, int button) {
    return recordLine(RecordFields::buttons(), dump, button);
}

QByteArray IniExport::render(const ConfigImage &image, const QString &buildLabel,
                             const QString &generatedOn) {
    const QByteArray label = buildLabel.toLocal8Bit();
    QByteArray text;
    text += "# Export from vkorvaneQ2X : " + label + "\r\n";
    text += "# INI Export still under construction " + label + "\r\n";
    text += "# The latest version of vkorvaneQ2X is at https://vkvela.example.org/\r\n";
    text += "# Data Generated on : " + generatedOn.toLocal8Bit() + "\r\n";
    text += "# File format: the input of the dump converter dumpgen, with thanks to its author\r\n";
    text += "# More about the Korvane boxes: https://korvane.example.org/\r\n\r\n";
    text += "[TYPE]\r\n korvaneq2\r\n";
    text += "[POTS]\r\n";
    for (int p = 0; p < PotCount; ++p)
        text += potLine(image.bytes(), p).toLatin1() + " \r\n";
    text += "[BUTTONS]\r\n";
    for (int b = 0; b < ButtonCount; ++b)
        text += buttonLine(image.bytes(), b).toLatin1() + "\r\n";
    return text;
}

QString IniExport::now() {
    const QLocale locale;
    const QDateTime at = QDateTime::currentDateTime();
    return locale.toString(at.date(), QLocale::ShortFormat) + " " +
           locale.toString(at.time(), QLocale::LongFormat);
}

} // namespace vkv::image
