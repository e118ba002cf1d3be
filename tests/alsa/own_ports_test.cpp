// The program as a device of its own on a real ALSA sequencer: plain libasound clients connected
// to its ports by name with aconnect, as a user connects a DAW, get the virtual box's knob turns
// and move its knobs.
#include "AlsaReceiver.h"
#include "AlsaSender.h"
#include "ChildProgram.h"
#include "OwnPorts.h"
#include "TFaderDesk.h"
#include "TForm1.h"
#include "TKnob.h"
#include "UiDriver.h"
#include "WindowControls.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct OwnWindow {
    TForm1 form{vkv::backendapi::Backend::Alsa};
    Ui::TForm1 &ui = *form.ui;
    vkv::ports::OwnPorts &own = *form.findChild<vkv::ports::OwnPorts *>("OwnPorts");
    OwnWindow() {
        form.show();
        EXPECT_TRUE(testui::waitUntil([&] { return own.offered(); }, 10000));
    }
    TFaderDesk *showBox() {
        QTest::mouseClick(ui.ShowFaderDesk, Qt::LeftButton);
        return form.faderDesk();
    }
};

struct Port {
    std::string name;
    unsigned capability = 0, type = 0;
    bool operator==(const Port &) const = default;
};

// The ports of the clients called `client`, by client and port number, as the sequencer has them.
std::map<std::pair<int, int>, Port> portsOf(const std::string &client) {
    std::map<std::pair<int, int>, Port> ports;
    snd_seq_t *seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0)
        return ports;
    snd_seq_client_info_t *clientInfo;
    snd_seq_port_info_t *portInfo;
    snd_seq_client_info_alloca(&clientInfo);
    snd_seq_port_info_alloca(&portInfo);
    snd_seq_client_info_set_client(clientInfo, -1);
    while (snd_seq_query_next_client(seq, clientInfo) >= 0) {
        if (client != snd_seq_client_info_get_name(clientInfo))
            continue;
        const int c = snd_seq_client_info_get_client(clientInfo);
        snd_seq_port_info_set_client(portInfo, c);
        snd_seq_port_info_set_port(portInfo, -1);
        while (snd_seq_query_next_port(seq, portInfo) >= 0)
            ports[{c, snd_seq_port_info_get_port(portInfo)}] = {
                snd_seq_port_info_get_name(portInfo), snd_seq_port_info_get_capability(portInfo),
                snd_seq_port_info_get_type(portInfo)};
    }
    snd_seq_close(seq);
    return ports;
}

// aconnect as a user runs it; its exit code.
int aconnect(const QStringList &arguments, QString *out = nullptr) {
    const ChildRun ran =
        runChild("aconnect", arguments, QProcessEnvironment::systemEnvironment(), 10000);
    if (out)
        *out = ran.out;
    EXPECT_EQ(ran.err, "") << arguments.join(' ').toStdString();
    return ran.code;
}

// As the kernel sets up a hardware MIDI port.
constexpr unsigned DeviceType =
    SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_HARDWARE | SND_SEQ_PORT_TYPE_PORT;

} // namespace

TEST(AlsaOwnPorts, AClientConnectedByNameGetsEachKnobTurnByteForByte) {
    AlsaReceiver daw("vkv-own-daw");
    OwnWindow w;
    EXPECT_EQ(w.own.clientName(), "Virtual Korvane Vela");
    // One client of that name, with these two ports and no other.
    const auto ports = portsOf("Virtual Korvane Vela");
    ASSERT_EQ(ports.size(), 2u);
    const int client = ports.begin()->first.first;
    const unsigned read = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    const unsigned write = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    EXPECT_EQ(ports.at({client, 0}), (Port{"Knobs", read, DeviceType}));
    EXPECT_EQ(ports.at({client, 1}), (Port{"Motors", write, DeviceType}));

    // Connected as a user does, by the client's name.
    ASSERT_EQ(aconnect({"Virtual Korvane Vela:0", "vkv-own-daw:0"}), 0);
    QString listing;
    ASSERT_EQ(aconnect({"-l"}, &listing), 0);
    std::printf("aconnect -l, with the window's ports offered and vkv-own-daw connected:\n%s",
                qPrintable(listing));

    TFaderDesk *desk = w.showBox();
    ASSERT_EQ(daw.waitFor(48).size(), 48u); // the knobs' loading events, with no MIDI OUT chosen
    testui::settle(200);
    daw.clear();
    TKnob *knob = desk->knob(0);
    knob->setFocus();
    QTest::keyClick(knob, Qt::Key_Up);
    const auto got = daw.waitFor(1);
    testui::settle(200);
    ASSERT_EQ(daw.waitFor(1).size(), 1u);
    EXPECT_EQ(got[0].bytes, (Bytes{0xB0, 0x00, 0x01}));
    EXPECT_EQ(got[0].sourceClient, client);

    // A second window offers its own under another name, and says so in the log.
    OwnWindow second;
    EXPECT_EQ(second.own.clientName(), "Virtual Korvane Vela 2");
    EXPECT_EQ(portsOf("Virtual Korvane Vela 2").size(), 2u);
}

TEST(AlsaOwnPorts, ControllersOnMotorsMoveTheKnobsAndAFloodOfThemLeavesTheWindowResponsive) {
    AlsaSender faders("vkv-own-faders");
    OwnWindow w;
    ASSERT_EQ(aconnect({"vkv-own-faders:0", "Virtual Korvane Vela:1"}), 0);
    w.form.history().change(vkv::image::ImageChange::received(), [](vkv::image::ConfigImage &i) {
        i.setPot(3, vkv::image::PotStatus, 0xB0); // Controller 7 on channel 1
        i.setPot(3, vkv::image::PotByte1, 7);
    });
    w.ui.vMotPots->click();
    TFaderDesk *desk = w.showBox();
    ASSERT_EQ(faders.sendController(0, 7, 64), 0);
    EXPECT_TRUE(testui::waitUntil([&] { return desk->knob(3)->Position() == 64; }, 5000));

    // SysEx written to Motors is no dump.
    const vkv::image::DumpBytes before = w.form.image().bytes();
    Bytes dump(before.begin(), before.end());
    dump[10] ^= 0x11;
    ASSERT_EQ(faders.sendSysEx(dump.data(), dump.size()), 0);
    EXPECT_TRUE(testui::waitUntil([&] { return w.own.sysExIgnored() == 1; }, 5000));
    EXPECT_EQ(w.form.image().bytes(), before);

    // A client that writes as fast as the sequencer takes: the window keeps handling its events
    // meanwhile, and ends on the last value.
    constexpr int Flood = 20000;
    std::atomic<bool> done{false};
    std::thread flood([&] {
        for (int i = 0; i < Flood; ++i)
            faders.sendController(0, 7, static_cast<unsigned char>(i % 100));
        faders.sendController(0, 7, 127);
        done = true;
    });
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    probe.start(5);
    testui::waitUntil([&] { return done.load(); }, 60000);
    const qint64 took = clock.elapsed();
    flood.join();
    EXPECT_TRUE(testui::waitUntil([&] { return desk->knob(3)->Position() == 127; }, 5000));
    std::printf("a flood of %d controllers on Motors took %lld ms; the longest the window's event "
                "loop waited: %lld ms\n",
                Flood + 1, static_cast<long long>(took), static_cast<long long>(longest));
    // In an emulated CPU, with two threads of the test beside it.
    EXPECT_LT(longest, 1000);
}
