#include "FieldText.h"

#include <array>

namespace vkv::image {

// The words are literals: handing one out copies no text, which a comparison of every record
// does hundreds of times.
QString FieldText::eventType(int status) {
    static const std::array<QString, EventTypeCount> names{QStringLiteral("Note On"),
                                                           QStringLiteral("Poly Aftertouch"),
                                                           QStringLiteral("Controller"),
                                                           QStringLiteral("Program Change"),
                                                           QStringLiteral("Channel Aftertouch"),
                                                           QStringLiteral("Pitch Bender"),
                                                           QStringLiteral("Meta Event")};
    const int index = status / 16 - 9;
    if (index < 0 || index >= EventTypeCount)
        return QString();
    return names[static_cast<std::size_t>(index)];
}

QString FieldText::mode(int mode) {
    static const std::array<QString, ModeCount> names{
        QStringLiteral("ON/OFF"), QStringLiteral("ON ONLY"), QStringLiteral("TOGGLE")};
    if (mode < 0 || mode >= ModeCount)
        return QString();
    return names[static_cast<std::size_t>(mode)];
}

QString FieldText::hex(int value) {
    // Made once: a byte's text is then handed out without being written again.
    static const std::array<QString, 256> bytes = [] {
        std::array<QString, 256> texts;
        for (int b = 0; b < 256; ++b) {
            char digits[2];
            hexDigits(digits, b);
            texts[static_cast<std::size_t>(b)] = QString::fromLatin1(digits, 2);
        }
        return texts;
    }();
    if (value < 0 || value > 0xFF)
        return QString::asprintf("%02X", value);
    return bytes[static_cast<std::size_t>(value)];
}

char *FieldText::hexDigits(char *at, int value) {
    static constexpr char digit[] = "0123456789ABCDEF";
    *at++ = digit[(value >> 4) & 0xF];
    *at++ = digit[value & 0xF];
    return at;
}

char *FieldText::bankNumber(char *at, int bank, int number) {
    const auto decimal = [](char *to, int n) {
        if (n >= 10)
            *to++ = static_cast<char>('0' + n / 10);
        *to++ = static_cast<char>('0' + n % 10);
        return to;
    };
    at = decimal(at, bank);
    *at++ = '.';
    return decimal(at, number);
}

} // namespace vkv::image
