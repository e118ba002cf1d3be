// The dump transfer through the real main window over the tests' JACK server: what goes on the
// wire, byte for byte and in time, and what a dump coming back does to the image and the pages.
#include "JackRecorder.h"
#include "JackWindow.h"
#include "TFaderDesk.h"
#include "TKnob.h"
#include "TTempoTimer.h"

#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Events = std::vector<JackRecorder::Event>;

class TransferJack : public JackWindowTest {};

// A dump unlike the default image: another device identifier and other first records.
Bytes foreignDump() {
    Bytes dump(vkv::image::DumpSize);
    for (int i = 0; i < vkv::image::DumpSize; ++i)
        dump[i] = static_cast<unsigned char>((i * 7) & 0x7F);
    const Bytes header{0xF0, 0x00, 0x00, 0x7E, 0x43, 0x02};
    std::copy(header.begin(), header.end(), dump.begin());
    const Bytes pot0{0x1A, 60, 5, 100}, button0{0x13, 61, 100, 2};
    std::copy(pot0.begin(), pot0.end(), dump.begin() + vkv::image::potOffset(0));
    std::copy(button0.begin(), button0.end(), dump.begin() + vkv::image::buttonOffset(0));
    dump.back() = 0xF7;
    return dump;
}

} // namespace

TEST_F(TransferJack,
       PacedSendDeliversTheWholeDumpInOrderAfterItsPauseAndHoldsEverythingElseUntilItsEnd) {
    JackRecorder box("vkvxferbox");
    JackSender source("vkvxferboxsrc");
    JackWindow w;
    w.chooseOut(w.outIndex(QString::fromStdString(box.portName())));
    w.chooseIn(w.inIndex(QString::fromStdString(source.portName())));
    ASSERT_TRUE(w.requestEnabled());
    testui::typeInto(w.ui.SysexSendSpeed, "1000");
    EXPECT_EQ(w.form.SysexTimer->Tempo(), 833);

    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    ASSERT_EQ(box.waitUntil([](const Events &e) { return e.size() >= 48; }).size(), 48u);
    box.clear();

    // A file once loaded may carry another device identifier; the send frames the image.
    w.form.history().change(vkv::image::ImageChange::opened("foreign.syx"),
                            [](vkv::image::ConfigImage &image) { image.bytes()[4] = 0x43; });
    vkv::image::DumpBytes expected = w.form.image().bytes();
    expected[4] = 0x42;

    QTest::mouseClick(w.ui.SlowSendToKorvane, Qt::LeftButton);
    // A modal dialog over the header pause, then a GUI thread busy for a while: the pause ends
    // and the ticks are handled all the same, none lost, repeated or out of order.
    EXPECT_TRUE(testui::whileModal(
        [&] { QMessageBox(QMessageBox::Information, "Busy", "Busy", {}, &w.form).exec(); },
        [](QWidget *modal) { QTimer::singleShot(400, modal, &QWidget::close); }));
    QThread::msleep(300);
    testui::settle(300);
    // While the slices go out: turn a knob, ask for the box's dump, and send it whole with the
    // hidden fast send. Each would cut the dump on the wire.
    EXPECT_TRUE(w.form.SysexTimer->Enabled());
    TKnob *knob = w.form.faderDesk()->knob(0);
    knob->setFocus();
    QTest::keyClick(knob, Qt::Key_Up);
    QTest::mouseClick(w.ui.RequestSysexDump, Qt::LeftButton);
    w.form.SendToKorvaneClick(w.ui.SendToKorvane);
    ASSERT_TRUE(testui::waitUntil([&] { return w.ui.BytesToSend->text() == "0"; }, 10000));
    EXPECT_FALSE(w.form.SysexTimer->Enabled());
    const Bytes whole(expected.begin(), expected.end());
    const Events events =
        box.waitUntil([&](const Events &e) { return !e.empty() && e.back().bytes == whole; });

    // One dump, whole, in image order, framed; then the knob's message, the request and the
    // whole dump again, held until its end and in their order.
    ASSERT_EQ(events.size(), 516u);
    const Events paced(events.begin(), events.end() - 3);
    EXPECT_EQ(JackRecorder::sysExBytes(paced), whole);
    EXPECT_EQ(events.front().bytes, Bytes(expected.begin(), expected.begin() + 6));
    EXPECT_EQ(paced.back().bytes.back(), 0xF7);
    for (const auto &e : paced) // 6, then 511 of 3, then 4: none joined, repeated or lost
        EXPECT_TRUE(e.bytes.size() == 3 || &e == &paced.front() || &e == &paced.back());
    EXPECT_EQ(events[513].bytes, (Bytes{0xB0, 0x00, 0x01}));
    EXPECT_EQ(events[514].bytes,
              Bytes(vkv::image::DumpRequest.begin(), vkv::image::DumpRequest.end()));
    EXPECT_EQ(events[515].bytes, whole);

    // The header slice goes 250 ms ahead of the rest. The bus delivers in whole periods, so an
    // arrival may come up to one period later than its sending.
    const double pauseMs = (events[1].usecs - events[0].usecs) / 1000.0;
    EXPECT_GE(pauseMs, 250.0 - box.periodMs());
}

TEST_F(TransferJack, RequestSendsTheRequestAndAReceivedDumpReplacesTheImage) {
    JackRecorder box("vkvxferreq");
    JackSender sender("vkvxfersrc");
    JackWindow w;
    w.chooseOut(w.outIndex(QString::fromStdString(box.portName())));
    w.chooseIn(w.inIndex(QString::fromStdString(sender.portName())));
    ASSERT_TRUE(w.requestEnabled());
    EXPECT_EQ(w.ui.SysexReceiveCount->text(), "0");

    QTest::mouseClick(w.ui.RequestSysexDump, Qt::LeftButton);
    const Events request = box.waitUntil([](const Events &e) { return !e.empty(); });
    ASSERT_EQ(request.size(), 1u);
    EXPECT_EQ(request[0].bytes, (Bytes{0xF0, 0x00, 0x00, 0x7E, 0x42, 0x01, 0xF7}));

    const vkv::image::DumpBytes before = w.form.image().bytes();
    const auto imageUnchanged = [&] { return w.form.image().bytes() == before; };
    const auto shows = [&](const char *text) {
        return [&w, text] { return w.ui.SysexReceiveCount->text() == text; };
    };

    // Too long: said so, and the image stays.
    Bytes tooLong = foreignDump();
    tooLong.insert(tooLong.end() - 1, 0x00);
    ASSERT_TRUE(sendUntil(sender, tooLong, shows("Sysex 2 Large ?!")));
    EXPECT_TRUE(imageUnchanged());

    // Too short: the count of missing bytes, and the image stays.
    Bytes tooShort = foreignDump();
    tooShort.resize(999);
    tooShort.push_back(0xF7);
    ASSERT_TRUE(sendUntil(sender, tooShort, shows("543")));
    EXPECT_TRUE(imageUnchanged());

    // A whole dump replaces the image byte for byte, header included, and the pages show it.
    const Bytes dump = foreignDump();
    ASSERT_TRUE(sendUntil(sender, dump, shows("Done !!")));
    EXPECT_EQ(Bytes(w.form.image().bytes().begin(), w.form.image().bytes().end()), dump);
    EXPECT_EQ(w.ui.PotByte0->value(), 0x9A);
    EXPECT_EQ(w.ui.PotByte1->value(), 60);
    EXPECT_EQ(w.ui.PotMin->value(), 5);
    EXPECT_EQ(w.ui.PotMax->value(), 100);
    EXPECT_EQ(w.ui.ButtByte0->value(), 0x93);
    EXPECT_EQ(w.ui.ButtByte2->value(), 100);
    EXPECT_EQ(w.ui.ButtMode->currentText(), "TOGGLE");
}

TEST(Transfer, AChunkWithoutF0AtStartUpIsIgnored) {
    TForm1 form{vkv::backendapi::Backend::None};
    const vkv::image::DumpBytes before = form.image().bytes();
    char stray[4] = {0x10, 0x20, 0x30, char(0xF7)};
    form.MidiIn1SysEx(form.MidiIn1, stray, 4);
    EXPECT_EQ(form.ui->SysexReceiveCount->text(), "0");
    EXPECT_EQ(form.image().bytes(), before);
}

TEST(Transfer, ABrokenSysExIsSaidAndItsRemainsNeverBecomeADump) {
    TForm1 form{vkv::backendapi::Backend::None};
    const vkv::image::DumpBytes before = form.image().bytes();
    Bytes dump = foreignDump();
    const auto give = [&](std::size_t from, std::size_t to) {
        form.MidiIn1SysEx(form.MidiIn1, reinterpret_cast<char *>(dump.data() + from),
                          static_cast<int>(to - from));
    };
    give(0, 1400);
    form.MidiIn1SysExBroken(form.MidiIn1);
    EXPECT_EQ(form.ui->SysexReceiveCount->text(), "Sysex Broken ?!");
    give(1400, dump.size()); // bytes that would have made up the count
    EXPECT_EQ(form.ui->SysexReceiveCount->text(), "Sysex Broken ?!");
    EXPECT_EQ(form.image().bytes(), before);
    give(0, dump.size()); // the next whole dump is taken
    EXPECT_EQ(form.ui->SysexReceiveCount->text(), "Done !!");
    EXPECT_EQ(Bytes(form.image().bytes().begin(), form.image().bytes().end()), dump);
}
