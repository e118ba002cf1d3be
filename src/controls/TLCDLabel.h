#pragma once

#include "LcdLayout.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <unordered_map>

#include <functional>
#include <string>

// A character LCD drawn as dots: TextLines lines of NoOfChars cells, each cell a glyph of a
// built-in font or a custom font file. Its size follows from the matrix and spacings; resized
// from outside, it fits as many cells as the new size allows and snaps to their exact size.
// Takes no focus. Its caption is its accessible name.
class TLCDLabel : public QWidget {
    Q_OBJECT

public:
    explicit TLCDLabel(QWidget *owner = nullptr);
    ~TLCDLabel() override;

    // Refused property values are reported through this hook (parent, message text). By default
    // it shows a modal error box with one OK button; tests replace it so nothing blocks.
    using ErrorHandler = std::function<void(QWidget *parent, const QString &message)>;
    static void setErrorHandler(ErrorHandler handler); // an empty handler restores the default

    // At most 255 characters; longer texts are cut. Cells show Latin-1 codes; a NUL ends the text.
    QString Caption() const { return caption; }
    void SetCaption(const QString &value);

    TDotMatrix DotMatrix() const { return dotMatrix; }
    void SetDotMatrix(TDotMatrix value);
    TPixelSize PixelSize() const { return pixelSize; }
    void SetPixelSize(TPixelSize value);
    int PixelSpacing() const { return pixelSpacing; }
    void SetPixelSpacing(int value);
    TPixelShape PixelShape() const { return pixelShape; }
    void SetPixelShape(TPixelShape value);
    // Used only with pixCustom; otherwise they follow PixelSize.
    int PixelWidth() const { return pixelWidth; }
    void SetPixelWidth(int value);
    int PixelHeight() const { return pixelHeight; }
    void SetPixelHeight(int value);
    int CharSpacing() const { return charSpacing; }
    void SetCharSpacing(int value);
    int LineSpacing() const { return lineSpacing; }
    void SetLineSpacing(int value);
    int BorderSpace() const { return borderSpace; }
    void SetBorderSpace(int value);
    int TextLines() const { return textLines; }
    void SetTextLines(int value);
    int NoOfChars() const { return noOfChars; }
    void SetNoOfChars(int value);
    QColor BackGround() const { return backGround; }
    void SetBackGround(const QColor &value);
    TMyBorder BorderStyle() const { return borderStyle; }
    void SetBorderStyle(TMyBorder value);
    QColor BorderColor() const { return borderColor; }
    void SetBorderColor(const QColor &value);
    QColor PixelOn() const { return pixelOn; }
    void SetPixelOn(const QColor &value);
    QColor PixelOff() const { return pixelOff; }
    void SetPixelOff(const QColor &value);
    // Path of a custom font file; setting it selects CustomFont and loads the file.
    QString filename() const { return fileName; }
    void Setfilename(const QString &value);

    // The tool tip text, shown only while ShowHint is true.
    QString Hint() const { return hint; }
    void SetHint(const QString &value);
    bool ShowHint() const { return showHint; }
    void SetShowHint(bool value);

    // Layout results, read-only.
    int CharWidth() const { return layout.charWidth; }
    int CharHeight() const { return layout.charHeight; }
    int DotCols() const { return dotCols; }
    int DotRows() const { return dotRows; }
    int FirstChar() const { return range.first; }
    int LastChar() const { return range.last; }
    QColor PixelOnHalf() const { return pixelOnHalf; }
    // How the latest custom font file load went; a truncated file is in force with the glyphs
    // read so far.
    vkv::controls::lcd::CustomFontData::LoadResult FontLoadResult() const { return fontLoadResult; }

    int Tag = 0;

    // Raised on a left click (press and release over the control) and on a double click.
    std::function<void(QObject *sender)> OnClick;
    std::function<void(QObject *sender)> OnDblClick;
    std::function<void(QObject *sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                       int y)>
        OnMouseDown;
    std::function<void(QObject *sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                       int y)>
        OnMouseUp;
    std::function<void(QObject *sender, Qt::KeyboardModifiers shift, int x, int y)> OnMouseMove;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    // Lays the control out again (fitting it if someone changed its size) and schedules a paint.
    void refresh();
    void applyLayout();
    vkv::controls::lcd::LayoutInput layoutInput() const;
    bool refuse(bool condition, const char *message);
    bool dotLit(int code, int row, int col) const;
    void paintCell(class QPainter &p, vkv::controls::lcd::Point origin, int code) const;
    void drawCell(class QPainter &p, vkv::controls::lcd::Point origin, int code) const;

    // Everything a cell's picture depends on but its code: when it changes, the pictures of the
    // cells drawn so far are drawn again.
    struct CellStyle {
        int dotWidth = 0, dotHeight = 0, pixelSpacing = 0, dotCols = 0, dotRows = 0;
        int matrix = 0, shape = 0, size = 0;
        QRgb on = 0, off = 0, half = 0;
        unsigned fontGeneration = 0;
        bool operator==(const CellStyle &) const = default;
    };
    CellStyle cellStyle() const;
    // The picture of a cell showing `code`, drawn once and kept: a caption that changes with
    // every knob turn then costs a copy per cell, not a rectangle per dot. Null for cells too
    // large to keep, which are drawn dot by dot.
    const QImage *cachedCell(int code) const;

    QString caption;
    std::string textBuffer; // the caption as 8-bit codes
    TDotMatrix dotMatrix = TDotMatrix::mat5x7;
    TPixelSize pixelSize = TPixelSize::pix2x2;
    int pixelSpacing = 1;
    TPixelShape pixelShape = TPixelShape::spSquare;
    int pixelWidth = 2;
    int pixelHeight = 2;
    int charSpacing = 2;
    int lineSpacing = 2;
    int borderSpace = 3;
    int textLines = 1;
    int noOfChars = 10;
    QColor backGround{0xC0, 0xC0, 0xC0};
    TMyBorder borderStyle = TMyBorder::frLowered;
    QColor borderColor{Qt::black};
    QColor pixelOn{Qt::black};
    QColor pixelOff{0xAA, 0xAA, 0xAA};
    QColor pixelOnHalf{Qt::black};
    QString fileName;
    QString hint;
    bool showHint = false;

    int lastWidth = 0;
    int lastHeight = 0;
    int dotCols = 5;
    int dotRows = 7;
    vkv::controls::lcd::CharRange range{32, 126};
    vkv::controls::lcd::Layout layout;
    vkv::controls::lcd::CustomFontData customFont;
    vkv::controls::lcd::CustomFontData::LoadResult fontLoadResult =
        vkv::controls::lcd::CustomFontData::LoadResult::NotLoaded;
    bool leftPressed = false;
    unsigned fontGeneration = 0; // counts the custom fonts taken in
    mutable CellStyle cachedStyle;
    mutable std::unordered_map<int, QImage> cellCache;
};
