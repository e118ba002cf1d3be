// Renders the custom controls into one PNG for review by eye: every built-in LCD font's full code
// table, the virtual box's LCD, the dot shapes and border styles, and the knob at several
// positions. Usage: render_controls [output.png]   (runs on the offscreen platform by default)

#include "TKnob.h"
#include "TLCDLabel.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <cstdio>

namespace lcd = vkv::controls::lcd;

namespace {

const QColor LcdBack(150, 186, 40);
const QColor LcdOn(24, 40, 8);
const QColor LcdOff(138, 174, 36);

struct Cursor {
    int x = 10;
    int y = 10;
};

QLabel *text(QWidget *parent, const QString &s, int x, int y, int pointSize = 9) {
    auto *l = new QLabel(s, parent);
    QFont f = l->font();
    f.setPointSize(pointSize);
    l->setFont(f);
    l->move(x, y);
    l->adjustSize();
    return l;
}

TLCDLabel *makeLcd(QWidget *parent, TDotMatrix m, int chars, int lines, int x, int y) {
    auto *l = new TLCDLabel(parent);
    l->SetDotMatrix(m);
    l->SetNoOfChars(chars);
    l->SetTextLines(lines);
    l->SetBackGround(LcdBack);
    l->SetPixelOn(LcdOn);
    l->SetPixelOff(LcdOff);
    l->move(x, y);
    return l;
}

// The full code table of one font: sixteen codes a row, each in a one-cell LCD so that code 0,
// which would end a caption, can be shown too. Returns the area it took.
QRect codeTable(QWidget *parent, TDotMatrix m, const char *name, int x0, int y0) {
    text(parent, QString::fromLatin1(name), x0, y0, 11);
    const lcd::CharRange range = lcd::charRange(m);
    const int firstRow = range.first / 16;
    const int lastRow = range.last / 16;
    int cellW = 0;
    int cellH = 0;
    const int top = y0 + 24;
    for (int code = firstRow * 16; code <= lastRow * 16 + 15; ++code) {
        const int row = code / 16 - firstRow;
        const int col = code % 16;
        if (code < range.first || code > range.last)
            continue;
        TLCDLabel *cell = makeLcd(parent, m, 1, 1, 0, 0);
        cell->SetBorderSpace(2);
        cell->SetBorderStyle(TMyBorder::frNone);
        cell->SetCaption(code == 0 ? QString() : QString(QChar(code)));
        cellW = cell->width() + 2;
        cellH = cell->height() + 2;
        cell->move(x0 + 24 + col * cellW, top + 14 + row * cellH);
    }
    for (int col = 0; col < 16; ++col)
        text(parent, QString::number(col, 16).toUpper(), x0 + 24 + col * cellW + cellW / 2 - 3, top,
             7);
    for (int row = 0; row <= lastRow - firstRow; ++row)
        text(parent, QStringLiteral("%1").arg((firstRow + row) * 16, 2, 16, QChar('0')).toUpper(),
             x0, top + 14 + row * cellH + cellH / 2 - 6, 7);
    return QRect(x0, y0, 24 + 16 * cellW, top + 14 + (lastRow - firstRow + 1) * cellH - y0);
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("controls.png");

    QWidget canvas;
    canvas.setAutoFillBackground(true);
    QPalette pal = canvas.palette();
    pal.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    canvas.setPalette(pal);

    // Code tables in columns.
    QRect r = codeTable(&canvas, TDotMatrix::Hitachi, "Hitachi", 10, 10);
    r = codeTable(&canvas, TDotMatrix::mat5x7, "mat5x7", 10, r.bottom() + 12);
    r = codeTable(&canvas, TDotMatrix::mat5x8, "mat5x8", 10, r.bottom() + 12);
    int bottom = r.bottom();
    r = codeTable(&canvas, TDotMatrix::dos5x7, "dos5x7", r.right() + 20, 10);
    r = codeTable(&canvas, TDotMatrix::Hitachi2, "Hitachi2", r.x(), r.bottom() + 12);
    bottom = std::max(bottom, r.bottom());
    r = codeTable(&canvas, TDotMatrix::mat7x9, "mat7x9", r.right() + 20, 10);
    r = codeTable(&canvas, TDotMatrix::mat9x12, "mat9x12", r.x(), r.bottom() + 12);
    bottom = std::max(bottom, r.bottom());

    // The virtual box's LCD: a pot screen and a bar-graph screen.
    int x = r.right() + 20;
    int y = 10;
    text(&canvas, QStringLiteral("virtual box LCD"), x, y, 11);
    y += 24;
    for (int screen = 0; screen < 2; ++screen) {
        auto *box = new TLCDLabel(&canvas);
        box->SetDotMatrix(TDotMatrix::Hitachi);
        box->SetPixelSize(TPixelSize::pix1x1);
        box->SetBorderSpace(6);
        box->SetTextLines(4);
        box->SetNoOfChars(16);
        box->SetBackGround(QColor(0, 0, 128));
        box->SetPixelOn(QColor(255, 255, 0));
        box->SetPixelOff(QColor(128, 0, 128));
        QString caption;
        if (screen == 0) {
            caption =
                QStringLiteral("Potmeter Moved  Knob ID : 37    Knob Nr : 3.6   Value   : 100   ");
        } else {
            for (int line = 0; line < 4; ++line) {
                for (int c = 0; c < 15; ++c)
                    caption += QChar(((c * 9 + line * 17) % 128 + 7) / 9 + 1);
                caption += QLatin1Char(' ');
            }
        }
        box->SetCaption(caption);
        box->move(x, y);
        y += box->height() + 8;
    }
    auto *hbars = makeLcd(&canvas, TDotMatrix::Hitachi, 11, 1, x, y);
    QString bars;
    for (int k = 0; k <= 10; ++k)
        bars += QChar(0xF0 + k);
    hbars->SetCaption(bars);
    y += hbars->height() + 16;

    // Dot shapes at a larger size, and the border styles.
    const struct {
        TPixelShape shape;
        const char *name;
    } shapes[] = {{TPixelShape::spSquare, "spSquare"},
                  {TPixelShape::spShaped, "spShaped"},
                  {TPixelShape::spRound, "spRound"}};
    for (const auto &s : shapes) {
        text(&canvas, QString::fromLatin1(s.name), x, y);
        auto *l = makeLcd(&canvas, TDotMatrix::Hitachi, 6, 1, x, y + 16);
        l->SetPixelSize(TPixelSize::pix4x4);
        l->SetPixelShape(s.shape);
        l->SetCaption(QStringLiteral("Ag8\x0f\xfa\xb1"));
        y += l->height() + 22;
    }
    const struct {
        TMyBorder border;
        const char *name;
    } borders[] = {{TMyBorder::frRaised, "frRaised"},
                   {TMyBorder::frLowered, "frLowered"},
                   {TMyBorder::frSingle, "frSingle (red)"},
                   {TMyBorder::frNone, "frNone"}};
    for (const auto &b : borders) {
        text(&canvas, QString::fromLatin1(b.name), x, y);
        auto *l = makeLcd(&canvas, TDotMatrix::mat5x7, 10, 1, x, y + 16);
        l->SetBorderStyle(b.border);
        l->SetBorderColor(Qt::red);
        l->SetCaption(QStringLiteral("Border %1").arg(int(b.border)));
        y += l->height() + 22;
    }
    text(&canvas, QStringLiteral("disabled"), x, y);
    auto *disabled = makeLcd(&canvas, TDotMatrix::mat5x7, 10, 1, x, y + 16);
    disabled->SetCaption(QStringLiteral("hidden"));
    disabled->setEnabled(false);
    y += disabled->height() + 22;

    // One sample line per font.
    const struct {
        TDotMatrix m;
        const char *name;
    } fonts[] = {{TDotMatrix::mat5x7, "mat5x7"},   {TDotMatrix::mat5x8, "mat5x8"},
                 {TDotMatrix::mat7x9, "mat7x9"},   {TDotMatrix::mat9x12, "mat9x12"},
                 {TDotMatrix::Hitachi, "Hitachi"}, {TDotMatrix::Hitachi2, "Hitachi2"},
                 {TDotMatrix::dos5x7, "dos5x7"}};
    for (const auto &f : fonts) {
        text(&canvas, QString::fromLatin1(f.name), x, y);
        auto *l = makeLcd(&canvas, f.m, 16, 1, x, y + 16);
        l->SetCaption(QStringLiteral("Jumpy fox: 42 gq"));
        y += l->height() + 22;
    }

    text(&canvas, QStringLiteral("knob at 0, 32, 64, 96, 127 of 0..127"), x, y);
    y += 18;
    int kx = x;
    for (int pos : {0, 32, 64, 96, 127}) {
        auto *knob = new TKnob(&canvas);
        knob->SetMin(0);
        knob->SetMax(127);
        knob->SetPosition(pos);
        knob->resize(48, 48);
        knob->move(kx, y);
        kx += 56;
    }
    y += 56;

    const int width = x + 440;
    const int height = std::max(bottom, y) + 10;
    canvas.resize(width, height);
    canvas.show();
    const QPixmap shot = canvas.grab();
    if (!shot.save(out)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("wrote %s (%d x %d)\n", qPrintable(out), shot.width(), shot.height());
    return 0;
}
