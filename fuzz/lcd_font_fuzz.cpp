// The LCD's custom font files: any bytes as the font file of a shown LCD, which loads it and
// paints its caption with it.
#include "FuzzSupport.h"
#include "TLCDLabel.h"

#include <QImage>

using vkv::controls::lcd::CustomFontData;

namespace {
TLCDLabel *lcd = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::startApplication();
    lcd = new TLCDLabel;
    lcd->SetCaption(QString::fromLatin1("Vela \x01\x7f\xff 0123456789 ABCDEFGHIJKLMNOP"));
    fuzz::endAtExit([] {
        delete lcd;
        lcd = nullptr;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    lcd->SetDotMatrix(TDotMatrix::mat5x7); // each input starts from the built-in font
    const QString path = fuzz::writeInput("font.bin", data, size);
    lcd->Setfilename(path);
    const CustomFontData::LoadResult result = lcd->FontLoadResult();
    const bool taken =
        result == CustomFontData::LoadResult::Ok || result == CustomFontData::LoadResult::Truncated;
    fuzz::check(taken == (lcd->DotMatrix() == TDotMatrix::CustomFont),
                "a usable file is in force, a refused one is not");
    if (taken) {
        fuzz::check(lcd->DotCols() >= 1 && lcd->DotCols() <= CustomFontData::MaxDots &&
                        lcd->DotRows() >= 1 && lcd->DotRows() <= CustomFontData::MaxDots,
                    "glyph sizes are sane");
        fuzz::check(lcd->FirstChar() >= 0 && lcd->FirstChar() <= lcd->LastChar() &&
                        lcd->LastChar() <= 255,
                    "the range is within a byte");
    }
    QImage canvas(lcd->size().boundedTo(QSize(2048, 2048)), QImage::Format_RGB32);
    if (!canvas.isNull())
        lcd->render(&canvas);
    return 0;
}
