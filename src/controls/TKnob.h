#pragma once

#include <QColor>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

// A rotary knob: a round face with a short pointer, turned with the mouse or the keys. Its value
// Position lies between Min and Max; every setting of position or range raises OnChange, even
// one that changes nothing, because the virtual box sends a pot event for each. Min may lie
// above Max: the knob then runs backwards.
class TKnob : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Min READ Min WRITE SetMin)
    Q_PROPERTY(int Max READ Max WRITE SetMax)
    Q_PROPERTY(int Position READ Position WRITE SetPosition)
    Q_PROPERTY(bool SpringLoaded READ SpringLoaded WRITE SetSpringLoaded)
    Q_PROPERTY(quint16 PageSize READ PageSize WRITE SetPageSize)
    Q_PROPERTY(QColor LineColor READ LineColor WRITE SetLineColor)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    using NotifyEvent = std::function<void(TKnob *sender)>;
    using MouseEvent = std::function<void(TKnob *sender, Qt::MouseButton button,
                                          Qt::KeyboardModifiers shift, int x, int y)>;

    explicit TKnob(QWidget *owner = nullptr);

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    QLabel *PositionLabel() const { return positionLabel_; }
    bool SpringLoaded() const { return springLoaded_; }
    std::uint16_t PageSize() const { return pageSize_; }
    // The pointer colour; until one is set, the palette's highlight colour.
    QColor LineColor() const;
    QString Caption() const { return caption_; }
    // Pointer angle of Position in degrees: 240 at the Min end, 90 up, -60 at the Max end.
    int Angle() const { return angle_; }

    void SetPosition(int v) { SetParams(v, min_, max_); }
    void SetMin(int v) { SetParams(position_, v, max_); }
    void SetMax(int v) { SetParams(position_, min_, v); }
    // Turning spring loading on also returns the knob to 0.
    void SetSpringLoaded(bool b);
    void SetPageSize(std::uint16_t n) { pageSize_ = n; }
    // The button face colour is refused: the face would hide the pointer.
    void SetLineColor(const QColor &k);
    // The label shows "<value> <caption>"; the knob forgets it when it is destroyed.
    void SetPositionLabel(QLabel *label);
    void SetCaption(const QString &text);

    void setVisible(bool visible) override;
    QSize sizeHint() const override { return {40, 40}; }

    NotifyEvent OnChange;
    // Raised on every mouse press, whatever button and wherever on the control, after the knob's
    // own handling; the owner uses the right button for its own actions.
    MouseEvent OnMouseDown;
    int Tag = 0;

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    // The one path through which value and range change.
    void SetParams(int pos, int min, int max);
    void writeLabel(int value);
    int valueUnderMouse() const;

    int min_ = 0;
    int max_ = 127;
    int position_ = 0;
    QPointer<QLabel> positionLabel_;
    bool springLoaded_ = false;
    std::uint16_t pageSize_ = 10;
    QColor lineColor_; // invalid: follow the palette's highlight colour
    QString caption_;

    int side_ = 0;
    int radius_ = 20;
    float scale_ = 0.0f;
    int angle_ = 240;
    int mouseAngle_ = 0;
    bool dragging_ = false;
};
