// The MIDI monitor through the real main window over the tests' JACK server: what the ports send
// and receive shows as rows in words, a paced send as one row that grows, and nothing is tapped
// while the monitor is closed.
#include "JackRecorder.h"
#include "JackWindow.h"
#include "MidiWords.h"
#include "MonitorWindow.h"
#include "TFaderDesk.h"
#include "TKnob.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using Events = std::vector<JackRecorder::Event>;
using Model = vkv::monitor::MonitorModel;

class MonitorJack : public JackWindowTest {};

QString cell(const Model &model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

} // namespace

TEST_F(MonitorJack, KnobTurnsIncomingMessagesAndAPacedSendShowAsRowsInWords) {
    JackRecorder box("vkvmonbox");
    JackSender source("vkvmonsrc");
    JackWindow w;
    w.chooseOut(w.outIndex(QString::fromStdString(box.portName())));
    w.chooseIn(w.inIndex(QString::fromStdString(source.portName())));
    testui::typeInto(w.ui.SysexSendSpeed, "1000");
    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    ASSERT_EQ(box.waitUntil([](const Events &e) { return e.size() >= 48; }).size(), 48u);
    box.clear();

    QTest::mouseClick(w.ui.ShowMidiMonitor, Qt::LeftButton);
    vkv::monitor::MonitorWindow *monitor = w.form.findChild<vkv::monitor::MonitorWindow *>();
    ASSERT_NE(monitor, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(monitor));
    const Model &rows = monitor->model();
    EXPECT_EQ(rows.rowCount(), 0);

    // A knob turn: one OUT row, the bytes the box got, in words.
    TKnob *knob = w.form.faderDesk()->knob(0);
    knob->setFocus();
    QTest::keyClick(knob, Qt::Key_Up);
    const Events turned = box.waitUntil([](const Events &e) { return !e.empty(); });
    ASSERT_EQ(turned.size(), 1u);
    ASSERT_TRUE(testui::waitUntil([&] { return rows.rowCount() >= 1; }, 2000));
    testui::settle(100);
    ASSERT_EQ(rows.rowCount(), 1);
    const auto &bytes = turned[0].bytes;
    EXPECT_EQ(cell(rows, 0, Model::DirectionColumn), "OUT");
    EXPECT_EQ(cell(rows, 0, Model::PortColumn).toStdString(), box.portName());
    EXPECT_EQ(cell(rows, 0, Model::BytesColumn).toStdString(),
              vkv::midi::hexBytes(bytes.data(), bytes.size()));
    EXPECT_EQ(cell(rows, 0, Model::WordsColumn).toStdString(),
              vkv::midi::describe(bytes.data(), bytes.size()));
    EXPECT_TRUE(cell(rows, 0, Model::WordsColumn).startsWith("Controller ch 1 #"));

    // An incoming controller: an IN row.
    const auto incoming = [&] {
        for (int r = 0; r < rows.rowCount(); ++r)
            if (cell(rows, r, Model::DirectionColumn) == "IN")
                return r;
        return -1;
    };
    ASSERT_TRUE(sendUntil(source, {0xB3, 7, 64}, [&] { return incoming() >= 0; }));
    EXPECT_EQ(cell(rows, incoming(), Model::WordsColumn), "Controller ch 4 #7 = 64");
    EXPECT_EQ(cell(rows, incoming(), Model::PortColumn).toStdString(), source.portName());

    // A paced send: one row that grows while the slices go, and ends with the whole dump.
    QTest::mouseClick(monitor->findChild<QPushButton *>("MonitorClear"), Qt::LeftButton);
    box.clear();
    QTest::mouseClick(w.ui.SlowSendToKorvane, Qt::LeftButton);
    const QRegularExpression growing("^SysEx dump going out: (\\d+) of 1543 bytes$");
    std::vector<int> seen;
    ASSERT_TRUE(testui::waitUntil([&] { return w.ui.BytesToSend->text() != "0"; }, 2000));
    ASSERT_TRUE(testui::waitUntil(
        [&] {
            if (rows.rowCount() == 1) {
                const auto match = growing.match(cell(rows, 0, Model::WordsColumn));
                if (match.hasMatch() && (seen.empty() || seen.back() != match.captured(1).toInt()))
                    seen.push_back(match.captured(1).toInt());
            }
            return w.ui.BytesToSend->text() == "0";
        },
        10000));
    testui::settle(200);
    EXPECT_GE(seen.size(), 3u) << "the row grew while the send went";
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    ASSERT_EQ(rows.rowCount(), 1);
    EXPECT_TRUE(cell(rows, 0, Model::WordsColumn)
                    .contains(QRegularExpression("^SysEx 1543 bytes sent paced in \\d+\\.\\d s$")))
        << cell(rows, 0, Model::WordsColumn).toStdString();
    EXPECT_TRUE(cell(rows, 0, Model::BytesColumn).endsWith("... F7 (1543 bytes)"));
    // The box got the dump as the slices it was sent in, as many bytes as the row says.
    const auto bytesAtBox = [](const Events &e) {
        std::size_t n = 0;
        for (const auto &event : e)
            n += event.bytes.size();
        return n;
    };
    EXPECT_EQ(bytesAtBox(box.waitUntil([&](const Events &e) { return bytesAtBox(e) >= 1543; })),
              1543u);

    // Closed, the monitor taps nothing: a knob turn then is not among the rows when it shows again.
    monitor->close();
    box.clear();
    QTest::keyClick(knob, Qt::Key_Up);
    ASSERT_EQ(box.waitUntil([](const Events &e) { return !e.empty(); }).size(), 1u);
    QTest::mouseClick(w.ui.ShowMidiMonitor, Qt::LeftButton);
    testui::settle(200);
    EXPECT_EQ(rows.rowCount(), 1);
}

TEST_F(MonitorJack, QuittingWithTheMonitorShownDuringAPacedSendEndsCleanly) {
    // Under the address sanitizer a port that kept the monitor's tap past the monitor is a
    // use of freed memory as it closes with the send's SysEx under way.
    JackRecorder box("vkvquitbox");
    auto w = std::make_unique<JackWindow>();
    w->chooseOut(w->outIndex(QString::fromStdString(box.portName())));
    QTest::mouseClick(w->ui.ShowMidiMonitor, Qt::LeftButton);
    auto *monitor = w->form.findChild<vkv::monitor::MonitorWindow *>();
    ASSERT_NE(monitor, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(monitor));
    QTest::mouseClick(w->ui.SlowSendToKorvane, Qt::LeftButton);
    ASSERT_TRUE(testui::waitUntil([&] { return w->form.pacedSend().bytesLeft() < 1500; }, 3000));
    // The window's close button, then the window goes as the program ends.
    QSignalSpy closed(&w->form, &TForm1::closed);
    EXPECT_TRUE(w->form.close());
    EXPECT_EQ(closed.count(), 1);
    w.reset();
    EXPECT_FALSE(JackRecorder::sysExBytes(box.recorded()).empty());
}
