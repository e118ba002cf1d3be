// Tests of the dot-matrix LCD control: its layout and glyph rules directly, and the real widget
// rendered to an image on the offscreen platform.

#include "LcdLayout.h"
#include "TLCDLabel.h"

#include <QAccessible>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <string>
#include <vector>

namespace vkv::controls {

namespace {

using Rows = std::vector<std::string>;

// Replaces the error box for the life of a test and records what it would have shown.
struct Messages {
    QStringList shown;
    Messages() {
        TLCDLabel::setErrorHandler([this](QWidget *, const QString &m) { shown << m; });
    }
    ~Messages() { TLCDLabel::setErrorHandler({}); }
};

// The virtual box's instance.
void boxSettings(TLCDLabel &w) {
    w.SetDotMatrix(TDotMatrix::Hitachi);
    w.SetPixelSize(TPixelSize::pix1x1);
    w.SetPixelSpacing(1);
    w.SetCharSpacing(2);
    w.SetLineSpacing(2);
    w.SetBorderSpace(6);
    w.SetTextLines(4);
    w.SetNoOfChars(16);
    w.SetBackGround(QColor(0, 0, 128));
    w.SetPixelOn(QColor(255, 255, 0));
    w.SetPixelOff(QColor(128, 0, 128));
}

lcd::LayoutInput boxInput() {
    lcd::LayoutInput in;
    in.pixelSize = TPixelSize::pix1x1;
    in.borderSpace = 6;
    in.textLines = 4;
    in.noOfChars = 16;
    return in;
}

QImage render(TLCDLabel &w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A cell as read back from the image: '#' PixelOn, '.' PixelOff, '?' anything else.
Rows cellDots(const QImage &img, const TLCDLabel &w, int line, int column) {
    const int x0 = w.BorderSpace() + 1 + column * (w.CharWidth() + w.CharSpacing());
    const int y0 = w.BorderSpace() + 1 + line * (w.CharHeight() + w.LineSpacing());
    Rows rows;
    for (int r = 0; r < w.DotRows(); ++r) {
        std::string row;
        for (int c = 0; c < w.DotCols(); ++c) {
            const QRgb px = img.pixel(x0 + c * (w.PixelWidth() + w.PixelSpacing()),
                                      y0 + r * (w.PixelHeight() + w.PixelSpacing()));
            row += px == w.PixelOn().rgb() ? '#' : px == w.PixelOff().rgb() ? '.' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

// A built-in glyph in the same notation, from the tables.
Rows glyph(TDotMatrix m, int code) {
    const lcd::MatrixSize s = lcd::matrixSize(m);
    Rows rows;
    for (int r = 0; r < s.rows; ++r) {
        std::string row;
        for (int c = 0; c < s.cols; ++c)
            row += lcd::builtinDotLit(m, code, r, c) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

Rows blankRows(int cols, int rows) {
    return Rows(rows, std::string(cols, '.'));
}

const Rows letterA = {".###.", "#...#", "#...#", "#...#", "#####", "#...#", "#...#"};

QByteArray le32(qint32 v) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i)
        b[i] = char((quint32(v) >> (8 * i)) & 0xFF);
    return b;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QByteArray header(qint32 cols, qint32 rows, qint32 first, qint32 last) {
    return le32(cols) + le32(rows) + le32(first) + le32(last);
}

} // namespace

// ---- layout rules ----

TEST(LcdLayout, VirtualBoxSettingsGive188By72) {
    const lcd::Layout l = lcd::sizeFromMatrix(boxInput());
    EXPECT_EQ(l.charWidth, 9);
    EXPECT_EQ(l.charHeight, 13);
    EXPECT_EQ(l.width, 188);
    EXPECT_EQ(l.height, 72);

    TLCDLabel w;
    boxSettings(w);
    EXPECT_EQ(w.size(), QSize(188, 72));
}

TEST(LcdLayout, DefaultsGive166By28) {
    TLCDLabel w;
    EXPECT_EQ(w.size(), QSize(166, 28));
    EXPECT_EQ(w.CharWidth(), 14);
    EXPECT_EQ(w.CharHeight(), 20);
    EXPECT_EQ(w.PixelWidth(), 2);
    EXPECT_EQ(w.DotMatrix(), TDotMatrix::mat5x7);
    EXPECT_EQ(w.focusPolicy(), Qt::NoFocus);
}

TEST(LcdLayout, FitsCellsToAnOutsideSize) {
    lcd::Layout l = lcd::fitToSize(boxInput(), 100, 72);
    EXPECT_EQ(l.noOfChars, 8);
    EXPECT_EQ(l.width, 100);
    EXPECT_EQ(l.textLines, 4);
    EXPECT_EQ(l.height, 72);
    l = lcd::fitToSize(boxInput(), 110, 72);
    EXPECT_EQ(l.noOfChars, 9);
    EXPECT_EQ(l.width, 111);
    // Too small for one cell still keeps one cell each way.
    l = lcd::fitToSize(boxInput(), 3, 3);
    EXPECT_EQ(l.noOfChars, 1);
    EXPECT_EQ(l.textLines, 1);
    EXPECT_EQ(l.width, 12 + 9 + 2);
}

TEST(LcdLabel, ResizedFromOutsideSnapsToWholeCells) {
    TLCDLabel w;
    boxSettings(w);
    w.show();
    w.resize(110, 72);
    EXPECT_EQ(w.size(), QSize(111, 72));
    EXPECT_EQ(w.NoOfChars(), 9);
    w.resize(100, 72);
    EXPECT_EQ(w.size(), QSize(100, 72));
    EXPECT_EQ(w.NoOfChars(), 8);
    // A later property change lays out from the fitted counts, not the old ones.
    w.SetCaption(QStringLiteral("x"));
    EXPECT_EQ(w.size(), QSize(100, 72));
    EXPECT_EQ(w.NoOfChars(), 8);
}

TEST(LcdLabel, HugeCountsAreClampedNotOverflowed) {
    TLCDLabel w;
    w.SetNoOfChars(INT_MAX);
    w.SetPixelSpacing(INT_MAX);
    EXPECT_EQ(w.width(), lcd::MaxExtent);
    // Painting a corner of it must only draw the cells there.
    QImage img(40, 28, QImage::Format_RGB32);
    w.render(&img, QPoint(), QRegion(0, 0, 40, 28));
    EXPECT_EQ(img.pixel(4, 4), w.PixelOff().rgb());
}

// ---- built-in fonts ----

TEST(LcdFont, RangesAndMatrices) {
    struct {
        TDotMatrix m;
        int cols, rows, first, last;
    } fonts[] = {{TDotMatrix::mat5x7, 5, 7, 32, 126}, {TDotMatrix::mat5x8, 5, 8, 32, 126},
                 {TDotMatrix::mat7x9, 7, 9, 32, 126}, {TDotMatrix::mat9x12, 9, 12, 32, 126},
                 {TDotMatrix::Hitachi, 5, 7, 0, 255}, {TDotMatrix::Hitachi2, 5, 10, 32, 223},
                 {TDotMatrix::dos5x7, 5, 7, 0, 255}};
    for (const auto &f : fonts) {
        EXPECT_EQ(lcd::matrixSize(f.m).cols, f.cols);
        EXPECT_EQ(lcd::matrixSize(f.m).rows, f.rows);
        EXPECT_EQ(lcd::charRange(f.m).first, f.first);
        EXPECT_EQ(lcd::charRange(f.m).last, f.last);
        // Every printable ASCII letter and digit has ink.
        for (int code = '0'; code <= 'z'; ++code) {
            if (std::isalnum(code)) {
                EXPECT_NE(glyph(f.m, code), blankRows(f.cols, f.rows)) << int(f.m) << " " << code;
            }
        }
    }
    EXPECT_EQ(lcd::clampCode(200, {32, 126}), 126);
    EXPECT_EQ(lcd::clampCode(10, {32, 126}), 32);
}

TEST(LcdFont, HitachiLetterAAndBlankCodes) {
    EXPECT_EQ(glyph(TDotMatrix::Hitachi, 0x41), letterA);
    for (int code = 0; code < 256; ++code) {
        const bool blank = (code >= 0x10 && code <= 0x1F) || code == 0x80 || code == 0xDE ||
                           (code >= 0xE0 && code <= 0xEF) || code >= 0xFB || code <= 1 ||
                           code == 0x20 || code == 0xF0;
        EXPECT_EQ(glyph(TDotMatrix::Hitachi, code) == blankRows(5, 7), blank) << code;
    }
    EXPECT_EQ(glyph(TDotMatrix::Hitachi, 0xDF), Rows(7, "#####")); // full block
}

TEST(LcdFont, HitachiVerticalBars) {
    EXPECT_EQ(glyph(TDotMatrix::Hitachi, 2).back(), ".#.#.");
    EXPECT_EQ(glyph(TDotMatrix::Hitachi, 3).back(), "#####");
    EXPECT_EQ(glyph(TDotMatrix::Hitachi, 15), Rows(7, "#####"));
    for (int k = 0; k < 16; ++k) {
        const Rows g = glyph(TDotMatrix::Hitachi, k);
        const int full = k == 0 ? 0 : (k - 1) / 2;
        for (int r = 0; r < 7; ++r) {
            const int fromBottom = 6 - r;
            const char *want = fromBottom < full                            ? "#####"
                               : fromBottom == full && k >= 2 && k % 2 == 0 ? ".#.#."
                                                                            : ".....";
            EXPECT_EQ(g[r], want) << "code " << k << " row " << r;
        }
    }
}

TEST(LcdFont, HitachiHorizontalBars) {
    EXPECT_EQ(glyph(TDotMatrix::Hitachi, 0xF0), blankRows(5, 7));
    EXPECT_EQ(glyph(TDotMatrix::Hitachi, 0xFA), Rows(7, "#####"));
    EXPECT_EQ(glyph(TDotMatrix::Hitachi, 0xF3),
              (Rows{"#....", "##...", "#....", "##...", "#....", "##...", "#...."}));
    for (int k = 0; k <= 10; ++k) {
        const Rows g = glyph(TDotMatrix::Hitachi, 0xF0 + k);
        for (int r = 0; r < 7; ++r)
            for (int c = 0; c < 5; ++c) {
                const bool lit = c < k / 2 || (c == k / 2 && k % 2 == 1 && r % 2 == 1);
                EXPECT_EQ(g[r][c] == '#', lit) << "k " << k << " r " << r << " c " << c;
            }
    }
}

TEST(LcdFont, AsciiAndPcSetsShareTheControllerGlyphs) {
    for (int code = 0x20; code <= 0x7D; ++code) {
        if (code == 0x5C)
            continue;
        EXPECT_EQ(glyph(TDotMatrix::mat5x7, code), glyph(TDotMatrix::Hitachi, code)) << code;
        EXPECT_EQ(glyph(TDotMatrix::dos5x7, code), glyph(TDotMatrix::Hitachi, code)) << code;
    }
    // Backslash and tilde replace the yen sign and the arrow; the tilde keeps to the top rows.
    EXPECT_NE(glyph(TDotMatrix::mat5x7, 0x5C), glyph(TDotMatrix::Hitachi, 0x5C));
    const Rows tilde = glyph(TDotMatrix::mat5x7, 0x7E);
    EXPECT_NE(tilde[0] + tilde[1], "..........");
    EXPECT_EQ(Rows(tilde.begin() + 2, tilde.end()), blankRows(5, 5));
    // The PC set fills the codes the controller leaves blank: smiley, shades, box drawing.
    for (int code : {0x01, 0x06, 0x80, 0xB0, 0xB2, 0xB3, 0xC5, 0xDB})
        EXPECT_NE(glyph(TDotMatrix::dos5x7, code), blankRows(5, 7)) << code;
    EXPECT_EQ(glyph(TDotMatrix::dos5x7, 0xC4), (Rows{".....", ".....", ".....", "#####", ".....",
                                                     ".....", "....."})); // box-drawing line
}

TEST(LcdFont, Hitachi2TallGlyphs) {
    for (int code = 32; code <= 193; ++code) {
        Rows want = glyph(TDotMatrix::Hitachi, code);
        want.insert(want.end(), 3, ".....");
        EXPECT_EQ(glyph(TDotMatrix::Hitachi2, code), want) << code;
    }
    EXPECT_EQ(glyph(TDotMatrix::Hitachi2, 223), Rows(10, "#####"));
    // beta, mu, rho, g, j, p, q and y descend into the three bottom rows.
    for (int code : {194, 196, 198, 199, 202, 208, 209, 217}) {
        const Rows g = glyph(TDotMatrix::Hitachi2, code);
        EXPECT_NE(g[7] + g[8] + g[9], "...............") << code;
    }
    // Descenders of the larger ASCII fonts use their bottom row; capitals stay above it.
    for (TDotMatrix m : {TDotMatrix::mat5x8, TDotMatrix::mat7x9, TDotMatrix::mat9x12}) {
        const lcd::MatrixSize s = lcd::matrixSize(m);
        EXPECT_NE(glyph(m, 'g').back(), std::string(s.cols, '.')) << int(m);
        EXPECT_EQ(glyph(m, 'A').back(), std::string(s.cols, '.')) << int(m);
    }
}

// ---- rendering ----

TEST(LcdLabel, PaintsCaptionCellByCell) {
    TLCDLabel w;
    boxSettings(w);
    w.SetCaption(QStringLiteral("A!z"));
    const QImage img = render(w);
    ASSERT_EQ(img.size(), QSize(188, 72));
    EXPECT_EQ(cellDots(img, w, 0, 0), letterA);
    EXPECT_EQ(cellDots(img, w, 0, 1), glyph(TDotMatrix::Hitachi, '!'));
    EXPECT_EQ(cellDots(img, w, 0, 2), glyph(TDotMatrix::Hitachi, 'z'));
    // The other 61 cells show code 0, blank in this font.
    for (int k = 3; k < 64; ++k)
        EXPECT_EQ(cellDots(img, w, k / 16, k % 16), blankRows(5, 7)) << k;
    // Between the dots and cells lies the background.
    EXPECT_EQ(QColor(img.pixel(7 + 1, 7)), QColor(0, 0, 128));
    EXPECT_EQ(QColor(img.pixel(7 + 9, 7)), QColor(0, 0, 128));
}

TEST(LcdLabel, LongCaptionContinuesOnTheNextLine) {
    TLCDLabel w;
    boxSettings(w);
    w.SetCaption(QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    const QImage img = render(w);
    EXPECT_EQ(cellDots(img, w, 0, 15), glyph(TDotMatrix::Hitachi, 'P'));
    EXPECT_EQ(cellDots(img, w, 1, 0), glyph(TDotMatrix::Hitachi, 'Q'));
    EXPECT_EQ(cellDots(img, w, 1, 3), glyph(TDotMatrix::Hitachi, 'T'));
    EXPECT_EQ(cellDots(img, w, 1, 4), blankRows(5, 7));
}

TEST(LcdLabel, CaptionEndsAtNulAndIsCutAt255) {
    TLCDLabel w;
    boxSettings(w);
    w.SetCaption(QString::fromLatin1("AB\0CD", 5));
    const QImage img = render(w);
    EXPECT_EQ(cellDots(img, w, 0, 1), glyph(TDotMatrix::Hitachi, 'B'));
    EXPECT_EQ(cellDots(img, w, 0, 3), blankRows(5, 7));

    w.SetCaption(QString(300, QLatin1Char('x')));
    EXPECT_EQ(w.Caption().size(), 255);
    // Characters beyond Latin-1 show as a question mark.
    w.SetCaption(QString(QChar(0x20AC)));
    EXPECT_EQ(cellDots(render(w), w, 0, 0), glyph(TDotMatrix::Hitachi, '?'));
}

TEST(LcdLabel, CodesOutsideTheFontAreClamped) {
    TLCDLabel w;
    w.SetDotMatrix(TDotMatrix::mat5x8);
    w.SetPixelOff(Qt::white);
    w.SetCaption(QString(QChar(200)) + QChar(10));
    const QImage img = render(w);
    EXPECT_EQ(cellDots(img, w, 0, 0), glyph(TDotMatrix::mat5x8, 126));
    EXPECT_EQ(cellDots(img, w, 0, 1), blankRows(5, 8)); // 10 becomes 32, the space
}

TEST(LcdLabel, Hitachi2ShowsShortGlyphsOverUnlitRowsAndATallBlock) {
    TLCDLabel w;
    w.SetDotMatrix(TDotMatrix::Hitachi2);
    w.SetCaption(QString(QChar(65)) + QChar(230));
    const QImage img = render(w);
    Rows a = letterA;
    a.insert(a.end(), 3, ".....");
    EXPECT_EQ(cellDots(img, w, 0, 0), a);
    EXPECT_EQ(cellDots(img, w, 0, 1), Rows(10, "#####"));
}

TEST(LcdLabel, DisabledShowsBackgroundAndBorderOnly) {
    TLCDLabel w;
    w.SetBorderStyle(TMyBorder::frSingle);
    w.SetBorderColor(Qt::red);
    w.SetCaption(QStringLiteral("AAAAAAAAAA"));
    w.setEnabled(false);
    const QImage img = render(w);
    const QRgb back = w.BackGround().rgb();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const bool edge = x == 0 || y == 0 || x == img.width() - 1 || y == img.height() - 1;
            ASSERT_EQ(img.pixel(x, y), edge ? QColor(Qt::red).rgb() : back) << x << "," << y;
        }
    w.setEnabled(true);
    EXPECT_EQ(cellDots(render(w), w, 0, 0), letterA);
}

TEST(LcdLabel, BorderStyles) {
    TLCDLabel w;
    const QRgb light = w.palette().color(QPalette::Light).rgb();
    const QRgb dark = w.palette().color(QPalette::Dark).rgb();
    ASSERT_NE(light, dark);
    QImage img = render(w); // lowered: dark top and left, light bottom and right
    const int r = w.width() - 1;
    const int b = w.height() - 1;
    EXPECT_EQ(img.pixel(5, 0), dark);
    EXPECT_EQ(img.pixel(0, 5), dark);
    EXPECT_EQ(img.pixel(5, b), light);
    EXPECT_EQ(img.pixel(r, 5), light);
    w.SetBorderStyle(TMyBorder::frRaised);
    img = render(w);
    EXPECT_EQ(img.pixel(5, 0), light);
    EXPECT_EQ(img.pixel(r, 5), dark);
    w.SetBorderStyle(TMyBorder::frNone);
    img = render(w);
    EXPECT_EQ(img.pixel(0, 0), w.BackGround().rgb());
    EXPECT_EQ(img.pixel(r, b), w.BackGround().rgb());
}

TEST(LcdLabel, DotShapes) {
    TLCDLabel w;
    w.SetDotMatrix(TDotMatrix::Hitachi);
    w.SetPixelSize(TPixelSize::pix6x6);
    w.SetPixelOn(QColor(255, 255, 0));
    EXPECT_EQ(w.PixelOnHalf(), QColor(0x7F, 0x7F, 0));
    w.SetCaption(QString(QChar(0xDF))); // the full block: every dot lit
    const int x = w.BorderSpace() + 1;
    const int y = x;
    const int next = 6 + w.PixelSpacing();
    EXPECT_EQ(w.CharWidth(), 5 * 6 + 4);

    QImage img = render(w);
    EXPECT_EQ(img.pixel(x, y), w.PixelOn().rgb());
    EXPECT_EQ(img.pixel(x + 5, y + 5), w.PixelOn().rgb());
    EXPECT_EQ(img.pixel(x + 6, y), w.BackGround().rgb()); // the gap after a 6-pixel dot

    w.SetPixelShape(TPixelShape::spRound);
    img = render(w);
    EXPECT_EQ(img.pixel(x, y), w.BackGround().rgb()); // corner outside the circle
    EXPECT_EQ(img.pixel(x + 3, y + 3), w.PixelOn().rgb());

    w.SetPixelShape(TPixelShape::spShaped);
    img = render(w);
    EXPECT_EQ(img.pixel(x, y), w.PixelOnHalf().rgb());
    EXPECT_EQ(img.pixel(x + 3, y + 3), w.PixelOn().rgb());
    w.SetCaption(QStringLiteral(" ")); // unlit shaped dots are plain squares
    img = render(w);
    EXPECT_EQ(img.pixel(x + next, y), w.PixelOff().rgb());
    EXPECT_EQ(img.pixel(x + next + 5, y + 5), w.PixelOff().rgb());
}

// ---- property writers ----

TEST(LcdLabel, GuardedWritersRefuseWithTheirMessages) {
    Messages box;
    TLCDLabel w;
    w.SetPixelSize(TPixelSize::pixCustom);
    struct {
        void (TLCDLabel::*set)(int);
        int (TLCDLabel::*get)() const;
        int bad;
        int good;
        const char *message;
    } writers[] = {
        {&TLCDLabel::SetPixelSpacing, &TLCDLabel::PixelSpacing, -1, 0,
         "Pixel spacing can't be less than zero!"},
        {&TLCDLabel::SetCharSpacing, &TLCDLabel::CharSpacing, -1, 0,
         "Character spacing can't be less than zero!"},
        {&TLCDLabel::SetLineSpacing, &TLCDLabel::LineSpacing, -5, 7,
         "Line spacing can't be less than zero!"},
        {&TLCDLabel::SetBorderSpace, &TLCDLabel::BorderSpace, -1, 0,
         "Border spacing can't be less than zero!"},
        {&TLCDLabel::SetTextLines, &TLCDLabel::TextLines, 0, 3, "Display needs at least on line!"},
        {&TLCDLabel::SetNoOfChars, &TLCDLabel::NoOfChars, -2, 4,
         "Display needs at least one character!"},
        {&TLCDLabel::SetPixelWidth, &TLCDLabel::PixelWidth, 0, 3,
         "Display pixel width must be 1 or greater!"},
        {&TLCDLabel::SetPixelHeight, &TLCDLabel::PixelHeight, 0, 4,
         "Display pixel height must be 1 or greate!"},
    };
    for (const auto &wr : writers) {
        const int before = (w.*wr.get)();
        box.shown.clear();
        (w.*wr.set)(wr.bad);
        EXPECT_EQ(box.shown, QStringList{QString::fromLatin1(wr.message)});
        EXPECT_EQ((w.*wr.get)(), before);
        box.shown.clear();
        (w.*wr.set)(wr.good);
        EXPECT_TRUE(box.shown.isEmpty()) << wr.message;
        EXPECT_EQ((w.*wr.get)(), wr.good) << wr.message;
    }
    EXPECT_EQ(w.CharWidth(), 5 * 3); // custom 3 x 4 dots with no spacing
    EXPECT_EQ(w.size(), QSize(2 * 0 + 3 * 0 + 4 * 15 + 2, 2 * 0 + 2 * 7 + 3 * 4 * 7 + 2));
}

TEST(LcdLabel, DotSizeFollowsPixelSizeUnlessCustom) {
    Messages box;
    TLCDLabel w;
    w.SetPixelWidth(3);
    w.SetPixelWidth(0);
    EXPECT_TRUE(box.shown.isEmpty());
    EXPECT_EQ(w.PixelWidth(), 2);
    w.SetPixelSize(TPixelSize::pix4x4);
    EXPECT_EQ(w.PixelWidth(), 4);
    EXPECT_EQ(w.PixelHeight(), 4);
    EXPECT_EQ(w.CharWidth(), 5 * 4 + 4);
}

// ---- custom font files ----

TEST(LcdCustomFont, GoodFileIsShownWithZeroAsLit) {
    QTemporaryDir dir;
    // 3 x 2 glyphs for 'A' and 'B'; bytes other than 0 are unlit.
    const QByteArray glyphs("\x00\x01\x00\x01\x00\x01"
                            "\x00\x00\x00\x02\xFF\x00",
                            12);
    const QString path = writeFile(dir, "font.bin", header(3, 2, 65, 66) + glyphs);
    TLCDLabel w;
    w.Setfilename(path);
    EXPECT_EQ(w.DotMatrix(), TDotMatrix::CustomFont);
    EXPECT_EQ(w.FontLoadResult(), lcd::CustomFontData::LoadResult::Ok);
    EXPECT_EQ(w.DotCols(), 3);
    EXPECT_EQ(w.DotRows(), 2);
    EXPECT_EQ(w.FirstChar(), 65);
    EXPECT_EQ(w.LastChar(), 66);
    EXPECT_EQ(w.CharWidth(), 3 * 2 + 2);
    w.SetCaption(QStringLiteral("ABZ")); // Z clamps to B; the rest clamp up to A
    const QImage img = render(w);
    EXPECT_EQ(cellDots(img, w, 0, 0), (Rows{"#.#", ".#."}));
    EXPECT_EQ(cellDots(img, w, 0, 1), (Rows{"###", "..#"}));
    EXPECT_EQ(cellDots(img, w, 0, 2), (Rows{"###", "..#"}));
    EXPECT_EQ(cellDots(img, w, 0, 3), (Rows{"#.#", ".#."}));

    // Switching to a built-in matrix and back reloads the same file.
    w.SetDotMatrix(TDotMatrix::Hitachi);
    EXPECT_EQ(w.DotCols(), 5);
    w.SetDotMatrix(TDotMatrix::CustomFont);
    EXPECT_EQ(w.DotCols(), 3);
}

TEST(LcdCustomFont, TruncatedFileKeepsWhatWasRead) {
    QTemporaryDir dir;
    // Announces 'A'..'D' in 2 x 2, but holds one glyph and half of the next.
    const QByteArray glyphs("\x00\x00\x00\x00"
                            "\x00\x01",
                            6);
    TLCDLabel w;
    w.Setfilename(writeFile(dir, "short.bin", header(2, 2, 65, 68) + glyphs));
    EXPECT_EQ(w.DotMatrix(), TDotMatrix::CustomFont);
    EXPECT_EQ(w.FontLoadResult(), lcd::CustomFontData::LoadResult::Truncated);
    w.SetCaption(QStringLiteral("ABCD"));
    const QImage img = render(w);
    EXPECT_EQ(cellDots(img, w, 0, 0), (Rows{"##", "##"}));
    EXPECT_EQ(cellDots(img, w, 0, 1), (Rows{"#.", ".."}));
    EXPECT_EQ(cellDots(img, w, 0, 2), (Rows{"..", ".."}));
    EXPECT_EQ(cellDots(img, w, 0, 3), (Rows{"..", ".."}));
}

TEST(LcdCustomFont, UnusableFilesLeaveThePreviousMatrix) {
    Messages box;
    QTemporaryDir dir;
    const QByteArray bad[] = {
        header(5, 7, -1, 10),           header(5, 7, 0, 256),
        header(5, 7, 100, 99),          header(0, 7, 32, 126),
        header(5, -3, 32, 126),         header(INT_MAX, INT_MAX, 0, 255),
        header(100000, 100000, 0, 255), header(5, 7, 32, 126).left(10),
    };
    TLCDLabel w;
    w.SetDotMatrix(TDotMatrix::Hitachi);
    int n = 0;
    for (const QByteArray &bytes : bad) {
        w.Setfilename(writeFile(dir, QStringLiteral("bad%1.bin").arg(n++), bytes));
        EXPECT_EQ(w.DotMatrix(), TDotMatrix::Hitachi) << n;
        EXPECT_EQ(w.FontLoadResult(), lcd::CustomFontData::LoadResult::BadHeader) << n;
        EXPECT_EQ(w.size(), QSize(166, 28)) << n;
    }
    w.Setfilename(dir.filePath("missing.bin"));
    EXPECT_EQ(w.FontLoadResult(), lcd::CustomFontData::LoadResult::CannotOpen);
    EXPECT_EQ(w.DotMatrix(), TDotMatrix::Hitachi);
    // An empty file name changes nothing either.
    w.Setfilename(QString());
    EXPECT_EQ(w.DotMatrix(), TDotMatrix::Hitachi);
    EXPECT_TRUE(box.shown.isEmpty());

    // A custom font in force survives a failed load of another file.
    w.Setfilename(writeFile(dir, "good.bin", header(1, 1, 65, 65) + QByteArray(1, 0)));
    ASSERT_EQ(w.DotMatrix(), TDotMatrix::CustomFont);
    w.Setfilename(writeFile(dir, "worse.bin", header(5, 7, 9, 3)));
    EXPECT_EQ(w.DotMatrix(), TDotMatrix::CustomFont);
    EXPECT_EQ(w.DotCols(), 1);
    w.SetCaption(QStringLiteral("A"));
    EXPECT_EQ(cellDots(render(w), w, 0, 0), Rows{"#"});
}

// ---- events and accessibility ----

TEST(LcdLabel, LeftClickRaisesOnClickWithTheSender) {
    TLCDLabel w;
    w.Tag = -10;
    QObject *sender = nullptr;
    int clicks = 0;
    int doubles = 0;
    w.OnClick = [&](QObject *s) {
        sender = s;
        ++clicks;
    };
    w.OnDblClick = [&](QObject *) { ++doubles; };
    w.show();
    QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(sender, &w);
    QTest::mouseClick(&w, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks, 1);
    // Pressed on the control but released outside it: no click.
    QTest::mousePress(&w, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(w.width() + 20, 10));
    EXPECT_EQ(clicks, 1);
    QTest::mouseDClick(&w, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(doubles, 1);
}

TEST(LcdLabel, CaptionIsTheAccessibleText) {
    TLCDLabel w;
    w.SetCaption(QStringLiteral("Knob ID : 5"));
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&w);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::StaticText);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Knob ID : 5"));
}

} // namespace vkv::controls
