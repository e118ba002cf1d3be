#pragma once

// The main window over the tests' JACK server, with its port lists at hand.
#include "JackRecorder.h"
#include "JackSender.h"
#include "PortWatch.h"
#include "TForm1.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "UiDriver.h"
#include "WindowControls.h"

#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

struct JackWindow {
    TForm1 form{vkv::backendapi::Backend::Jack};
    Ui::TForm1 &ui = *form.ui;
    JackWindow() {
        form.show();
        form.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    int outIndex(const QString &name) const { return ui.MIDIOutComboBox->findText(name); }
    int inIndex(const QString &name) const { return ui.MIDIInComboBox->findText(name); }
    void chooseOut(int i) { testui::chooseItem(ui.MIDIOutComboBox, i); }
    void chooseIn(int i) { testui::chooseItem(ui.MIDIInComboBox, i); }
    int noneOut() const { return form.MidiOut1->NumDevs(); }
    int noneIn() const { return form.MidiIn1->NumDevs(); }
    bool sendEnabled() const {
        EXPECT_EQ(ui.SendToKorvane->isEnabled(), ui.SlowSendToKorvane->isEnabled());
        return ui.SlowSendToKorvane->isEnabled();
    }
    bool requestEnabled() const { return ui.RequestSysexDump->isEnabled(); }
    // The lists stay as they are, as in the moment between a port going and the server's word
    // of it reaching the window.
    void freezeLists() {
        ASSERT_NE(form.portWatch(), nullptr);
        QObject::disconnect(form.portWatch(), nullptr, &form, nullptr);
    }
};

// Every JACK test runs in a process of its own, and the port objects keep their JACK clients
// until the process ends. The server takes a second or two to drop the clients of a process
// that has just ended; clients created before it has done so can stay stalled for the whole
// test (nothing flows, closes time out). So each test waits for the server before it starts.
class JackWindowTest : public ::testing::Test {
protected:
    void SetUp() override { QTest::qWait(2500); }
};

// Sends `message` until `arrived` holds, running the event loop meanwhile: a new JACK connection
// carries data only from one of the server's next cycles on. Whole messages are sent again, so the
// checks after it must allow for repeats.
inline bool sendUntil(JackSender &sender, const std::vector<unsigned char> &message,
                      const std::function<bool()> &arrived) {
    for (int tries = 0; tries < 20 && !arrived(); ++tries) {
        sender.send(message);
        testui::waitUntil(arrived, 500);
    }
    return arrived();
}

// What came after the end of a dump, message by message.
inline std::vector<std::vector<unsigned char>>
afterDump(const std::vector<JackRecorder::Event> &events) {
    std::vector<std::vector<unsigned char>> after;
    bool over = false;
    for (const auto &event : events) {
        if (over)
            after.push_back(event.bytes);
        over = over || (!event.bytes.empty() && event.bytes.back() == 0xF7);
    }
    return after;
}
