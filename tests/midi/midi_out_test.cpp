#include "JackReceiver.h"
#include "MidiMessage.h"
#include "TMidiOut.h"
#include "UiDriver.h"

#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using vkv::backendapi::Backend;
using vkv::midi::shortMessageLength;
using Message = JackReceiver::Message;

namespace {

int findDevice(const TMidiOut &out, const std::string &name) {
    return testui::deviceIndex(out, name);
}

} // namespace

TEST(ShortMessage, LengthFollowsTheStatusByte) {
    EXPECT_EQ(shortMessageLength(0x80), 3);
    EXPECT_EQ(shortMessageLength(0x90), 3);
    EXPECT_EQ(shortMessageLength(0xBF), 3);
    EXPECT_EQ(shortMessageLength(0xC0), 2);
    EXPECT_EQ(shortMessageLength(0xDF), 2);
    EXPECT_EQ(shortMessageLength(0xE5), 3);
    EXPECT_EQ(shortMessageLength(0xF1), 2);
    EXPECT_EQ(shortMessageLength(0xF2), 3);
    EXPECT_EQ(shortMessageLength(0xF3), 2);
    EXPECT_EQ(shortMessageLength(0xF6), 1);
    EXPECT_EQ(shortMessageLength(0xF8), 1);
    EXPECT_EQ(shortMessageLength(0xFF), 1);
    for (int s : {0x00, 0x7F, 0xF0, 0xF4, 0xF5, 0xF7})
        EXPECT_EQ(shortMessageLength(static_cast<unsigned char>(s)), 0) << s;
}

TEST(MidiOut, NoServiceMeansNoDevicesAndRefusedOpens) {
    // With the JACK back end and no server under this name, nothing is listed.
    const QByteArray server = qgetenv("JACK_DEFAULT_SERVER");
    qputenv("JACK_DEFAULT_SERVER", "vkv-no-such-server");
    struct Restore {
        QByteArray value;
        ~Restore() { qputenv("JACK_DEFAULT_SERVER", value); }
    } restore{server};
    TMidiOut out(nullptr, Backend::Jack);
    EXPECT_EQ(out.NumDevs(), 0);
    out.SetPort(0); // ignored: not below NumDevs
    EXPECT_EQ(out.Port(), 0);
    out.SetUsing(true);
    EXPECT_TRUE(out.Using());
    EXPECT_NE(out.OpenResult(), vkv::ports::Result::NoError);
    out.Put(char(0x90), 0x3C, 0x7F); // must not crash on a port that never opened
    const char dump[4] = {char(0xF0), 1, 2, char(0xF7)};
    out.SysEx(dump, 4);
    out.Reset();
    out.SetUsing(false);
    EXPECT_FALSE(out.Using());
}

TEST(MidiOut, JackDeliversShortMessagesAndSysExByteForByte) {
    JackReceiver receiver("vkvrecv");
    TMidiOut out(nullptr, Backend::Jack);
    ASSERT_EQ(out.backend(), Backend::Jack);
    const int n = findDevice(out, "vkvrecv:in");
    ASSERT_GE(n, 0) << "receiver not listed";

    // Nothing goes out while the port is closed.
    out.Put(char(0xB0), 0x07, 0x64);
    EXPECT_TRUE(receiver.after(150).empty());

    out.SetPort(n);
    EXPECT_EQ(out.Port(), n);
    out.SetUsing(true);
    ASSERT_EQ(out.OpenResult(), vkv::ports::Result::NoError);

    out.Put(char(0xB0), 0x07, 0x64);
    out.Put(char(0x90), 0x3C, 0x7F);
    out.Put(char(0xB0), 0x7F, 0x00);
    out.Put(char(0xC5), 0x10, 0x55); // program change: two bytes only
    out.Put(char(0xF0), 0x01, 0x02); // not a short message: nothing
    auto got = receiver.waitFor(4);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], (Message{0xB0, 0x07, 0x64}));
    EXPECT_EQ(got[1], (Message{0x90, 0x3C, 0x7F}));
    EXPECT_EQ(got[2], (Message{0xB0, 0x7F, 0x00}));
    EXPECT_EQ(got[3], (Message{0xC5, 0x10}));
    receiver.clear();

    // A whole dump, and SysEx lengths that are too short to send.
    std::vector<char> dump(1543);
    dump[0] = char(0xF0);
    for (std::size_t i = 1; i < dump.size() - 1; ++i)
        dump[i] = char((i * 7) & 0x7F);
    dump.back() = char(0xF7);
    const char tiny[2] = {char(0xF0), char(0xF7)};
    out.SysEx(tiny, 2);
    out.SysEx(tiny, 0);
    out.SysEx(dump.data(), static_cast<int>(dump.size()));
    got = receiver.waitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], Message(dump.begin(), dump.end()));
    receiver.clear();

    // A second open while open does nothing; closing stops the flow.
    out.SetUsing(true);
    EXPECT_EQ(out.OpenResult(), vkv::ports::Result::NoError);
    out.SetUsing(false);
    out.Put(char(0xB0), 0x01, 0x02);
    EXPECT_TRUE(receiver.after(150).empty());
}

TEST(MidiOut, JackListsAtMostTwelveDevices) {
    std::vector<std::unique_ptr<JackReceiver>> receivers;
    for (int i = 0; i < 15; ++i)
        receivers.push_back(std::make_unique<JackReceiver>("vkvr" + std::to_string(i)));
    TMidiOut out(nullptr, Backend::Jack);
    EXPECT_EQ(out.NumDevs(), 12);
    out.SetPort(5);
    EXPECT_EQ(out.Port(), 5);
    out.SetPort(12);
    EXPECT_EQ(out.Port(), 5);
    for (int n = 0; n < 12; ++n)
        EXPECT_LT(std::strlen(out.DevCaps[n].szPname), sizeof out.DevCaps[n].szPname);
}

TEST(MidiOut, JackPortThatCannotBeOpened) {
    // A receiver in another process, which then goes away after it was listed.
    QProcess dump;
    dump.start("jack_midi_dump", {"vkvgone"});
    ASSERT_TRUE(dump.waitForStarted());
    int n = -1;
    for (int tries = 0; tries < 50 && n < 0; ++tries) {
        TMidiOut probe(nullptr, Backend::Jack);
        n = findDevice(probe, "vkvgone:input");
        if (n < 0)
            QThread::msleep(100);
    }
    TMidiOut out(nullptr, Backend::Jack);
    n = findDevice(out, "vkvgone:input");
    ASSERT_GE(n, 0);
    dump.kill();
    ASSERT_TRUE(dump.waitForFinished());
    QThread::msleep(200); // let the server drop the port
    out.SetPort(n);
    out.SetUsing(true);
    EXPECT_TRUE(out.Using());
    EXPECT_NE(out.OpenResult(), vkv::ports::Result::NoError);
    out.Put(char(0x90), 0x3C, 0x7F); // refused quietly

    // A negative device number is refused, not handed to the back end.
    TMidiOut other(nullptr, Backend::Jack);
    other.SetPort(-1);
    EXPECT_EQ(other.Port(), -1);
    other.SetUsing(true);
    EXPECT_NE(other.OpenResult(), vkv::ports::Result::NoError);
}

TEST(MidiOut, JackReopensOnAnotherDeviceAndKeepsResultWhileClosed) {
    JackReceiver a("vkva");
    JackReceiver b("vkvb");
    TMidiOut out(nullptr, Backend::Jack);
    const int na = findDevice(out, "vkva:in");
    const int nb = findDevice(out, "vkvb:in");
    ASSERT_GE(na, 0);
    ASSERT_GE(nb, 0);

    // A refused open, then SetPort on the closed port: the old result stays.
    out.SetPort(-3);
    out.SetUsing(true);
    const auto refused = out.OpenResult();
    EXPECT_NE(refused, vkv::ports::Result::NoError);
    out.SetUsing(false);
    out.SetPort(na);
    EXPECT_EQ(out.OpenResult(), refused);

    out.SetUsing(true);
    ASSERT_EQ(out.OpenResult(), vkv::ports::Result::NoError);
    out.Put(char(0x91), 0x40, 0x41);
    EXPECT_EQ(a.waitFor(1).size(), 1u);

    out.SetPort(nb); // re-opens on the other device
    EXPECT_EQ(out.OpenResult(), vkv::ports::Result::NoError);
    out.Put(char(0x92), 0x42, 0x43);
    auto got = b.waitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Message{0x92, 0x42, 0x43}));
    EXPECT_EQ(a.after(150).size(), 1u); // nothing more went to the first device
}

TEST(MidiOut, JackHeldMessagesGoInOrderOnReleaseAndAreDroppedWithAClose) {
    JackReceiver receiver("vkvheld");
    TMidiOut out(nullptr, Backend::Jack);
    out.SetPort(findDevice(out, "vkvheld:in"));
    out.SetUsing(true);
    ASSERT_EQ(out.OpenResult(), vkv::ports::Result::NoError);

    const char request[7] = {char(0xF0), 0, 0, 0x7E, 0x42, 0x01, char(0xF7)};
    out.HoldMessages(true);
    EXPECT_TRUE(out.Put(char(0xB0), 0x07, 0x10));
    EXPECT_TRUE(out.Put(char(0xB0), 0x07, 0x20)); // merged into the first
    EXPECT_TRUE(out.SysExMessage(request, 7));
    const char piece[3] = {0x01, 0x02, 0x03};
    EXPECT_TRUE(out.SysEx(piece, 3)); // a piece of a paced dump is never held
    auto got = receiver.waitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Message{0x01, 0x02, 0x03}));
    EXPECT_EQ(out.heldMessages(), 2u);
    out.HoldMessages(false);
    got = receiver.waitFor(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1], (Message{0xB0, 0x07, 0x20}));
    EXPECT_EQ(got[2], Message(request, request + 7));
    ASSERT_EQ(out.releasedSysEx().size(), 1u); // how the held whole messages went
    EXPECT_TRUE(out.releasedSysEx()[0].sent);
    receiver.clear();

    // Closing forgets what was held: it was meant for the device that was open then.
    out.HoldMessages(true);
    out.Put(char(0x90), 0x3C, 0x40);
    out.SetUsing(false);
    out.SetUsing(true);
    out.HoldMessages(false);
    EXPECT_TRUE(receiver.after(150).empty());
    EXPECT_FALSE(out.SysExMessage(request, 2)); // too short to be a message
}
