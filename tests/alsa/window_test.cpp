// The main window over a real ALSA sequencer: a box's dump coming in as the sequencer hands a
// device's SysEx on, and a box that goes away while a paced send goes to it.
#include "AlsaReceiver.h"
#include "AlsaSender.h"
#include "MonitorWindow.h"
#include "PortWatch.h"
#include "TForm1.h"
#include "TMidiOut.h"
#include "UiDriver.h"
#include "WindowControls.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A dump unlike the built-in defaults.
Bytes foreignDump() {
    Bytes bytes = {0xF0, 0x00, 0x00, 0x7E, 0x42, 0x02};
    for (int i = 0; i < 1536; ++i)
        bytes.push_back(static_cast<unsigned char>((i * 3 + i / 64) & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
}

// The item of the list whose name begins with `port` ("client:port", RtMidi adds the address).
int itemOf(const QComboBox *list, const std::string &port) {
    for (int i = 0; i < list->count(); ++i)
        if (list->itemText(i).startsWith(QString::fromStdString(port + " ")))
            return i;
    return -1;
}

struct AlsaWindow {
    TForm1 form{vkv::backendapi::Backend::Alsa};
    Ui::TForm1 &ui = *form.ui;
    AlsaWindow() { form.show(); }
};

} // namespace

TEST(AlsaWindow, ADumpWithRealTimeEventsBetweenItsPiecesReplacesTheImage) {
    AlsaSender box("vkv-win-src");
    AlsaWindow w;
    const int item = itemOf(w.ui.MIDIInComboBox, box.portName());
    ASSERT_GE(item, 0);
    testui::chooseItem(w.ui.MIDIInComboBox, item);
    ASSERT_EQ(w.ui.StatusLabel->text(), "MIDI IN Port Selected ...");
    // The monitor, clock and active sensing shown.
    QTest::mouseClick(w.ui.ShowMidiMonitor, Qt::LeftButton);
    vkv::monitor::MonitorWindow *monitor = w.form.CreateMonitorWindow();
    monitor->findChild<QCheckBox *>("ShowClock")->setChecked(true);

    const Bytes dump = foreignDump();
    ASSERT_EQ(box.sendSysExWithRealTime(dump), 0);
    EXPECT_TRUE(testui::waitUntil([&] { return w.ui.SysexReceiveCount->text() == "Done !!"; }))
        << w.ui.SysexReceiveCount->text().toStdString();
    EXPECT_EQ(Bytes(w.form.image().bytes().begin(), w.form.image().bytes().end()), dump);

    // One row for the dump, whatever came between its pieces, and one for each real-time event.
    const auto &rows = monitor->model();
    const auto words = [&](int row) {
        return rows.data(rows.index(row, vkv::monitor::MonitorModel::WordsColumn)).toString();
    };
    EXPECT_TRUE(testui::waitUntil([&] { return rows.rowCount() >= 7; }, 2000));
    ASSERT_EQ(rows.rowCount(), 7);
    EXPECT_EQ(words(0), "SysEx 1543 bytes: configuration dump");
    for (int row = 1; row < 7; ++row)
        EXPECT_EQ(words(row), row % 2 ? "Active Sensing" : "Timing Clock") << row;
}

TEST(AlsaWindow, ABoxThatQuitsDuringAPacedSendIsSaidAndTheSendEnds) {
    auto box = std::make_unique<AlsaReceiver>("vkv-win-box");
    AlsaWindow w;
    const int item = itemOf(w.ui.MIDIOutComboBox, box->portName());
    ASSERT_GE(item, 0);
    testui::chooseItem(w.ui.MIDIOutComboBox, item);
    ASSERT_EQ(w.ui.StatusLabel->text(), "MIDI OUT Port Selected ...");
    testui::typeInto(w.ui.SysexSendSpeed, "1000");
    QTest::mouseClick(w.ui.SlowSendToKorvane, Qt::LeftButton);
    ASSERT_TRUE(testui::waitUntil([&] { return box->waitFor(100, 0).size() >= 100; }));
    box.reset(); // its client quits, as a box unplugged does

    ASSERT_TRUE(testui::waitUntil([&] { return !w.form.pacedSend().sending(); }, 5000));
    EXPECT_TRUE(testui::waitUntil([&] {
        return w.ui.StatusLabel->text().startsWith("MIDI OUT Port lost: ");
    })) << w.ui.StatusLabel->text().toStdString();
    EXPECT_TRUE(w.ui.StatusLabel->text().endsWith(" gone"))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), QColor(255, 0, 0));
    EXPECT_GT(w.form.pacedSend().bytesLeft(), 0);
    EXPECT_EQ(w.ui.BytesToSend->text().toInt(), w.form.pacedSend().bytesLeft());
    EXPECT_FALSE(w.form.MidiOut1->holdingMessages());
    EXPECT_FALSE(w.ui.SlowSendToKorvane->isEnabled());
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentIndex(), w.form.MidiOut1->NumDevs());
}

TEST(AlsaWindow, PortsThatComeAndGoAreFollowedByTheirNames) {
    AlsaWindow w;
    ASSERT_TRUE(testui::waitUntil([&] { return w.form.portWatch() != nullptr; }));
    EXPECT_STREQ(w.form.portWatch()->how(), "ALSA announcements");
    const auto status = [&] { return w.ui.StatusLabel->text(); };

    // Clients that start after the lists were read are offered within a second, each in its list.
    auto box = std::make_unique<AlsaReceiver>("vkv-live-box");
    auto source = std::make_unique<AlsaSender>("vkv-live-src");
    QElapsedTimer took;
    took.start();
    ASSERT_TRUE(testui::waitUntil(
        [&] {
            return itemOf(w.ui.MIDIOutComboBox, box->portName()) >= 0 &&
                   itemOf(w.ui.MIDIInComboBox, source->portName()) >= 0;
        },
        1000));
    std::printf("new ALSA ports offered after %lld ms\n", static_cast<long long>(took.elapsed()));
    EXPECT_LT(itemOf(w.ui.MIDIInComboBox, box->portName()), 0);
    testui::chooseItem(w.ui.MIDIOutComboBox, itemOf(w.ui.MIDIOutComboBox, box->portName()));
    ASSERT_EQ(status(), "MIDI OUT Port Selected ...");
    w.form.MidiOut1->Put(char(0xB0), 0x07, 0x01);
    ASSERT_EQ(box->waitFor(1, 2000).size(), 1u);

    // One that exits leaves its list; the chosen one is lost, and said so.
    box.reset();
    source.reset();
    EXPECT_TRUE(testui::waitUntil(
        [&] {
            return itemOf(w.ui.MIDIOutComboBox, "vkv-live-box:in") < 0 &&
                   itemOf(w.ui.MIDIInComboBox, "vkv-live-src:out") < 0 &&
                   status().startsWith("MIDI OUT Port lost: ");
        },
        1000))
        << status().toStdString();
    EXPECT_TRUE(status().startsWith("MIDI OUT Port lost: vkv-live-box:in "))
        << status().toStdString();
    EXPECT_TRUE(status().endsWith(" gone"));

    // Back under the same name (the sequencer gives it another number): open again by itself.
    box = std::make_unique<AlsaReceiver>("vkv-live-box");
    EXPECT_TRUE(testui::waitUntil([&] { return status() == "MIDI OUT Port Selected ..."; }, 1000))
        << status().toStdString();
    w.form.MidiOut1->Put(char(0xB0), 0x07, 0x02);
    const auto got = box->waitFor(1, 2000);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, (Bytes{0xB0, 0x07, 0x02}));
}
