#include "IniExport.h"

#include "ConfigImage.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <array>

namespace vkv::image {

namespace {

// The bounds of the pages' fields, which the export renders values within.
constexpr int LowestShownStatus = 0x90;
constexpr int HighestShownLimit = 0x7F;
const std::array<const char *, 3> ModeNames{"ON/OFF", "ON ONLY", "TOGGLE"};

QByteArray hex(int value) {
    return QByteArray::number(value, 16).toUpper().rightJustified(2, '0');
}

QByteArray potLine(const ConfigImage &image, int p) {
    const int status = std::max<int>(image.pot(p, PotStatus), LowestShownStatus);
    const int min = std::min<int>(image.pot(p, PotMin), HighestShownLimit);
    const int max = std::min<int>(image.pot(p, PotMax), HighestShownLimit);
    return " " + QByteArray::fromStdString(bankNumberText(potBank(p), potNumber(p))) + " = " +
           hex(status) + " " + hex(image.pot(p, PotByte1)) + " [" + hex(min) + "-" + hex(max) +
           "] \r\n";
}

QByteArray buttonLine(const ConfigImage &image, int b) {
    const int status = std::max<int>(image.button(b, ButtonStatus), LowestShownStatus);
    const int mode = image.button(b, ButtonMode);
    const QByteArray modeName =
        mode < static_cast<int>(ModeNames.size()) ? QByteArray(ModeNames[mode]) : QByteArray();
    return " " + QByteArray::fromStdString(bankNumberText(buttonBank(b), buttonNumber(b))) + " = " +
           hex(status) + " " + hex(image.button(b, ButtonByte1)) + " " +
           hex(image.button(b, ButtonByte2)) + " @" + modeName + "\r\n";
}

} // namespace

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
        text += potLine(image, p);
    text += "[BUTTONS]\r\n";
    for (int b = 0; b < ButtonCount; ++b)
        text += buttonLine(image, b);
    return text;
}

QString IniExport::now() {
    const QLocale locale;
    const QDateTime at = QDateTime::currentDateTime();
    return locale.toString(at.date(), QLocale::ShortFormat) + " " +
           locale.toString(at.time(), QLocale::LongFormat);
}

} // namespace vkv::image
