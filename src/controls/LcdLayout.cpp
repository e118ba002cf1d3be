#include "LcdLayout.h"

#include "LcdFontData.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace vkv::controls::lcd {

namespace fd = fontdata;

MatrixSize matrixSize(TDotMatrix m) {
    switch (m) {
    case TDotMatrix::mat5x7:
    case TDotMatrix::Hitachi:
    case TDotMatrix::dos5x7:
        return {5, 7};
    case TDotMatrix::mat5x8:
        return {5, 8};
    case TDotMatrix::mat7x9:
        return {7, 9};
    case TDotMatrix::mat9x12:
        return {9, 12};
    case TDotMatrix::Hitachi2:
        return {5, 10};
    case TDotMatrix::CustomFont:
        break;
    }
    return {0, 0};
}

CharRange charRange(TDotMatrix m) {
    switch (m) {
    case TDotMatrix::mat5x7:
    case TDotMatrix::mat5x8:
    case TDotMatrix::mat7x9:
    case TDotMatrix::mat9x12:
        return {32, 126};
    case TDotMatrix::Hitachi:
    case TDotMatrix::dos5x7:
        return {0, 255};
    case TDotMatrix::Hitachi2:
        return {32, 223};
    case TDotMatrix::CustomFont:
        break;
    }
    return {0, 0};
}

int clampCode(int code, CharRange range) {
    if (code < range.first)
        return range.first;
    if (code > range.last)
        return range.last;
    return code;
}

const unsigned char *builtinGlyph(TDotMatrix m, int code) {
    const MatrixSize s = matrixSize(m);
    const int size = s.cols * s.rows;
    switch (m) {
    case TDotMatrix::mat5x7:
        return fd::mat5x7 + (code - fd::AsciiBase) * size;
    case TDotMatrix::mat5x8:
        return fd::mat5x8 + (code - fd::AsciiBase) * size;
    case TDotMatrix::mat7x9:
        return fd::mat7x9 + (code - fd::AsciiBase) * size;
    case TDotMatrix::mat9x12:
        return fd::mat9x12 + (code - fd::AsciiBase) * size;
    case TDotMatrix::Hitachi:
        return fd::hitachi + code * size;
    case TDotMatrix::Hitachi2:
        if (code < fd::TallBase)
            return fd::hitachi + code * 5 * 7;
        return fd::hitachi2Tall + (code - fd::TallBase) * size;
    case TDotMatrix::dos5x7:
        return fd::dos5x7 + code * size;
    case TDotMatrix::CustomFont:
        break;
    }
    return nullptr;
}

bool builtinDotLit(TDotMatrix m, int code, int row, int col) {
    const unsigned char *glyph = builtinGlyph(m, code);
    if (!glyph)
        return false;
    int cols = matrixSize(m).cols;
    if (m == TDotMatrix::Hitachi2 && code < fd::TallBase) {
        if (row >= 7)
            return false; // the 5 x 7 glyph fills the top seven rows only
        cols = 5;
    }
    return glyph[row * cols + col] == 1;
}

namespace {

std::int32_t readLe32(const unsigned char *p) {
    const std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                            std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

} // namespace

CustomFontData::LoadResult CustomFontData::load(const std::string &path) {
    if (path.empty())
        return LoadResult::CannotOpen;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return LoadResult::CannotOpen;

    unsigned char header[16];
    if (std::fread(header, 1, sizeof header, file.get()) != sizeof header)
        return LoadResult::BadHeader;
    const std::int32_t cols = readLe32(header);
    const std::int32_t rows = readLe32(header + 4);
    const std::int32_t first = readLe32(header + 8);
    const std::int32_t last = readLe32(header + 12);
    // The 256 glyph slots and the layout need a valid range and positive, sane sizes; the
    // checks come before any allocation so a hostile header costs nothing.
    if (cols < 1 || rows < 1 || cols > MaxDots || rows > MaxDots)
        return LoadResult::BadHeader;
    if (first < 0 || last > 255 || first > last)
        return LoadResult::BadHeader;

    const std::size_t glyphSize = std::size_t(cols) * std::size_t(rows);
    std::vector<unsigned char> data(256 * glyphSize, 1);
    LoadResult result = LoadResult::Ok;
    for (int code = first; code <= last; ++code) {
        if (std::fread(data.data() + code * glyphSize, 1, glyphSize, file.get()) != glyphSize) {
            result = LoadResult::Truncated;
            break;
        }
    }
    dotCols = cols;
    dotRows = rows;
    firstChar = first;
    lastChar = last;
    glyphs = std::move(data);
    return result;
}

bool CustomFontData::dotLit(int code, int row, int col) const {
    if (glyphs.empty() || code < 0 || code > 255 || row < 0 || row >= dotRows || col < 0 ||
        col >= dotCols)
        return false;
    const std::size_t glyphSize = std::size_t(dotCols) * std::size_t(dotRows);
    return glyphs[code * glyphSize + std::size_t(row) * dotCols + col] == 0;
}

void CustomFontData::clear() {
    glyphs.clear();
    glyphs.shrink_to_fit();
    dotCols = dotRows = firstChar = lastChar = 0;
}

namespace {

int clampExtent(long long v) {
    return int(std::clamp<long long>(v, 0, MaxExtent));
}

// Steps 1 to 3 of both layouts: dot size and cell size.
Layout cellLayout(const LayoutInput &in) {
    Layout l;
    if (in.pixelSize == TPixelSize::pixCustom) {
        l.dotWidth = in.pixelWidth;
        l.dotHeight = in.pixelHeight;
    } else {
        l.dotWidth = l.dotHeight = int(in.pixelSize) + 1;
    }
    l.charWidth = clampExtent((long long)in.dotCols * l.dotWidth +
                              (long long)(in.dotCols - 1) * in.pixelSpacing);
    l.charHeight = clampExtent((long long)in.dotRows * l.dotHeight +
                               (long long)(in.dotRows - 1) * in.pixelSpacing);
    return l;
}

void finishSize(Layout &l, const LayoutInput &in) {
    const long long border = 2LL * in.borderSpace + 2;
    l.width = clampExtent(border + (long long)(l.noOfChars - 1) * in.charSpacing +
                          (long long)l.noOfChars * l.charWidth);
    l.height = clampExtent(border + (long long)(l.textLines - 1) * in.lineSpacing +
                           (long long)l.textLines * l.charHeight);
}

int fitCount(long long extent, long long spacing, long long border, long long cell) {
    const long long pitch = cell + spacing;
    if (pitch <= 0)
        return 1;
    // C++ division truncates toward zero, as the rule wants.
    const long long n = (extent + spacing - 2 * border) / pitch;
    return int(std::clamp<long long>(n, 1, MaxExtent));
}

} // namespace

Layout sizeFromMatrix(const LayoutInput &in) {
    Layout l = cellLayout(in);
    l.textLines = in.textLines;
    l.noOfChars = in.noOfChars;
    finishSize(l, in);
    return l;
}

Layout fitToSize(const LayoutInput &in, int width, int height) {
    Layout l = cellLayout(in);
    l.noOfChars = fitCount(width, in.charSpacing, in.borderSpace, l.charWidth);
    l.textLines = fitCount(height, in.lineSpacing, in.borderSpace, l.charHeight);
    finishSize(l, in);
    return l;
}

Point cellOrigin(const Layout &l, const LayoutInput &in, int line, int column) {
    const long long x =
        in.borderSpace + 1LL + (long long)column * ((long long)l.charWidth + in.charSpacing);
    const long long y =
        in.borderSpace + 1LL + (long long)line * ((long long)l.charHeight + in.lineSpacing);
    return {clampExtent(x), clampExtent(y)};
}

Point dotOrigin(const Layout &l, const LayoutInput &in, Point origin, int row, int col) {
    const long long x = origin.x + (long long)col * ((long long)l.dotWidth + in.pixelSpacing);
    const long long y = origin.y + (long long)row * ((long long)l.dotHeight + in.pixelSpacing);
    return {clampExtent(x), clampExtent(y)};
}

std::string captionCodes(const std::u16string &caption) {
    std::string codes;
    for (char16_t c : caption) {
        if (c == 0 || codes.size() == std::size_t(MaxCaption))
            break;
        codes.push_back(c <= 0xFF ? char(c) : '?');
    }
    return codes;
}

int cellCode(const std::string &codes, long long k, CharRange range) {
    const int code = (k >= 0 && k < (long long)codes.size()) ? (unsigned char)codes[k] : 0;
    return clampCode(code, range);
}

std::uint32_t halfColor(std::uint32_t rgb) {
    return (rgb & 0xFF000000u) | ((rgb >> 1) & 0x007F7F7Fu);
}

} // namespace vkv::controls::lcd
