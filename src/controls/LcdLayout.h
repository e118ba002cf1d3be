#pragma once

// Layout and glyph rules of the dot-matrix LCD control, kept free of widgets so they can be
// tested directly. TLCDLabel is a thin painting shell over these.

#include <cstdint>
#include <string>
#include <vector>

enum class TDotMatrix {
    mat5x7 = 0,
    mat5x8 = 1,
    mat7x9 = 2,
    mat9x12 = 3,
    Hitachi = 4,
    Hitachi2 = 5,
    dos5x7 = 6,
    CustomFont = 7,
};

// Ordinal n below 16 means dots of n + 1 by n + 1 pixels.
enum class TPixelSize {
    pix1x1 = 0,
    pix2x2,
    pix3x3,
    pix4x4,
    pix5x5,
    pix6x6,
    pix7x7,
    pix8x8,
    pix9x9,
    pix10x10,
    pix11x11,
    pix12x12,
    pix13x13,
    pix14x14,
    pix15x15,
    pix16x16 = 15,
    pixCustom = 16,
};

enum class TPixelShape { spSquare = 0, spShaped = 1, spRound = 2 };

enum class TMyBorder { frRaised = 0, frLowered = 1, frSingle = 2, frNone = 3 };

namespace vkv::controls::lcd {

// Largest width or height a control may take (Qt's QWIDGETSIZE_MAX); sizes computed from
// absurd property values are clamped to it instead of overflowing.
constexpr int MaxExtent = (1 << 24) - 1;

struct CharRange {
    int first = 0;
    int last = 0;
};

struct MatrixSize {
    int cols = 0;
    int rows = 0;
};

// Dots across and down of a built-in matrix; {0, 0} for CustomFont, whose size comes from its file.
MatrixSize matrixSize(TDotMatrix m);
// Codes a built-in matrix can show; {0, 0} for CustomFont.
CharRange charRange(TDotMatrix m);
int clampCode(int code, CharRange range);

// A glyph of a built-in table: cols x rows bytes, row by row from the top, 1 = lit, 0 = unlit.
// `code` must lie in the matrix's charRange; Hitachi2 codes up to 193 give the 5 x 7 Hitachi glyph
// (see builtinDotLit for its unlit bottom rows). Null for CustomFont.
const unsigned char *builtinGlyph(TDotMatrix m, int code);
// Whether dot (row, col) of a built-in glyph is lit. `code` must lie in the matrix's range.
bool builtinDotLit(TDotMatrix m, int code, int row, int col);

// A font read from a custom font file: little-endian header DotCols, DotRows, FirstChar, LastChar
// (signed 32-bit each), then the glyphs of FirstChar..LastChar, DotCols x DotRows bytes each,
// row by row. In the file 0 means lit; every other byte, and every code outside the file's
// range, is unlit.
class CustomFontData {
public:
    enum class LoadResult {
        NotLoaded, // no load was tried yet
        Ok,
        Truncated,  // the file ended early: the glyphs read so far are kept, the rest are unlit
        CannotOpen, // nothing changed
        BadHeader,  // nothing changed
    };

    // A glyph side longer than this cannot be a character font; such a header is refused
    // rather than allocating for it.
    static constexpr int MaxDots = 64;

    // Replaces this font with the file's only when the file opens and its header is valid.
    LoadResult load(const std::string &path);

    bool empty() const { return glyphs.empty(); }
    int cols() const { return dotCols; }
    int rows() const { return dotRows; }
    CharRange range() const { return {firstChar, lastChar}; }
    bool dotLit(int code, int row, int col) const;
    void clear();

private:
    int dotCols = 0;
    int dotRows = 0;
    int firstChar = 0;
    int lastChar = 0;
    std::vector<unsigned char> glyphs; // 256 slots of dotCols x dotRows bytes, as in the file
};

// What the layout reads from the control's properties.
struct LayoutInput {
    int dotCols = 5;
    int dotRows = 7;
    TPixelSize pixelSize = TPixelSize::pix2x2;
    int pixelWidth = 2;
    int pixelHeight = 2;
    int pixelSpacing = 1;
    int charSpacing = 2;
    int lineSpacing = 2;
    int borderSpace = 3;
    int textLines = 1;
    int noOfChars = 10;
};

struct Layout {
    int dotWidth = 0; // also the control's PixelWidth unless PixelSize is pixCustom
    int dotHeight = 0;
    int charWidth = 0;
    int charHeight = 0;
    int textLines = 0;
    int noOfChars = 0;
    int width = 0;
    int height = 0;
};

// The size that the matrix, spacings and cell counts give.
Layout sizeFromMatrix(const LayoutInput &in);
// After a resize from outside: as many cells as width x height allows (at least one each way),
// and the exact size for them.
Layout fitToSize(const LayoutInput &in, int width, int height);

// Top-left dot of cell `column` of line `line`.
struct Point {
    int x = 0;
    int y = 0;
};
Point cellOrigin(const Layout &l, const LayoutInput &in, int line, int column);
// Top-left pixel of dot (row, col) of a cell whose top-left dot is at `origin`.
Point dotOrigin(const Layout &l, const LayoutInput &in, Point origin, int row, int col);

// The caption as the control shows it: 8-bit codes, at most 255, ending at the first NUL.
// Characters beyond Latin-1 become '?'.
constexpr int MaxCaption = 255;
std::string captionCodes(const std::u16string &caption);
// Code shown in cell k: character k of the caption, 0 past its end, clamped into `range`.
int cellCode(const std::string &codes, long long k, CharRange range);

// PixelOn with red, green and blue each halved, for the rim of a shaped dot.
std::uint32_t halfColor(std::uint32_t rgb);

} // namespace vkv::controls::lcd
