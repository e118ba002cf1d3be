#include "JackReceiver.h"
#include "JackWindow.h"
#include "PortWatch.h"
#include "Settings.h"
#include "TForm1.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "UiDriver.h"
#include "WindowControls.h"

#include <RtMidi.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using vkv::backendapi::Backend;
using Message = JackReceiver::Message;

namespace {

const QColor Red(255, 0, 0);
const QColor Teal(0, 128, 128);

// A MIDI source on the tests' JACK server, so the input list has something to offer. Kept for
// the life of the process: tearing JACK clients down mid-test can crash inside libjack.
void addJackSource(const std::string &client) {
    static auto *sources = new std::vector<std::unique_ptr<RtMidiOut>>;
    auto out = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, client);
    out->openVirtualPort("out");
    sources->push_back(std::move(out));
}

// A port that is listed and then goes away: its client unregisters the port but lives on.
template <class Port> Port *vanishingPort(const std::string &client, const std::string &port) {
    static auto *ports = new std::vector<std::unique_ptr<Port>>;
    ports->push_back(std::make_unique<Port>(RtMidi::UNIX_JACK, client));
    ports->back()->openVirtualPort(port);
    return ports->back().get();
}

} // namespace

class PortChoiceJack : public JackWindowTest {};

TEST_F(PortChoiceJack, ListsTheDevicesThenNone) {
    JackReceiver a("vkvappa"), b("vkvappb"), c("vkvappc");
    addJackSource("vkvappsrc");
    JackWindow w;
    const int n = w.noneOut();
    ASSERT_GE(n, 3);
    ASSERT_EQ(w.ui.MIDIOutComboBox->count(), n + 1);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(w.ui.MIDIOutComboBox->itemText(i),
                  QString::fromLocal8Bit(w.form.MidiOut1->DevCaps[i].szPname));
    EXPECT_EQ(w.ui.MIDIOutComboBox->itemText(n), "None");
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentIndex(), n);
    for (const char *name : {"vkvappa:in", "vkvappb:in", "vkvappc:in"})
        EXPECT_GE(w.outIndex(name), 0) << name;

    const int m = w.noneIn();
    ASSERT_GE(m, 1);
    EXPECT_EQ(w.ui.MIDIInComboBox->itemText(m), "None");
    EXPECT_EQ(w.ui.MIDIInComboBox->currentIndex(), m);
    EXPECT_GE(w.inIndex("vkvappsrc:out"), 0);

    // Listing opens nothing.
    EXPECT_FALSE(w.form.MidiOut1->Using());
    EXPECT_FALSE(w.form.MidiIn1->Using());
    EXPECT_EQ(w.ui.StatusLabel->text(), "No MIDI Out Port Selected");
    EXPECT_FALSE(w.sendEnabled());
    EXPECT_FALSE(w.requestEnabled());
}

TEST_F(PortChoiceJack, StartsWithNoneAndListsThePortsOnceShown) {
    JackReceiver receiver("vkvapplate");
    addJackSource("vkvapplatesrc");
    TForm1 form{vkv::ports::PortsInPreparation{}};
    form.preparePortsOnceShown(Backend::Jack);
    QTest::qWait(200);
    for (const QComboBox *list : {form.ui->MIDIOutComboBox, form.ui->MIDIInComboBox}) {
        EXPECT_EQ(list->count(), 1);
        EXPECT_EQ(list->currentText(), "None");
    }
    EXPECT_EQ(form.portWatch(), nullptr); // nothing to watch yet

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY(form.ui->MIDIOutComboBox->findText("vkvapplate:in") >= 0 &&
                form.ui->MIDIInComboBox->findText("vkvapplatesrc:out") >= 0);
    EXPECT_EQ(form.ui->MIDIOutComboBox->currentText(), "None");
    // Watched on the back end the ports took.
    ASSERT_NE(form.portWatch(), nullptr);
    EXPECT_STREQ(form.portWatch()->how(), "JACK callbacks");
    testui::chooseItem(form.ui->MIDIOutComboBox,
                       form.ui->MIDIOutComboBox->findText("vkvapplate:in"));
    EXPECT_EQ(form.ui->StatusLabel->text(), "MIDI OUT Port Selected ...");
    QTest::mouseClick(form.ui->ShowFaderDesk, Qt::LeftButton); // 16 knobs, three events each
    EXPECT_EQ(receiver.waitFor(48).size(), 48u);
}

TEST_F(PortChoiceJack, ChosenOutputCarriesTheVirtualBoxAndNoneClosesIt) {
    JackReceiver receiver("vkvappbox");
    JackWindow w;
    const int i = w.outIndex("vkvappbox:in");
    ASSERT_GE(i, 0);
    w.chooseOut(i);
    EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI OUT Port Selected ...");
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), Teal);
    EXPECT_TRUE(w.form.MidiOut1->Using());
    EXPECT_EQ(w.form.MidiOut1->Port(), i);
    EXPECT_TRUE(w.sendEnabled());
    EXPECT_FALSE(w.requestEnabled()); // the input port is still closed

    // "Show Virtual Box" loads 16 knobs, three pot events each, through the chosen port.
    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    auto got = receiver.waitFor(48);
    ASSERT_EQ(got.size(), 48u);
    EXPECT_EQ(got[0], (Message{0xB0, 0x00, 0x00}));
    EXPECT_EQ(got[47], (Message{0xB0, 0x0F, 0x00}));
    receiver.clear();

    w.chooseOut(w.noneOut());
    EXPECT_EQ(w.ui.StatusLabel->text(), "No MIDI OUT Port Selected");
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), Red);
    EXPECT_FALSE(w.form.MidiOut1->Using());
    EXPECT_FALSE(w.sendEnabled());
    EXPECT_FALSE(w.requestEnabled());
    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    EXPECT_TRUE(receiver.after(200).empty());
}

TEST_F(PortChoiceJack, RequestNeedsBothPorts) {
    JackReceiver receiver("vkvappreq");
    addJackSource("vkvappreqsrc");
    JackWindow w;
    const int out = w.outIndex("vkvappreq:in");
    const int in = w.inIndex("vkvappreqsrc:out");
    ASSERT_GE(out, 0);
    ASSERT_GE(in, 0);

    // Input alone: nothing to request with.
    w.chooseIn(in);
    EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI IN Port Selected ...");
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), Teal);
    EXPECT_TRUE(w.form.MidiIn1->Using());
    EXPECT_FALSE(w.requestEnabled());
    EXPECT_FALSE(w.sendEnabled());

    w.chooseOut(out);
    EXPECT_TRUE(w.sendEnabled());
    EXPECT_TRUE(w.requestEnabled());

    w.chooseIn(w.noneIn());
    EXPECT_EQ(w.ui.StatusLabel->text(), "No MIDI IN Port Selected");
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), Red);
    EXPECT_FALSE(w.form.MidiIn1->Using());
    EXPECT_FALSE(w.requestEnabled());
    EXPECT_TRUE(w.sendEnabled()); // the output side is untouched
    EXPECT_TRUE(w.form.MidiOut1->Using());

    w.chooseIn(in);
    EXPECT_TRUE(w.requestEnabled());
    w.chooseOut(w.noneOut());
    EXPECT_FALSE(w.requestEnabled());
    EXPECT_FALSE(w.sendEnabled());
    EXPECT_TRUE(w.form.MidiIn1->Using()); // opening or closing one port leaves the other
}

TEST_F(PortChoiceJack, RefusedOutputIsNotReadyAndALaterGoodChoiceStillOpens) {
    JackReceiver good("vkvappgood");
    RtMidiIn *doomed = vanishingPort<RtMidiIn>("vkvappgone", "in");
    JackWindow w;
    w.freezeLists();
    const int gone = w.outIndex("vkvappgone:in");
    const int ok = w.outIndex("vkvappgood:in");
    ASSERT_GE(gone, 0);
    ASSERT_GE(ok, 0);
    doomed->closePort(); // listed by the window, gone from the server now

    w.chooseOut(gone);
    EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI OUT Port not ready!");
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), Red);
    EXPECT_FALSE(w.form.MidiOut1->Using());
    EXPECT_FALSE(w.sendEnabled());
    EXPECT_FALSE(w.requestEnabled());

    // The refusal belongs to that open only.
    w.chooseOut(ok);
    EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI OUT Port Selected ...");
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), Teal);
    EXPECT_TRUE(w.form.MidiOut1->Using());
    EXPECT_TRUE(w.sendEnabled());
    w.form.MidiOut1->Put(char(0x90), 0x3C, 0x40);
    auto got = good.waitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Message{0x90, 0x3C, 0x40}));

    // Choosing the missing port again closes the good one and says so.
    w.chooseOut(gone);
    EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI OUT Port not ready!");
    EXPECT_FALSE(w.form.MidiOut1->Using());
    EXPECT_FALSE(w.sendEnabled());
    good.clear();
    w.form.MidiOut1->Put(char(0x90), 0x3C, 0x40);
    EXPECT_TRUE(good.after(200).empty());
}

TEST_F(PortChoiceJack, RefusedInputIsNotReady) {
    JackReceiver receiver("vkvapprin");
    addJackSource("vkvapprinsrc");
    RtMidiOut *doomed = vanishingPort<RtMidiOut>("vkvappgonesrc", "out");
    JackWindow w;
    w.freezeLists();
    const int gone = w.inIndex("vkvappgonesrc:out");
    const int ok = w.inIndex("vkvapprinsrc:out");
    ASSERT_GE(gone, 0);
    ASSERT_GE(ok, 0);
    doomed->closePort();

    w.chooseOut(w.outIndex("vkvapprin:in"));
    w.chooseIn(ok);
    EXPECT_TRUE(w.requestEnabled());

    w.chooseIn(gone);
    EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI IN Port not ready!");
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), Red);
    EXPECT_FALSE(w.form.MidiIn1->Using());
    EXPECT_FALSE(w.requestEnabled());
    EXPECT_TRUE(w.sendEnabled()); // the output port is not the input's business

    w.chooseIn(ok);
    EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI IN Port Selected ...");
    EXPECT_TRUE(w.form.MidiIn1->Using());
    EXPECT_TRUE(w.requestEnabled());
}

TEST_F(PortChoiceJack, TypedTextThatNamesNoDeviceChangesNothing) {
    JackReceiver receiver("vkvapptyped");
    addJackSource("vkvapptypedsrc");
    JackWindow w;
    const int out = w.outIndex("vkvapptyped:in");
    ASSERT_GE(out, 0);
    w.chooseOut(out);
    ASSERT_TRUE(w.form.MidiOut1->Using());
    const int count = w.ui.MIDIOutComboBox->count();

    testui::typeIntoList(w.ui.MIDIOutComboBox, "no such device");
    EXPECT_EQ(w.ui.MIDIOutComboBox->count(), count); // not added as an item
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentIndex(), out);
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentText(), "vkvapptyped:in"); // the choice shown again
    EXPECT_TRUE(w.form.MidiOut1->Using());
    EXPECT_EQ(w.form.MidiOut1->Port(), out);
    EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI OUT Port Selected ...");
    w.form.MidiOut1->Put(char(0xB0), 1, 2);
    EXPECT_EQ(receiver.waitFor(1).size(), 1u);

    // The whole name of a device chooses it like the list does.
    testui::typeIntoList(w.ui.MIDIOutComboBox, "None");
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentIndex(), w.noneOut());
    EXPECT_EQ(w.ui.StatusLabel->text(), "No MIDI OUT Port Selected");
    EXPECT_FALSE(w.form.MidiOut1->Using());
    testui::typeIntoList(w.ui.MIDIOutComboBox, "vkvapptyped:in");
    EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI OUT Port Selected ...");
    EXPECT_EQ(w.form.MidiOut1->Port(), out);

    // The same on the input side.
    const int inCount = w.ui.MIDIInComboBox->count();
    testui::typeIntoList(w.ui.MIDIInComboBox, "-1");
    EXPECT_EQ(w.ui.MIDIInComboBox->count(), inCount);
    EXPECT_EQ(w.ui.MIDIInComboBox->currentText(), "None");
    EXPECT_FALSE(w.form.MidiIn1->Using());
    EXPECT_EQ(w.form.MidiIn1->Port(), 0);
    EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI OUT Port Selected ...");
    EXPECT_FALSE(w.requestEnabled());
}

TEST_F(PortChoiceJack, TheChosenPortsAreRememberedAndOpenAtTheNextStartOrWhenTheyCome) {
    JackReceiver receiver("vkvappkept");
    addJackSource("vkvappkeptsrc");
    const QString outName = "vkvappkept:in", inName = "vkvappkeptsrc:out";
    {
        JackWindow w;
        w.chooseOut(w.outIndex(outName));
        w.chooseIn(w.inIndex(inName));
        EXPECT_EQ(w.form.settings().outPort(), outName);
        EXPECT_EQ(w.form.settings().inPort(), inName);
        // In the user's file, as read next, once the choice has settled.
        EXPECT_TRUE(testui::waitUntil([&] { return vkv::app::Settings().outPort() == outName; },
                                      vkv::app::Settings::SettleMs + 1000));
        EXPECT_EQ(vkv::app::Settings().inPort(), inName);
    }
    {
        // The next start opens them as if chosen; "None" forgets them.
        JackWindow w;
        EXPECT_EQ(w.ui.MIDIOutComboBox->currentText(), outName);
        EXPECT_EQ(w.ui.MIDIInComboBox->currentText(), inName);
        EXPECT_TRUE(w.requestEnabled());
        EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI IN Port Selected ...");
        w.chooseOut(w.noneOut());
        w.chooseIn(w.noneIn());
    }
    EXPECT_EQ(vkv::app::Settings().outPort(), ""); // written as the window went
    EXPECT_EQ(vkv::app::Settings().inPort(), "");
    // One that is not there at start waits, and opens when it comes.
    vkv::app::Settings().setOutPort("vkvapplater:in");
    JackWindow w;
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentIndex(), w.noneOut());
    JackReceiver later("vkvapplater");
    EXPECT_TRUE(testui::waitUntil(
        [&] { return w.ui.StatusLabel->text() == "MIDI OUT Port Selected ..."; }, 1000));
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentText(), "vkvapplater:in");
    w.form.MidiOut1->Put(char(0x90), 0x3C, 0x40);
    EXPECT_EQ(later.waitFor(1).size(), 1u);
}

TEST_F(PortChoiceJack, PortsWhoseNamesStartAlikeAreToldApartAndTheChosenOneStays) {
    const std::string twin = "vkvtwinpeer-aaaaaaaaaaaaaaaaaaa"; // 31 characters, as a list cuts
    JackReceiver first(twin + "1"), second(twin + "2");
    const QString firstName = QString::fromStdString(twin + "1:in");
    const QString secondName = QString::fromStdString(twin + "2:in");
    const auto turn = [](JackWindow &w) { w.form.MidiOut1->Put(char(0x90), 0x3C, 0x40); };
    {
        JackWindow w;
        ASSERT_TRUE(testui::waitUntil([&] { return w.form.portWatch() != nullptr; }));
        // Shown whole, since their cut texts would be the same; the tip names each in full.
        ASSERT_GE(w.outIndex(firstName), 0);
        const int at = w.outIndex(secondName);
        ASSERT_GE(at, 0);
        EXPECT_EQ(w.ui.MIDIOutComboBox->itemData(at, Qt::ToolTipRole).toString(), secondName);
        w.chooseOut(at);
        // Another device on the desk: the chosen port stays the one the sends reach.
        JackReceiver third("vkvtwinthird");
        ASSERT_TRUE(testui::waitUntil([&] { return w.outIndex("vkvtwinthird:in") >= 0; }, 2000));
        testui::settle(300);
        EXPECT_EQ(w.ui.MIDIOutComboBox->currentText(), secondName);
        turn(w);
        EXPECT_EQ(second.waitFor(1).size(), 1u);
    }
    // The next start, with both there, opens the one remembered.
    JackWindow w;
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentText(), secondName);
    turn(w);
    EXPECT_EQ(second.waitFor(2).size(), 2u);
    EXPECT_TRUE(first.after(300).empty());
}
