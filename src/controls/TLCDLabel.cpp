#include "TLCDLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFile>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace lcd = vkv::controls::lcd;

namespace {

TLCDLabel::ErrorHandler &errorHandler() {
    static TLCDLabel::ErrorHandler handler;
    return handler;
}

void showError(QWidget *parent, const QString &message) {
    if (const auto &handler = errorHandler()) {
        handler(parent, message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), message, QMessageBox::Ok,
                    parent);
    box.exec();
}

// Screen readers read the LCD as static text whose name is the caption.
class LcdAccessible : public QAccessibleWidget {
public:
    explicit LcdAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            const QString explicitName = widget()->accessibleName();
            return explicitName.isEmpty() ? static_cast<TLCDLabel *>(widget())->Caption()
                                          : explicitName;
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *lcdAccessibleFactory(const QString &className, QObject *object) {
    if (className == QLatin1String("TLCDLabel") && object && object->isWidgetType())
        return new LcdAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

void installAccessibleFactory() {
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(lcdAccessibleFactory);
        installed = true;
    }
}

} // namespace

void TLCDLabel::setErrorHandler(ErrorHandler handler) {
    errorHandler() = std::move(handler);
}

TLCDLabel::TLCDLabel(QWidget *owner) : QWidget(owner) {
    installAccessibleFactory();
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);                // OnMouseMove fires without a button held
    setAttribute(Qt::WA_OpaquePaintEvent); // every pixel is painted
    pixelOnHalf = QColor::fromRgba(lcd::halfColor(pixelOn.rgba()));
    // Size from the matrix: the current size is taken as already laid out.
    layout = lcd::sizeFromMatrix(layoutInput());
    lastWidth = layout.width;
    lastHeight = layout.height;
    resize(layout.width, layout.height);
    applyLayout();
}

TLCDLabel::~TLCDLabel() = default;

QSize TLCDLabel::sizeHint() const {
    return {layout.width, layout.height};
}

lcd::LayoutInput TLCDLabel::layoutInput() const {
    lcd::LayoutInput in;
    in.dotCols = dotCols;
    in.dotRows = dotRows;
    in.pixelSize = pixelSize;
    in.pixelWidth = pixelWidth;
    in.pixelHeight = pixelHeight;
    in.pixelSpacing = pixelSpacing;
    in.charSpacing = charSpacing;
    in.lineSpacing = lineSpacing;
    in.borderSpace = borderSpace;
    in.textLines = textLines;
    in.noOfChars = noOfChars;
    return in;
}

void TLCDLabel::applyLayout() {
    if (dotMatrix == TDotMatrix::CustomFont) {
        range = customFont.range();
        dotCols = customFont.cols();
        dotRows = customFont.rows();
    } else {
        range = lcd::charRange(dotMatrix);
        const lcd::MatrixSize m = lcd::matrixSize(dotMatrix);
        dotCols = m.cols;
        dotRows = m.rows;
    }
    const bool resized = width() != lastWidth || height() != lastHeight;
    layout = resized ? lcd::fitToSize(layoutInput(), width(), height())
                     : lcd::sizeFromMatrix(layoutInput());
    if (pixelSize != TPixelSize::pixCustom)
        pixelWidth = pixelHeight = layout.dotWidth;
    textLines = layout.textLines;
    noOfChars = layout.noOfChars;
    lastWidth = layout.width;
    lastHeight = layout.height;
    if (width() != layout.width || height() != layout.height) {
        resize(layout.width, layout.height);
        updateGeometry();
    }
}

void TLCDLabel::refresh() {
    applyLayout();
    update();
}

bool TLCDLabel::refuse(bool condition, const char *message) {
    if (condition)
        showError(this, QString::fromLatin1(message));
    return condition;
}

void TLCDLabel::SetCaption(const QString &value) {
    const QString text = value.left(lcd::MaxCaption);
    if (text == caption)
        return;
    caption = text;
    textBuffer = lcd::captionCodes(caption.toStdU16String());
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    refresh();
}

void TLCDLabel::SetDotMatrix(TDotMatrix value) {
    if (value == TDotMatrix::CustomFont) {
        // The font is read aside and takes over only when the file is usable, so a bad file
        // leaves whatever font was in force, a custom one included.
        const auto result = customFont.load(QFile::encodeName(fileName).toStdString());
        ++fontGeneration;
        if (result == lcd::CustomFontData::LoadResult::Ok ||
            result == lcd::CustomFontData::LoadResult::Truncated)
            dotMatrix = TDotMatrix::CustomFont;
        fontLoadResult = result;
    } else {
        dotMatrix = value;
    }
    refresh();
}

void TLCDLabel::Setfilename(const QString &value) {
    fileName = value;
    SetDotMatrix(TDotMatrix::CustomFont);
}

void TLCDLabel::SetPixelSize(TPixelSize value) {
    if (value == pixelSize)
        return;
    pixelSize = value;
    refresh();
}

void TLCDLabel::SetPixelShape(TPixelShape value) {
    if (value == pixelShape)
        return;
    pixelShape = value;
    refresh();
}

void TLCDLabel::SetBorderStyle(TMyBorder value) {
    if (value == borderStyle)
        return;
    borderStyle = value;
    refresh();
}

void TLCDLabel::SetBorderColor(const QColor &value) {
    if (value == borderColor)
        return;
    borderColor = value;
    refresh();
}

void TLCDLabel::SetBackGround(const QColor &value) {
    if (value == backGround)
        return;
    backGround = value;
    refresh();
}

void TLCDLabel::SetPixelOff(const QColor &value) {
    if (value == pixelOff)
        return;
    pixelOff = value;
    refresh();
}

void TLCDLabel::SetPixelOn(const QColor &value) {
    if (value == pixelOn)
        return;
    pixelOn = value;
    pixelOnHalf = QColor::fromRgba(lcd::halfColor(pixelOn.rgba()));
    refresh();
}

void TLCDLabel::SetPixelSpacing(int value) {
    if (refuse(value < 0, "Pixel spacing can't be less than zero!") || value == pixelSpacing)
        return;
    pixelSpacing = value;
    refresh();
}

void TLCDLabel::SetCharSpacing(int value) {
    if (refuse(value < 0, "Character spacing can't be less than zero!") || value == charSpacing)
        return;
    charSpacing = value;
    refresh();
}

void TLCDLabel::SetLineSpacing(int value) {
    if (refuse(value < 0, "Line spacing can't be less than zero!") || value == lineSpacing)
        return;
    lineSpacing = value;
    refresh();
}

void TLCDLabel::SetBorderSpace(int value) {
    if (refuse(value < 0, "Border spacing can't be less than zero!") || value == borderSpace)
        return;
    borderSpace = value;
    refresh();
}

void TLCDLabel::SetTextLines(int value) {
    if (refuse(value <= 0, "Display needs at least on line!") || value == textLines)
        return;
    textLines = value;
    refresh();
}

void TLCDLabel::SetNoOfChars(int value) {
    if (refuse(value <= 0, "Display needs at least one character!") || value == noOfChars)
        return;
    noOfChars = value;
    refresh();
}

void TLCDLabel::SetPixelWidth(int value) {
    if (pixelSize != TPixelSize::pixCustom || value == pixelWidth)
        return;
    if (refuse(value <= 0, "Display pixel width must be 1 or greater!"))
        return;
    pixelWidth = value;
    refresh();
}

void TLCDLabel::SetPixelHeight(int value) {
    if (pixelSize != TPixelSize::pixCustom || value == pixelHeight)
        return;
    if (refuse(value <= 0, "Display pixel height must be 1 or greate!"))
        return;
    pixelHeight = value;
    refresh();
}

void TLCDLabel::SetHint(const QString &value) {
    hint = value;
    setToolTip(showHint ? hint : QString());
}

void TLCDLabel::SetShowHint(bool value) {
    showHint = value;
    setToolTip(showHint ? hint : QString());
}

void TLCDLabel::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (width() != lastWidth || height() != lastHeight)
        applyLayout(); // resized from outside: fit the cells and snap to their size
}

void TLCDLabel::changeEvent(QEvent *event) {
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}

bool TLCDLabel::dotLit(int code, int row, int col) const {
    if (dotMatrix == TDotMatrix::CustomFont)
        return customFont.dotLit(code, row, col);
    return lcd::builtinDotLit(dotMatrix, code, row, col);
}

TLCDLabel::CellStyle TLCDLabel::cellStyle() const {
    return {layout.dotWidth,
            layout.dotHeight,
            pixelSpacing,
            dotCols,
            dotRows,
            static_cast<int>(dotMatrix),
            static_cast<int>(pixelShape),
            static_cast<int>(pixelSize),
            pixelOn.rgba(),
            pixelOff.rgba(),
            pixelOnHalf.rgba(),
            fontGeneration};
}

const QImage *TLCDLabel::cachedCell(int code) const {
    const CellStyle style = cellStyle();
    if (!(style == cachedStyle)) {
        cellCache.clear();
        cachedStyle = style;
    }
    const long long w =
        (long long)(dotCols - 1) * ((long long)layout.dotWidth + pixelSpacing) + layout.dotWidth;
    const long long h =
        (long long)(dotRows - 1) * ((long long)layout.dotHeight + pixelSpacing) + layout.dotHeight;
    constexpr long long LargestCell = 256 * 256;
    if (w <= 0 || h <= 0 || w > LargestCell || h > LargestCell || w * h > LargestCell)
        return nullptr;
    auto found = cellCache.find(code);
    if (found == cellCache.end()) {
        QImage cell(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
        cell.fill(Qt::transparent);
        QPainter painter(&cell);
        painter.setPen(Qt::NoPen);
        drawCell(painter, {0, 0}, code);
        found = cellCache.emplace(code, std::move(cell)).first;
    }
    return &found->second;
}

void TLCDLabel::paintCell(QPainter &p, lcd::Point origin, int code) const {
    if (const QImage *cell = cachedCell(code)) {
        p.drawImage(origin.x, origin.y, *cell);
        return;
    }
    drawCell(p, origin, code);
}

void TLCDLabel::drawCell(QPainter &p, lcd::Point origin, int code) const {
    const bool single = pixelSize == TPixelSize::pix1x1;
    const lcd::LayoutInput in = layoutInput();
    for (int row = 0; row < dotRows; ++row) {
        for (int col = 0; col < dotCols; ++col) {
            const lcd::Point d = lcd::dotOrigin(layout, in, origin, row, col);
            const QRect box(d.x, d.y, layout.dotWidth, layout.dotHeight);
            const bool lit = dotLit(code, row, col);
            const QColor &colour = lit ? pixelOn : pixelOff;
            if (single || pixelShape == TPixelShape::spSquare) {
                p.fillRect(box, colour);
            } else if (pixelShape == TPixelShape::spShaped && !lit) {
                p.fillRect(box, pixelOff);
            } else {
                if (pixelShape == TPixelShape::spShaped)
                    p.fillRect(box, pixelOnHalf);
                // Brush only and no antialiasing, so the dot stays inside its box.
                p.setBrush(colour);
                p.drawEllipse(QRectF(box));
            }
        }
    }
}

void TLCDLabel::paintEvent(QPaintEvent *event) {
    QPainter p(this);
    const int w = width();
    const int h = height();
    p.fillRect(0, 0, w, h, backGround);

    if (borderStyle != TMyBorder::frNone) {
        const QColor highlight = palette().color(QPalette::Light); // the 3-D light edge
        const QColor shadow = palette().color(QPalette::Dark);     // the 3-D dark edge
        const QColor frame = borderStyle == TMyBorder::frRaised    ? shadow
                             : borderStyle == TMyBorder::frLowered ? highlight
                                                                   : borderColor;
        p.setPen(QPen(frame, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, w - 1, h - 1);
        if (borderStyle != TMyBorder::frSingle) {
            p.setPen(QPen(borderStyle == TMyBorder::frRaised ? highlight : shadow, 0));
            const QPoint edge[] = {{w - 1, 0}, {0, 0}, {0, h - 1}};
            p.drawPolyline(edge, 3);
        }
    }

    if (!isEnabled())
        return; // a disabled LCD shows background and border only

    p.setPen(Qt::NoPen);
    // Only the cells that meet the area to repaint: a huge grid costs no more than it shows.
    const QRect area = event->rect();
    const long long x0 = borderSpace + 1LL;
    const long long y0 = borderSpace + 1LL;
    const long long pitchX = std::max(1LL, (long long)layout.charWidth + charSpacing);
    const long long pitchY = std::max(1LL, (long long)layout.charHeight + lineSpacing);
    const long long firstCol = std::max(0LL, (area.left() - x0) / pitchX);
    const long long lastCol = std::min<long long>(noOfChars - 1, (area.right() - x0) / pitchX);
    const long long firstLine = std::max(0LL, (area.top() - y0) / pitchY);
    const long long lastLine = std::min<long long>(textLines - 1, (area.bottom() - y0) / pitchY);
    if (area.right() < x0 || area.bottom() < y0)
        return;
    const lcd::LayoutInput in = layoutInput();
    for (long long line = firstLine; line <= lastLine; ++line) {
        for (long long col = firstCol; col <= lastCol; ++col) {
            const int code = lcd::cellCode(textBuffer, line * noOfChars + col, range);
            paintCell(p, lcd::cellOrigin(layout, in, int(line), int(col)), code);
        }
    }
}

void TLCDLabel::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton)
        leftPressed = true;
    if (OnMouseDown) {
        const QPoint pos = event->position().toPoint();
        OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
    }
}

void TLCDLabel::mouseReleaseEvent(QMouseEvent *event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && leftPressed) {
        leftPressed = false;
        if (rect().contains(pos) && OnClick)
            OnClick(this);
    }
    if (OnMouseUp)
        OnMouseUp(this, event->button(), event->modifiers(), pos.x(), pos.y());
}

void TLCDLabel::mouseDoubleClickEvent(QMouseEvent *event) {
    // The second press of a double click raises OnDblClick instead of arming another click.
    leftPressed = false;
    if (event->button() == Qt::LeftButton && OnDblClick)
        OnDblClick(this);
    if (OnMouseDown) {
        const QPoint pos = event->position().toPoint();
        OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
    }
}

void TLCDLabel::mouseMoveEvent(QMouseEvent *event) {
    if (OnMouseMove) {
        const QPoint pos = event->position().toPoint();
        OnMouseMove(this, event->modifiers(), pos.x(), pos.y());
    }
}
