#include "ConfigurationSheet.h"

#include "Conflicts.h"
#include "RecordWords.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <array>

namespace vkv::sheet {

namespace {

using records::RecordId;
using records::RecordWords;

// The program's own teal: the ranges, the rules and the marks.
const QColor Accent(0, 128, 128);
constexpr double MarginMm = 10;

// Sizes in points; the painting converts them to the device's units.
constexpr double HeaderHeight = 28;
constexpr double FooterHeight = 20;
constexpr double BankGap = 4;
constexpr double TitleHeight = 13;
constexpr double PotRowHeight = 40;
constexpr double KnobSize = 16;
constexpr double ButtonSize = 12;
constexpr double WordsPoints = 8;
constexpr double DetailPoints = ConfigurationSheet::SmallestPoints;

// The number of each record's group of records that send the same message, 0 for none.
using Marks = std::array<int, records::RecordCount>;

Marks marksOf(const image::ConfigImage &image) {
    Marks marks{};
    int group = 0;
    for (const records::Conflicts::Group &g : records::Conflicts::find(image)) {
        ++group;
        for (const RecordId record : g.records)
            marks[static_cast<std::size_t>(record.order())] = group;
    }
    return marks;
}

// A painter that works in points on a device of any resolution, and sets text no smaller than the
// sheet allows.
class Canvas {
public:
    Canvas(QPainter &painter, double unit) : p(painter), unit(unit) {
        font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                          QStringLiteral("Arial")});
        font.setStyleHint(QFont::SansSerif);
    }

    QRectF box(double x, double y, double w, double h) const {
        return {x * unit, y * unit, w * unit, h * unit};
    }
    void pen(const QColor &colour, double points) {
        QPen line(colour, points * unit);
        line.setCapStyle(Qt::RoundCap);
        p.setPen(line);
        p.setBrush(Qt::NoBrush);
    }
    void line(double x1, double y1, double x2, double y2) {
        p.drawLine(QPointF(x1 * unit, y1 * unit), QPointF(x2 * unit, y2 * unit));
    }
    // `text` in the box, at `points` or smaller (never below the smallest size) until it fits,
    // then shortened. Returns the width it took, in points.
    double text(double x, double y, double w, double h, const QString &text, double points,
                int align, bool bold = false) {
        if (text.isEmpty())
            return 0;
        QFont f = font;
        f.setBold(bold);
        const double width = w * unit;
        for (double size = points;; size -= 0.5) {
            f.setPointSizeF(std::max(size, ConfigurationSheet::SmallestPoints));
            const QFontMetricsF metrics(f, p.device());
            const double needed = metrics.horizontalAdvance(text);
            if (needed <= width || size <= ConfigurationSheet::SmallestPoints) {
                p.setFont(f);
                p.setPen(Qt::black);
                const QString shown = metrics.elidedText(text, Qt::ElideRight, width);
                p.drawText(box(x, y, w, h), align | Qt::TextSingleLine, shown);
                return std::min(needed, width) / unit;
            }
        }
    }
    // The mark of a group of records that send the same message: its number in an outlined box,
    // from `left`. Returns its width.
    double mark(double left, double top, int group) {
        const QString number = QString::number(group);
        QFont f = font;
        f.setBold(true);
        f.setPointSizeF(ConfigurationSheet::SmallestPoints);
        const double w = QFontMetricsF(f, p.device()).horizontalAdvance(number) / unit + 4;
        pen(Accent, 0.9);
        p.drawRoundedRect(box(left, top, w, 9), 1.5 * unit, 1.5 * unit);
        text(left, top, w, 9, number, ConfigurationSheet::SmallestPoints, Qt::AlignCenter, true);
        return w;
    }
    // A knob: its outline, its number in the bank and the arc of the values it sends.
    void knob(double cx, double cy, int number, int min, int max) {
        const double r = KnobSize / 2;
        pen(Qt::black, 0.7);
        p.drawEllipse(QPointF(cx * unit, cy * unit), r * unit, r * unit);
        // 0 at the lower left, 127 at the lower right, as a knob turns.
        const auto angle = [](int value) { return 225.0 - 270.0 * std::min(value, 127) / 127.0; };
        const double a = r + 2.2;
        pen(Accent, 1.6);
        const double from = angle(std::min(min, max));
        const double span = angle(std::max(min, max)) - from;
        p.drawArc(box(cx - a, cy - a, 2 * a, 2 * a), static_cast<int>(from * 16),
                  static_cast<int>(std::min(span, -1.0) * 16));
        text(cx - r, cy - r, 2 * r, 2 * r, QString::number(number), DetailPoints, Qt::AlignCenter);
    }
    void button(double x, double y, int number) {
        pen(Qt::black, 0.7);
        p.drawRoundedRect(box(x, y, ButtonSize, ButtonSize), 2 * unit, 2 * unit);
        text(x, y, ButtonSize, ButtonSize, QString::number(number), DetailPoints, Qt::AlignCenter);
    }

private:
    QPainter &p;
    double unit; // device units a point
    QFont font;
};

void pot(Canvas &c, const image::ConfigImage &image, const Marks &marks, int index, double x,
         double y, double w) {
    const RecordId record{true, index};
    const auto bytes = RecordWords::bytes(image, record);
    const double cx = x + w / 2;
    c.knob(cx, y + 1 + KnobSize / 2, record.number(), bytes[2], bytes[3]);
    if (const int group = marks[static_cast<std::size_t>(record.order())])
        c.mark(cx + KnobSize / 2 + 4, y, group);
    c.text(x + 1, y + KnobSize + 2, w - 2, 10, RecordWords::brief(bytes), WordsPoints,
           Qt::AlignHCenter | Qt::AlignTop);
    c.text(x + 1, y + KnobSize + 12, w - 2, 9, RecordWords::range(bytes), DetailPoints,
           Qt::AlignHCenter | Qt::AlignTop);
}

void button(Canvas &c, const image::ConfigImage &image, const Marks &marks, int index, double x,
            double y, double w) {
    const RecordId record{false, index};
    const auto bytes = RecordWords::bytes(image, record);
    c.button(x + 2, y, record.number());
    const double tx = x + ButtonSize + 5;
    const double tw = w - ButtonSize - 6;
    c.text(tx, y, tw, 11, RecordWords::brief(bytes), WordsPoints, Qt::AlignLeft | Qt::AlignTop);
    // The mark under the button, so the words keep the cell's width; the line beside it after it.
    double second = tx;
    if (const int group = marks[static_cast<std::size_t>(record.order())])
        second = std::max(tx, x + 2 + c.mark(x + 2, y + ButtonSize + 1.5, group) + 3);
    const QString value = RecordWords::buttonValue(bytes);
    const QString mode = RecordWords::text(bytes, record, RecordWords::Column::Mode);
    c.text(second, y + 11, x + w - 1 - second, 10,
           value.isEmpty() ? mode : value + QStringLiteral(", ") + mode, DetailPoints,
           Qt::AlignLeft | Qt::AlignTop);
}

void bank(Canvas &c, const image::ConfigImage &image, const Marks &marks, int bank, double x,
          double y, double w, double h) {
    const double titleWidth = c.text(x, y, w, TitleHeight, QStringLiteral("Bank %1").arg(bank),
                                     10.5, Qt::AlignLeft | Qt::AlignTop, true);
    c.pen(Accent, 0.8);
    c.line(x + titleWidth + 6, y + 7, x + w, y + 7);
    const double column = w / 8;
    const double top = y + TitleHeight;
    for (int k = 0; k < image::PotsPerBank; ++k)
        pot(c, image, marks, image::potFromBank(bank, k + 1), x + column * (k % 8),
            top + PotRowHeight * (k / 8), column);
    const double buttonsTop = top + 2 * PotRowHeight;
    for (int k = 0; k < image::ButtonsPerBank; ++k)
        button(c, image, marks, image::buttonFromBank(bank, k + 1), x + column * k, buttonsTop,
               column);
    (void)h;
}

void page(Canvas &c, const image::ConfigImage &image, const Marks &marks,
          const ConfigurationSheet::Heading &heading, int number, double w, double h) {
    const QString name =
        heading.name.isEmpty() ? QStringLiteral("Unnamed configuration") : heading.name;
    const QString printed =
        QStringLiteral("Printed %1 by %2").arg(heading.date.toString(Qt::ISODate), heading.program);
    const double printedWidth =
        c.text(w / 2, 0, w / 2, 18, printed, WordsPoints, Qt::AlignRight | Qt::AlignBottom);
    c.text(0, 0, w - printedWidth - 12, 18, name, 14, Qt::AlignLeft | Qt::AlignBottom, true);
    c.pen(Accent, 1.2);
    c.line(0, 22, w, 22);

    const double bodyTop = HeaderHeight;
    const double blockHeight =
        (h - HeaderHeight - FooterHeight - BankGap * (ConfigurationSheet::BanksPerPage - 1)) /
        ConfigurationSheet::BanksPerPage;
    for (int i = 0; i < ConfigurationSheet::BanksPerPage; ++i)
        bank(c, image, marks, number * ConfigurationSheet::BanksPerPage + i + 1, 0,
             bodyTop + i * (blockHeight + BankGap), w, blockHeight);

    const double footer = h - FooterHeight + 6;
    c.pen(Accent, 0.8);
    c.line(0, footer, w, footer);
    c.mark(0, footer + 5, 1);
    c.text(13, footer + 4, w - 90, 10,
           QStringLiteral("Records marked with the same number send the same message (type, "
                          "channel and number): what receives them cannot tell them apart. The "
                          "arc round a knob: the values it sends."),
           DetailPoints, Qt::AlignLeft | Qt::AlignTop);
    c.text(w - 80, footer + 4, 80, 10,
           QStringLiteral("Page %1 of %2").arg(number + 1).arg(ConfigurationSheet::PageCount),
           WordsPoints, Qt::AlignRight | Qt::AlignTop);
}

} // namespace

bool ConfigurationSheet::paint(QPagedPaintDevice &device, const image::ConfigImage &image,
                               const Heading &heading) {
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    const double unit = device.logicalDpiY() / 72.0;
    Canvas canvas(painter, unit);
    const Marks marks = marksOf(image);
    const double w = device.width() / unit;
    const double h = device.height() / unit;
    for (int number = 0; number < PageCount; ++number) {
        if (number > 0 && !device.newPage())
            return false;
        page(canvas, image, marks, heading, number, w, h);
    }
    return painter.end();
}

QByteArray ConfigurationSheet::pdf(const image::ConfigImage &image, const Heading &heading,
                                   QPageSize::PageSizeId size) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(size), QPageLayout::Landscape,
                                         QMarginsF(MarginMm, MarginMm, MarginMm, MarginMm),
                                         QPageLayout::Millimeter));
        writer.setTitle(heading.name);
        writer.setCreator(heading.program);
        if (!paint(writer, image, heading))
            return {};
    }
    return bytes;
}

} // namespace vkv::sheet
