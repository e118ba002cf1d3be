#include "OemText.h"

namespace vkv::box {

namespace {

// Code page 437: the symbols of codes 0..31 and 127, and the upper half.
const char16_t low[33] = u" ☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼";
const char16_t high[129] = u"ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
                           u"└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";

} // namespace

QString oemText(const std::string &bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 32)
            text += QChar(low[code]);
        else if (code == 127)
            text += QChar(u'⌂');
        else if (code >= 128)
            text += QChar(high[code - 128]);
        else
            text += QChar(code);
    }
    return text;
}

} // namespace vkv::box
