// The program as a device of its own on the tests' JACK server: a DAW connects to its ports by
// their names with the user's tools (jack_connect), gets the virtual box's knobs on Knobs and
// moves them through Motors.
#include "JackRecorder.h"
#include "JackTools.h"
#include "JackWindow.h"
#include "LogCapture.h"
#include "MonitorWindow.h"
#include "OwnPorts.h"
#include "TFaderDesk.h"
#include "TKnob.h"

#include <QCheckBox>
#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Events = std::vector<JackRecorder::Event>;
using Model = vkv::monitor::MonitorModel;

const QString Knobs = QStringLiteral("Virtual Korvane Vela:Knobs");
const QString Motors = QStringLiteral("Virtual Korvane Vela:Motors");

class OwnPortsJack : public JackWindowTest {};

vkv::ports::OwnPorts &ownPorts(JackWindow &w) {
    return *w.form.findChild<vkv::ports::OwnPorts *>("OwnPorts");
}

bool offered(JackWindow &w) {
    return testui::waitUntil([&] { return ownPorts(w).offered(); }, 5000);
}

QString name(const JackRecorder &r) {
    return QString::fromStdString(r.portName());
}

QString name(const JackSender &s) {
    return QString::fromStdString(s.portName());
}

// The bytes knob `k` of bank 1 sends at `value`, by its pot's record.
Bytes potEvent(JackWindow &w, int k, unsigned char value) {
    const auto &image = w.form.image();
    return {static_cast<unsigned char>(image.pot(k, vkv::image::PotStatus) | 0x80),
            image.pot(k, vkv::image::PotByte1), value};
}

// Shows the box and waits for its knobs' loading events (three a knob) at `daw`.
TFaderDesk *showBox(JackWindow &w, JackRecorder &daw, std::size_t loading = 48) {
    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    EXPECT_EQ(daw.waitUntil([&](const Events &e) { return e.size() >= loading; }).size(), loading);
    testui::settle(200);
    daw.clear();
    return w.form.faderDesk();
}

void turnUp(TFaderDesk *desk, int k) {
    TKnob *knob = desk->knob(k);
    knob->setFocus();
    QTest::keyClick(knob, Qt::Key_Up);
}

QString cell(const Model &model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

} // namespace

TEST_F(OwnPortsJack, ADawConnectedByNameGetsEveryKnobTurnAndMovesTheKnobsThroughMotors) {
    JackRecorder daw("vkvdaw");
    JackSender faders("vkvfaders");
    JackWindow w;
    ASSERT_TRUE(offered(w));
    EXPECT_EQ(ownPorts(w).clientName(), "Virtual Korvane Vela");
    // As every JACK program sees them: a device's output and input.
    EXPECT_EQ(jacktools::portsWithProperties("Virtual Korvane Vela").toStdString(),
              "Virtual Korvane Vela:Knobs\n\tproperties: output,physical,terminal,\n"
              "Virtual Korvane Vela:Motors\n\tproperties: input,physical,terminal,\n");
    EXPECT_LT(w.inIndex(Knobs), 0); // never offered to the program itself
    EXPECT_LT(w.outIndex(Motors), 0);
    ASSERT_TRUE(jacktools::connect(Knobs, name(daw)));
    ASSERT_TRUE(jacktools::connect(name(faders), Motors));

    // No MIDI OUT port is chosen: the knobs still play on Knobs, each turn as its bytes.
    ASSERT_EQ(w.ui.MIDIOutComboBox->currentIndex(), w.noneOut());
    w.form.history().change(vkv::image::ImageChange::received(), [](vkv::image::ConfigImage &i) {
        i.setPot(3, vkv::image::PotStatus, 0xB0); // Controller 7 on channel 1
        i.setPot(3, vkv::image::PotByte1, 7);
    });
    w.ui.vMotPots->click();
    TFaderDesk *desk = showBox(w, daw);
    turnUp(desk, 0);
    Events got = daw.waitUntil([](const Events &e) { return !e.empty(); });
    testui::settle(200);
    got = daw.recorded();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, potEvent(w, 0, 1));

    // A controller written to Motors moves the knob it matches, which plays it on.
    daw.clear();
    ASSERT_TRUE(
        sendUntil(faders, {0xB0, 0x07, 0x40}, [&] { return desk->knob(3)->Position() == 64; }));
    got = daw.waitUntil([](const Events &e) { return !e.empty(); });
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back().bytes, (Bytes{0xB0, 0x07, 0x40}));
}

TEST_F(OwnPortsJack, SysExOnMotorsIsIgnoredAndTheMonitorShowsBothPortsByName) {
    JackRecorder daw("vkvmondaw");
    JackSender faders("vkvmonfaders");
    JackWindow w;
    ASSERT_TRUE(offered(w));
    ASSERT_TRUE(jacktools::connect(Knobs, name(daw)));
    ASSERT_TRUE(jacktools::connect(name(faders), Motors));
    TFaderDesk *desk = showBox(w, daw);

    // A whole dump written to Motors is never taken as one.
    const vkv::image::DumpBytes before = w.form.image().bytes();
    Bytes dump(before.begin(), before.end());
    dump[10] ^= 0x11;
    vkv::ports::OwnPorts &own = ownPorts(w);
    ASSERT_TRUE(sendUntil(faders, dump, [&] { return own.sysExIgnored() > 0; }));
    testui::settle(300);
    EXPECT_EQ(w.form.image().bytes(), before);
    EXPECT_EQ(w.ui.SysexReceiveCount->text(), "0");

    QTest::mouseClick(w.ui.ShowMidiMonitor, Qt::LeftButton);
    const Model &rows = w.form.CreateMonitorWindow()->model();
    turnUp(desk, 0);
    ASSERT_TRUE(sendUntil(faders, {0x92, 0x3C, 0x64}, [&] { return rows.rowCount() >= 2; }));
    testui::settle(300);
    ASSERT_GE(rows.rowCount(), 2);
    EXPECT_EQ(cell(rows, 0, Model::DirectionColumn), "OUT");
    EXPECT_EQ(cell(rows, 0, Model::PortColumn), Knobs);
    EXPECT_EQ(cell(rows, 1, Model::DirectionColumn), "IN");
    EXPECT_EQ(cell(rows, 1, Model::PortColumn), Motors);
    EXPECT_EQ(cell(rows, 1, Model::WordsColumn), "Note On ch 3 C4 (60) vel 100");
}

TEST_F(OwnPortsJack, KnobsPatchedToTheBoxWaitForAPacedDumpAndFollowItInOrder) {
    JackRecorder box("vkvownbox");
    JackWindow w;
    w.chooseOut(w.outIndex(name(box)));
    ASSERT_TRUE(offered(w));
    // Knobs patched to the box as well: a knob's message between two pieces of the dump would cut
    // it on the box's wire.
    ASSERT_TRUE(jacktools::connect(Knobs, name(box)));
    TFaderDesk *desk = showBox(w, box, 2 * 48);

    testui::typeInto(w.ui.SysexSendSpeed, "1000");
    QTest::mouseClick(w.ui.SlowSendToKorvane, Qt::LeftButton);
    ASSERT_TRUE(testui::waitUntil([&] { return w.form.pacedSend().bytesLeft() < 1400; }, 5000));
    for (int i = 0; i < 3; ++i)
        turnUp(desk, 1);
    turnUp(desk, 2);
    ASSERT_TRUE(w.form.pacedSend().sending());
    ASSERT_TRUE(testui::waitUntil([&] { return !w.form.pacedSend().sending(); }, 10000));
    const Events got = box.waitUntil([](const Events &e) { return afterDump(e).size() >= 4; });
    testui::settle(300);

    // The whole dump first, unbroken; then the held turns of each port in their order, the three
    // of knob 1 (a controller) as the latest value.
    const Bytes dump(w.form.image().bytes().begin(), w.form.image().bytes().end());
    EXPECT_EQ(JackRecorder::sysExBytes(box.recorded()), dump);
    const std::vector<Bytes> turns = {potEvent(w, 1, 3), potEvent(w, 2, 1)};
    EXPECT_EQ(afterDump(box.recorded()),
              (std::vector<Bytes>{turns[0], turns[1], turns[0], turns[1]}));
}

TEST_F(OwnPortsJack, UncheckingTakesThePortsAwayAtOnceAndASecondWindowOffersItsOwnUnderTwo) {
    JackWindow w;
    ASSERT_TRUE(offered(w));
    LogCapture log("vkv.midi");
    JackWindow second;
    ASSERT_TRUE(offered(second));
    EXPECT_EQ(ownPorts(second).clientName(), "Virtual Korvane Vela 2");
    EXPECT_TRUE(LogCapture::said().contains("own ports: offered as \"Virtual Korvane Vela 2\": "
                                            "\"Virtual Korvane Vela\" is another instance's"))
        << LogCapture::said().join('\n').toStdString();
    EXPECT_TRUE(jacktools::portsWithProperties("Virtual Korvane Vela 2:")
                    .contains("Virtual Korvane Vela 2:Knobs\n"));

    ASSERT_TRUE(w.ui.OfferOwnPorts->isChecked());
    QTest::mouseClick(w.ui.OfferOwnPorts, Qt::LeftButton);
    EXPECT_FALSE(ownPorts(w).offered());
    EXPECT_FALSE(w.form.settings().ownPorts());
    EXPECT_EQ(jacktools::portsWithProperties("Virtual Korvane Vela:"), "");
    // Offered again, under the name they had.
    QTest::mouseClick(w.ui.OfferOwnPorts, Qt::LeftButton);
    EXPECT_TRUE(ownPorts(w).offered());
    EXPECT_EQ(ownPorts(w).clientName(), "Virtual Korvane Vela");
    EXPECT_TRUE(jacktools::portsWithProperties("Virtual Korvane Vela:").contains(Knobs + "\n"));
}

TEST_F(OwnPortsJack, KnobsPatchedStraightToMotorsEchoesNothingBack) {
    JackRecorder daw("vkvloopdaw");
    JackSender faders("vkvloopfaders");
    JackWindow w;
    ASSERT_TRUE(offered(w));
    ASSERT_TRUE(jacktools::connect(Knobs, name(daw)));
    ASSERT_TRUE(jacktools::connect(Knobs, Motors));
    w.ui.vMotPots->click();
    TFaderDesk *desk = showBox(w, daw);

    // Knob 0's event matches knob 0 itself: back through Motors it would turn it again, for ever.
    turnUp(desk, 0);
    testui::settle(1000);
    EXPECT_EQ(daw.recorded().size(), 1u);
    EXPECT_EQ(desk->knob(0)->Position(), 1);

    // Without the loop, Motors takes messages again.
    ASSERT_TRUE(jacktools::disconnect(Knobs, Motors));
    ASSERT_TRUE(jacktools::connect(name(faders), Motors));
    EXPECT_TRUE(
        sendUntil(faders, potEvent(w, 0, 90), [&] { return desk->knob(0)->Position() == 90; }));
}
