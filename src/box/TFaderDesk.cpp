#include "TFaderDesk.h"

#include "FormFont.h"
#include "OemText.h"
#include "PotEditor.h"
#include "TKnob.h"
#include "TLCDLabel.h"
#include "UndoKeys.h"
#include "ui_TFaderDesk.h"

#include <QEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {

// Controls built at run time carry a tag of 0 or more; the stored ones carry negative tags.
int tagOf(QObject *object) {
    if (auto *knob = qobject_cast<TKnob *>(object))
        return knob->Tag;
    if (auto *lcd = qobject_cast<TLCDLabel *>(object))
        return lcd->Tag;
    const QVariant tag = object->property("Tag");
    return tag.isValid() ? tag.toInt() : 0;
}

// The plain panel's "Terminal" font: a PC-ROM face when installed, else the system's fixed font.
QFont terminalFont() {
    QFont font = QFontDatabase::families().contains("Px IBM VGA8")
                     ? QFont("Px IBM VGA8")
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// Turns clicks on the plain panel and its labels into one handler call.
class ClickFilter : public QObject {
public:
    ClickFilter(QObject *parent, std::function<void(QObject *)> onClick)
        : QObject(parent), onClick(std::move(onClick)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            auto *widget = qobject_cast<QWidget *>(watched);
            if (widget &&
                widget->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint()))
                onClick(watched);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(QObject *)> onClick;
};

} // namespace

TFaderDesk::TFaderDesk(const vkv::image::ConfigImage &image, vkv::box::BoxEngine::PutFunction put,
                       QWidget *parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TFaderDesk>()),
      boxEngine(image, lcdLines) {
    setFont(vkv::controls::formFont());
    ui->setupUi(this);
    ui->Label1->adjustSize(); // the hint keeps its whole text whatever the desktop font
    boxEngine.setOutput(std::move(put));
    lcdLines.refresh = [this] { refreshPresentation(); };

    const QFont terminal = terminalFont();
    for (QLabel *line : {ui->LCDLine0, ui->LCDLine1, ui->LCDLine2, ui->LCDLine3})
        line->setFont(terminal);

    TLCDLabel *lcd = ui->BackLightLCDPanel;
    lcd->Tag = -10;
    lcd->SetDotMatrix(TDotMatrix::Hitachi);
    lcd->SetPixelSize(TPixelSize::pix1x1);
    lcd->SetPixelSpacing(1);
    lcd->SetPixelWidth(1);
    lcd->SetPixelHeight(1);
    lcd->SetCharSpacing(2);
    lcd->SetLineSpacing(2);
    lcd->SetBorderSpace(6);
    lcd->SetTextLines(4);
    lcd->SetNoOfChars(16);
    lcd->SetBackGround(QColor(0, 0, 128));
    lcd->SetPixelOn(QColor(255, 255, 0));
    lcd->SetPixelOff(QColor(128, 0, 128));
    lcd->hide();
    ui->LCDPanel->show();
}

TFaderDesk::~TFaderDesk() = default;

void TFaderDesk::ShowFaderDeskClick() {
    hide();
    ClearVirtualBox();
    BuildVirtualBox();
    LoadPotsToKnobs();
    show();
    raise();
    activateWindow();
    ShowReadyScreen();
}

void TFaderDesk::BuildVirtualBox() {
    BuildKnobs();
    BuildBankButtons();
    InitLCD();
    boxEngine.finishBuild();
}

void TFaderDesk::BuildKnobs() {
    const int n = KnobCount;
    resize(2 * KnobLeft + KnobPitchX * KnobColumns,
           ((KnobColumns + n - 1) / KnobColumns) * KnobPitchY + KnobTop + BottomMargin);
    for (int k = 0; k < n && k < MaxKnobs; ++k) {
        const int left = (k % KnobColumns) * KnobPitchX + KnobLeft;
        const int top = (k / KnobColumns) * KnobPitchY + KnobTop;

        auto *label = new QLabel(QStringLiteral("0"), this);
        label->setProperty("Tag", k);
        label->setGeometry(left, top + LabelOffset, KnobWidth, 20);
        label->show();

        auto *knob = new TKnob(this);
        knobs[k] = knob;
        knob->Tag = k;
        knob->setObjectName(QStringLiteral("Knob%1").arg(k));
        knob->setToolTip(QString::number(k));
        knob->SetCaption(QString());
        knob->setGeometry(left, top, KnobWidth, KnobHeight);
        knob->OnChange = [this](TKnob *sender) { KnobChange(sender); };
        knob->OnMouseDown = [this](TKnob *sender, Qt::MouseButton button, Qt::KeyboardModifiers,
                                   int, int) { KnobEdit(sender, button); };
        knob->SetPositionLabel(label);
        knob->show();
    }
}

void TFaderDesk::BuildBankButtons() {
    const struct {
        const char *caption;
        int tag;
        int top;
    } buttons[] = {{"Bank +", vkv::box::BoxEngine::BankUpTag, 32},
                   {"Bank -", vkv::box::BoxEngine::BankDownTag, 64}};
    for (const auto &b : buttons) {
        auto *button = new QPushButton(QString::fromLatin1(b.caption), this);
        button->setProperty("Tag", b.tag);
        button->setGeometry(25, b.top, 100, 25);
        connect(button, &QPushButton::clicked, this, [this, button] { SpecialButtPush(button); });
        button->show();
    }
}

void TFaderDesk::ClearVirtualBox() {
    const QObjectList children = this->children();
    for (QObject *child : children) {
        if (child->isWidgetType() && tagOf(child) >= 0)
            delete child;
    }
    knobs.fill(nullptr);
}

void TFaderDesk::LoadPotsToKnobs() {
    for (int k = 0; k < KnobCount && k < MaxKnobs; ++k) {
        TKnob *knob = knobs[k];
        if (!knob)
            continue;
        const vkv::box::BoxEngine::KnobLoad load = boxEngine.knobLoad(k);
        knob->setToolTip(QString::fromStdString(load.hint));
        knob->SetPosition(load.position);
        knob->SetMin(load.min);
        knob->SetMax(load.max);
    }
}

void TFaderDesk::ShowReadyScreen() {
    boxEngine.ShowReadyScreen();
}

void TFaderDesk::KnobChange(TKnob *sender) {
    boxEngine.KnobChange(sender->Tag, sender->Position());
}

void TFaderDesk::KnobEdit(TKnob *sender, Qt::MouseButton button) {
    if (button != Qt::RightButton || !potEditor)
        return;
    potEditor->editPot(boxEngine.potIdForKnob(sender->Tag));
}

void TFaderDesk::keyPressEvent(QKeyEvent *event) {
    // A knob or a bank button with the focus leaves these keys to the window.
    const vkv::controls::UndoKey key = vkv::controls::undoKey(event->key(), event->modifiers());
    if (key == vkv::controls::UndoKey::None || !potEditor) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (key == vkv::controls::UndoKey::Undo)
        potEditor->undoChange();
    else
        potEditor->redoChange();
}

void TFaderDesk::SpecialButtPush(QPushButton *sender) {
    boxEngine.SpecialButtPush(tagOf(sender));
}

// LCD presentations and display modes.

void TFaderDesk::InitLCD() {
    ui->LCDPanel->move(width() / 2 - ui->LCDPanel->width() / 2, ui->LCDPanel->y());
    for (QLabel *line : {ui->LCDLine0, ui->LCDLine1, ui->LCDLine2, ui->LCDLine3})
        line->clear();
    TLCDLabel *lcd = ui->BackLightLCDPanel;
    lcd->move(width() / 2 - lcd->width() / 2, lcd->y());
    lcd->SetCaption(QString());

    lcd->OnClick = [this](QObject *sender) { BackLightLCDPanelClick(sender); };
    if (!clickFilter) {
        clickFilter = new ClickFilter(this, [this](QObject *sender) { LCDPanelClick(sender); });
        for (QWidget *w : std::initializer_list<QWidget *>{ui->LCDPanel, ui->LCDLine0, ui->LCDLine1,
                                                           ui->LCDLine2, ui->LCDLine3})
            w->installEventFilter(clickFilter);
    }
    lcdLines.clear();
}

void TFaderDesk::refreshPresentation() {
    TLCDLabel *dotMatrix = ui->BackLightLCDPanel;
    if (lcdLines.dotMatrixShown()) {
        dotMatrix->SetCaption(QString::fromLatin1(lcdLines.joined()));
        ui->LCDPanel->hide();
        dotMatrix->show();
        return;
    }
    dotMatrix->hide();
    QLabel *lines[] = {ui->LCDLine0, ui->LCDLine1, ui->LCDLine2, ui->LCDLine3};
    for (int n = 0; n < vkv::box::LcdScreens::Lines; ++n)
        lines[n]->setText(vkv::box::oemText(lcdLines.line(n)));
    ui->LCDPanel->show();
}

void TFaderDesk::RedrawLCD(int eventId) {
    boxEngine.RedrawLCD(eventId);
}

void TFaderDesk::LCDPanelClick(QObject *) {
    boxEngine.LCDPanelClick();
}

void TFaderDesk::BackLightLCDPanelClick(QObject *) {
    boxEngine.BackLightLCDPanelClick();
}
