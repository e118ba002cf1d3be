#include "IniExport.h"

#include "ConfigImage.h"
#include "FieldText.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>

namespace vkv::image {

namespace {

// The bounds of the pages' fields, which the export renders values within.
constexpr int LowestShownStatus = 0x90;
constexpr int HighestShownLimit = 0x7F;

} // namespace

// Written into a buffer, as a comparison of every record makes hundreds of lines.
QString IniExport::potLine(const DumpBytes &dump, int pot) {
    const int status =
        std::max<int>(readStatus(dump[potOffset(pot, PotStatus)]), LowestShownStatus);
    const int min = std::min<int>(dump[potOffset(pot, PotMin)], HighestShownLimit);
    const int max = std::min<int>(dump[potOffset(pot, PotMax)], HighestShownLimit);
    char line[32]; // " 16.16 = B0 02 [00-7F]"
    char *at = line;
    *at++ = ' ';
    at = FieldText::bankNumber(at, potBank(pot), potNumber(pot));
    at = std::copy_n(" = ", 3, at);
    at = FieldText::hexDigits(at, status);
    *at++ = ' ';
    at = FieldText::hexDigits(at, dump[potOffset(pot, PotByte1)]);
    at = std::copy_n(" [", 2, at);
    at = FieldText::hexDigits(at, min);
    *at++ = '-';
    at = FieldText::hexDigits(at, max);
    *at++ = ']';
    return QString::fromLatin1(line, at - line);
}

QString IniExport::buttonLine(const DumpBytes &dump, int button) {
    const int status =
        std::max<int>(readStatus(dump[buttonOffset(button, ButtonStatus)]), LowestShownStatus);
    char line[32]; // " 16.8 = 90 30 7F @"
    char *at = line;
    *at++ = ' ';
    at = FieldText::bankNumber(at, buttonBank(button), buttonNumber(button));
    at = std::copy_n(" = ", 3, at);
    at = FieldText::hexDigits(at, status);
    *at++ = ' ';
    at = FieldText::hexDigits(at, dump[buttonOffset(button, ButtonByte1)]);
    *at++ = ' ';
    at = FieldText::hexDigits(at, dump[buttonOffset(button, ButtonByte2)]);
    at = std::copy_n(" @", 2, at);
    const QString mode = FieldText::mode(dump[buttonOffset(button, ButtonMode)]);
    QString text;
    text.reserve(at - line + mode.size());
    text.append(QLatin1String(line, at - line));
    text.append(mode);
    return text;
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
