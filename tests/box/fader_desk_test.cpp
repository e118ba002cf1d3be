#include "JackReceiver.h"
#include "PotEditor.h"
#include "TFaderDesk.h"
#include "TKnob.h"
#include "TLCDLabel.h"
#include "TMidiOut.h"
#include "UiDriver.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace vkv::box {

using Bytes = std::vector<unsigned char>;

namespace {

struct EditorSpy : PotEditor {
    std::vector<int> opened;
    void editPot(int potId) override { opened.push_back(potId); }
    void undoChange() override {}
    void redoChange() override {}
};

struct DeskRig {
    image::ConfigImage configImage;
    std::vector<Bytes> sent;
    TFaderDesk desk{configImage, [this](char s, char a, char b) {
                        sent.push_back({static_cast<unsigned char>(s),
                                        static_cast<unsigned char>(a),
                                        static_cast<unsigned char>(b)});
                    }};
    DeskRig() {
        image::loadDefaultImage(configImage);
        desk.setKnobCount(16);
    }
    template <typename T> QList<T *> direct() const {
        return desk.findChildren<T *>(QString(), Qt::FindDirectChildrenOnly);
    }
    QPushButton *bankButton(const char *caption) const {
        for (auto *b : direct<QPushButton>())
            if (b->text() == caption)
                return b;
        return nullptr;
    }
    TLCDLabel *dotMatrix() const { return desk.findChild<TLCDLabel *>("BackLightLCDPanel"); }
    QWidget *plainPanel() const { return desk.findChild<QWidget *>("LCDPanel"); }
    QString plainLine(int n) const {
        return desk.findChild<QLabel *>(QString("LCDLine%1").arg(n))->text();
    }
};

void click(QWidget *w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(10, 10));
}

} // namespace

TEST(FaderDesk, BuildLaysOutSixteenKnobsAndTwoBankButtons) {
    DeskRig rig;
    rig.desk.ShowFaderDeskClick();
    EXPECT_EQ(rig.desk.size(), QSize(460, 260));
    EXPECT_EQ(rig.desk.windowTitle(), "Virtual Korvane : Quill's FaderDesk");

    const auto knobs = rig.direct<TKnob>();
    ASSERT_EQ(knobs.size(), 16);
    for (int k = 0; k < 16; ++k) {
        TKnob *knob = rig.desk.knob(k);
        ASSERT_NE(knob, nullptr);
        EXPECT_EQ(knob->Tag, k);
        EXPECT_EQ(knob->geometry(), QRect(30 + 50 * (k % 8), 120 + 60 * (k / 8), 40, 40)) << k;
        ASSERT_NE(knob->PositionLabel(), nullptr);
        EXPECT_EQ(knob->PositionLabel()->geometry(),
                  QRect(30 + 50 * (k % 8), 160 + 60 * (k / 8), 40, 20));
        EXPECT_EQ(knob->PositionLabel()->text(), QString::number(knob->Position()) + " ");
        EXPECT_EQ(knob->Max(), 127);
    }
    QPushButton *up = rig.bankButton("Bank +");
    QPushButton *down = rig.bankButton("Bank -");
    ASSERT_TRUE(up && down);
    EXPECT_EQ(up->geometry(), QRect(25, 32, 100, 25));
    EXPECT_EQ(down->geometry(), QRect(25, 64, 100, 25));
    EXPECT_EQ(up->property("Tag").toInt(), 1001);
    EXPECT_EQ(down->property("Tag").toInt(), 1002);

    // Both LCD presentations centred in the new width; the plain one shows the ready screen.
    EXPECT_EQ(rig.plainPanel()->geometry(), QRect(158, 8, 145, 81));
    EXPECT_EQ(rig.dotMatrix()->geometry(), QRect(136, 16, 188, 72));
    EXPECT_EQ(rig.plainLine(0), "  Initialized   ");
    EXPECT_EQ(rig.desk.lcd().line(2), "   KorvaneQ2X   ");
    EXPECT_EQ(rig.desk.lcd().line(3).size(), 16u);

    // A second build replaces the run-time controls; the stored ones stay.
    rig.desk.ShowFaderDeskClick();
    EXPECT_EQ(rig.direct<TKnob>().size(), 16);
    EXPECT_EQ(rig.direct<QPushButton>().size(), 2);
    EXPECT_EQ(rig.direct<QLabel>().size(), 16 + 1); // value labels and the hint
    EXPECT_NE(rig.desk.findChild<QLabel *>("Label1"), nullptr);
    EXPECT_NE(rig.dotMatrix(), nullptr);
}

TEST(FaderDesk, LoadingKnobsSendsThreeEventsPerKnobAndClamps) {
    DeskRig rig;
    rig.configImage.setPot(3, image::PotMin, 10);
    rig.configImage.setPot(3, image::PotMax, 20);
    rig.configImage.setPot(5, image::PotMin, 20);
    rig.configImage.setPot(5, image::PotMax, 10);
    rig.configImage.setPot(6, image::PotMin, 20);
    rig.configImage.setPot(6, image::PotMax, 10);
    rig.desk.engine().potValues[6] = 127; // last sent beyond both ends
    rig.desk.ShowFaderDeskClick();
    EXPECT_EQ(rig.sent.size(), 48u);
    const auto sentFor = [&rig](int pot) {
        std::vector<Bytes> messages;
        for (const auto &m : rig.sent)
            if (m[1] == pot)
                messages.push_back(m);
        return messages;
    };
    EXPECT_EQ(sentFor(3), (std::vector<Bytes>{{0xB0, 3, 0}, {0xB0, 3, 10}, {0xB0, 3, 10}}));
    EXPECT_EQ(rig.desk.knob(3)->Position(), 10);
    EXPECT_EQ(rig.desk.knob(3)->Min(), 10);
    EXPECT_EQ(rig.desk.knob(3)->Max(), 20);
    EXPECT_FALSE(rig.desk.knob(3)->toolTip().isEmpty());

    // Reversed range (min 20, max 10): the knob runs backwards. 0 is first clamped to the forward
    // range 20..127, and 20 then lies in the reversed one; 127 is beyond the Min end of the
    // reversed range and lands on its other end, 10.
    TKnob *reversed = rig.desk.knob(5);
    EXPECT_EQ(reversed->Min(), 20);
    EXPECT_EQ(reversed->Max(), 10);
    EXPECT_EQ(reversed->Position(), 20);
    EXPECT_EQ(sentFor(5), (std::vector<Bytes>{{0xB0, 5, 0}, {0xB0, 5, 20}, {0xB0, 5, 20}}));
    EXPECT_EQ(rig.desk.engine().potValues[5], 20);
    EXPECT_EQ(rig.desk.knob(6)->Position(), 10);
    EXPECT_EQ(sentFor(6), (std::vector<Bytes>{{0xB0, 6, 127}, {0xB0, 6, 127}, {0xB0, 6, 10}}));

    // Stored values come back at the next build.
    rig.desk.knob(0)->SetPosition(77);
    rig.desk.ShowFaderDeskClick();
    EXPECT_EQ(rig.desk.knob(0)->Position(), 77);
}

TEST(FaderDesk, RightClickOpensThePotOfTheCurrentBank) {
    DeskRig rig;
    EditorSpy editor;
    rig.desk.setPotEditor(&editor);
    rig.desk.ShowFaderDeskClick();
    click(rig.bankButton("Bank +"));
    click(rig.bankButton("Bank +"));
    EXPECT_EQ(rig.desk.engine().currentBank, 3);
    EXPECT_EQ(rig.desk.lcd().line(1), " Bank Nr 3      ");

    TKnob *knob = rig.desk.knob(5);
    QTest::mouseClick(knob, Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_EQ(editor.opened, std::vector<int>{37});
    QTest::mouseClick(knob, Qt::LeftButton, {}, QPoint(20, 5));
    EXPECT_EQ(editor.opened.size(), 1u);
    // The left click played pot 37 of bank 3.
    EXPECT_EQ(rig.desk.engine().lastEventId, 37);
    EXPECT_EQ(rig.sent.back()[1], 37);
}

TEST(FaderDesk, DisplayModesCycleThroughFourClicks) {
    DeskRig rig;
    rig.desk.ShowFaderDeskClick();
    rig.desk.engine().SendPotEvent(3, 42);
    EXPECT_EQ(rig.plainLine(3), "Value   : 42    ");
    ASSERT_FALSE(rig.plainPanel()->isHidden());
    ASSERT_TRUE(rig.dotMatrix()->isHidden());

    // Plain panel -> dot matrix in mode 1, same text.
    const std::string text = rig.desk.lcd().joined();
    click(rig.desk.findChild<QLabel *>("LCDLine1"));
    EXPECT_EQ(rig.desk.displayMode(), 1);
    EXPECT_TRUE(rig.plainPanel()->isHidden());
    EXPECT_FALSE(rig.dotMatrix()->isHidden());
    EXPECT_EQ(rig.dotMatrix()->Caption(), QString::fromLatin1(text));

    // Writes now go to the dot matrix only.
    rig.desk.lcd().WriteLCDLine(2, std::string("changed"));
    EXPECT_EQ(rig.dotMatrix()->Caption().mid(32, 16), "changed         ");
    EXPECT_EQ(rig.plainLine(2), "Knob Nr : 1.4   ");

    // Mode 2: bar graph of pots 0..14, 16..30, ...
    rig.desk.engine().potValues[0] = 0;
    rig.desk.engine().potValues[1] = 10;
    rig.desk.engine().potValues[2] = 11;
    rig.desk.engine().potValues[3] = 127;
    rig.desk.engine().potValues[15] = 127; // not shown
    rig.desk.engine().potValues[16] = 1;
    click(rig.dotMatrix());
    EXPECT_EQ(rig.desk.displayMode(), 2);
    const std::string bars = rig.desk.lcd().line(0);
    EXPECT_EQ(bars[0], 1);
    EXPECT_EQ(bars[1], 2);
    EXPECT_EQ(bars[2], 3);
    EXPECT_EQ(bars[3], 15);
    EXPECT_EQ(bars[15], ' ');
    EXPECT_EQ(rig.desk.lcd().line(1)[0], 1);

    click(rig.dotMatrix());
    EXPECT_EQ(rig.desk.displayMode(), 3);
    EXPECT_EQ(rig.desk.lcd().line(0), " Display Mode 3 ");
    EXPECT_EQ(rig.desk.lcd().line(2), "   Yet !!!!!!   ");

    // Back to the plain panel with the pot redraw screen of the last event.
    click(rig.dotMatrix());
    EXPECT_EQ(rig.desk.displayMode(), 0);
    EXPECT_FALSE(rig.plainPanel()->isHidden());
    EXPECT_TRUE(rig.dotMatrix()->isHidden());
    EXPECT_EQ(rig.plainLine(0), "Pot Moved       ");
    EXPECT_EQ(rig.plainLine(1), "Knob ID : 3     ");
    EXPECT_EQ(rig.plainLine(3), "Value   : 127   ");

    // A rebuild keeps the presentation and the mode.
    rig.desk.ShowFaderDeskClick();
    EXPECT_EQ(rig.desk.displayMode(), 0);
    EXPECT_FALSE(rig.plainPanel()->isHidden());
}

TEST(FaderDesk, RedrawBeforeAnyEventShowsPotZero) {
    DeskRig rig;
    rig.desk.RedrawLCD(rig.desk.engine().lastEventId);
    EXPECT_EQ(rig.desk.lcd().line(1), "Knob ID : 0     ");
    EXPECT_EQ(rig.desk.lcd().line(2), "Knob Nr : 1.1   ");
    EXPECT_EQ(rig.desk.lcd().line(3), "Value   : 0     ");
}

TEST(FaderDesk, JackMouseDragSendsTheConfiguredMessage) {
    JackReceiver receiver("vkvdesk");
    image::ConfigImage configImage;
    image::loadDefaultImage(configImage);
    configImage.setPot(3, image::PotStatus, 0x9A); // Note On, channel 11
    configImage.setPot(3, image::PotByte1, 60);
    TMidiOut out(nullptr, backendapi::Backend::Jack);
    const int n = testui::deviceIndex(out, "vkvdesk:in");
    ASSERT_GE(n, 0);
    out.SetPort(n);
    out.SetUsing(true);
    ASSERT_EQ(out.OpenResult(), vkv::ports::Result::NoError);

    TFaderDesk desk(configImage, [&](char s, char a, char b) { out.Put(s, a, b); });
    desk.setKnobCount(16);
    desk.ShowFaderDeskClick();
    ASSERT_EQ(receiver.waitFor(48).size(), 48u); // loading the knobs
    receiver.clear();

    TKnob *knob = desk.knob(3);
    std::vector<int> positions;
    knob->OnChange = [&, chained = knob->OnChange](TKnob *k) {
        positions.push_back(k->Position());
        chained(k);
    };
    QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(20, 5)); // top: the middle value
    QTest::mouseMove(knob, QPoint(36, 20));                     // right: higher
    QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(36, 20));
    ASSERT_GE(positions.size(), 2u);
    EXPECT_EQ(positions.front(), 63);
    EXPECT_GT(positions.back(), 63);

    const auto got = receiver.waitFor(positions.size());
    ASSERT_EQ(got.size(), positions.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], (Bytes{0x9A, 60, static_cast<unsigned char>(positions[i])}));
    EXPECT_EQ(desk.lcd().line(1), "Knob ID : 3     ");
}

TEST(BoxEngine, ClosedPortStillUpdatesTheLcd) {
    image::ConfigImage configImage;
    image::loadDefaultImage(configImage);
    LcdScreens lcd;
    BoxEngine engine(configImage, lcd);
    TMidiOut closed; // never opened
    engine.setOutput([&](char s, char a, char b) { closed.Put(s, a, b); });
    engine.KnobChange(2, 33);
    EXPECT_EQ(lcd.line(3), "Value   : 33    ");
    EXPECT_EQ(engine.potValues[2], 33);
    EXPECT_EQ(engine.lastEventId, 2);
}

TEST(BoxEngine, JackKnobEventReachesAReceiver) {
    JackReceiver receiver("vkvbox");
    image::ConfigImage configImage;
    image::loadDefaultImage(configImage);
    LcdScreens lcd;
    BoxEngine engine(configImage, lcd);
    TMidiOut out(nullptr, backendapi::Backend::Jack);
    const int n = testui::deviceIndex(out, "vkvbox:in");
    ASSERT_GE(n, 0);
    out.SetPort(n);
    out.SetUsing(true);
    ASSERT_EQ(out.OpenResult(), vkv::ports::Result::NoError);
    engine.setOutput([&](char s, char a, char b) { out.Put(s, a, b); });

    configImage.setPot(0, image::PotStatus, 0xB0);
    configImage.setPot(0, image::PotByte1, 0x07);
    engine.KnobChange(0, 100);
    engine.BankUp();
    engine.KnobChange(1, 5); // pot 17: Controller 17, channel 1
    configImage.setPot(2, image::PotStatus, 0xC3);
    engine.BankDown();
    engine.KnobChange(2, 9); // program change on channel 4: two bytes on the wire
    auto got = receiver.waitFor(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], (Bytes{0xB0, 0x07, 0x64}));
    EXPECT_EQ(got[1], (Bytes{0xB0, 17, 5}));
    EXPECT_EQ(got[2], (Bytes{0xC3, 2}));
}

} // namespace vkv::box
