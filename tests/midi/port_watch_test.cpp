// Watching the system's ports: what names a port across plugging, the polling watcher every back
// end can fall back on, and the JACK server's announcements for real.
#include "Backend.h"
#include "DeviceList.h"
#include "JackReceiver.h"
#include "MidiPort.h"
#include "PortNames.h"
#include "PortWatch.h"
#include "UiDriver.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

using vkv::backendapi::PortWatch;

TEST(PortNames, APortIsFoundAgainByItsWholeNameAndShownSoTwoCanBeToldApart) {
    const struct {
        const char *name, *key;
    } keys[] = {
        {"vkv-alsa-recv:in 129:0", "vkv-alsa-recv:in"}, // the sequencer numbers a client anew
        {"vkv-alsa-recv:in 130:0", "vkv-alsa-recv:in"},
        {"Midi Through:Midi Through Port-0 14:0", "Midi Through:Midi Through Port-0"},
        {"vela-box:in", "vela-box:in"}, // JACK names carry no address
        {"USB MIDI:port 1 x:0", "USB MIDI:port 1 x:0"},
        {"USB MIDI:port 1234:0", "USB MIDI:port 1234:0"}, // no client has more than 3 digits
        {"", ""},
    };
    for (const auto &row : keys)
        EXPECT_EQ(vkv::ports::portKey(row.name), row.key) << row.name;

    // Two boxes of one make, and two ports whose names agree in their first 31 characters.
    const std::string usb = "USB MIDI Interface:USB MIDI Interface MIDI 1";
    const std::string longName = "vkvtwinpeer-aaaaaaaaaaaaaaaaaaa";
    std::array<vkv::ports::ListedDevice, vkv::ports::MaxDevs> listed{};
    const std::vector<std::string> names = {usb + " 20:0", usb + " 24:0", longName + "1:in",
                                            longName + "2:in", "b:in 129:0"};
    for (std::size_t n = 0; n < names.size(); ++n)
        listed[n] = {names[n], static_cast<int>(n)};
    const int count = static_cast<int>(names.size());
    const struct {
        std::string remembered;
        int found;
    } found[] = {
        {usb + " 24:0", 1},     // the very one, though its key is the first one's too
        {usb + " 28:0", 0},     // plugged anew: by its key, the first of that key
        {longName + "2:in", 3}, // never the first whose start is the same
        {longName + "3:in", -1},
        {"b:in 131:0", 4},
        {longName, -1},         // kept cut by an earlier version: two fit, so neither
        {usb.substr(0, 31), 0}, // one key fits
        {"", -1},               // "None" is no port
    };
    for (const auto &row : found)
        EXPECT_EQ(vkv::ports::findRemembered(listed, count, row.remembered), row.found)
            << row.remembered;
    EXPECT_EQ(vkv::ports::findRemembered(listed, 4, "b:in 129:0"), -1); // beyond the count

    // Where the cut makes two the same, their whole names show; the rest keep the cut.
    const std::vector<std::string> shown =
        vkv::ports::shownNames({usb + " 20:0", usb + " 24:0", "b:in 129:0",
                                "Midi Through:Midi Through Port-0 14:0", "same:in", "same:in"});
    EXPECT_EQ(shown, (std::vector<std::string>{usb + " 20:0", usb + " 24:0", "b:in 129:0",
                                               "Midi Through:Midi Through Port-", "same:in",
                                               "same:in #2"}));
}

TEST(PortNames, ThePortsOfTheProgramsClientsInEveryInstanceAreNeverListed) {
    const struct {
        const char *name;
        bool own;
    } ports[] = {
        {"Virtual Korvane Vela:Knobs", true},
        {"Virtual Korvane Vela 2:Motors 129:1", true}, // a second instance's, on ALSA
        {"vkvela MIDI OUT:MIDI Out", true},
        {"vkvela MIDI OUT-01:MIDI Out", true}, // JACK numbers a second client of a name
        {"vkvela MIDI IN:MIDI In 130:0", true},
        {"vkvela watch:Port Watch", true},
        {"Virtual Korvane Vela Synth:in", false},
        {"Virtual Korvane Vela-01:in", false},
        {"vkvela MIDI OUT 2:in", false},
        {"vkvela:in", false},
        {"Midi Through:Midi Through Port-0 14:0", false},
    };
    std::vector<std::string> names;
    std::vector<std::string> others;
    for (const auto &port : ports) {
        names.push_back(port.name);
        if (!port.own)
            others.push_back(port.name);
    }
    std::array<vkv::ports::DeviceCaps, vkv::ports::MaxDevs> caps{};
    std::array<vkv::ports::ListedDevice, vkv::ports::MaxDevs> listed{};
    const int count = vkv::ports::listDevices(names, caps, listed);
    std::vector<std::string> shown;
    for (int n = 0; n < count; ++n)
        shown.push_back(listed[n].name);
    EXPECT_EQ(shown, others);
}

TEST(PollingPortWatch, SaysOnceForEachChangeOfTheNames) {
    std::vector<std::string> names = {"a:in", "b:in"};
    vkv::backendapi::PollingPortWatch watch([&] { return names; }, 20);
    QSignalSpy changed(&watch, &PortWatch::changed);
    testui::settle(150);
    EXPECT_EQ(changed.count(), 0);
    names.push_back("c:in");
    EXPECT_TRUE(testui::waitUntil([&] { return changed.count() == 1; }, 1000));
    testui::settle(150);
    EXPECT_EQ(changed.count(), 1);
    names.erase(names.begin());
    EXPECT_TRUE(testui::waitUntil([&] { return changed.count() == 2; }, 1000));
}

TEST(PortWatch, JackAPortThatComesOrGoesIsAnnouncedWithinASecond) {
    auto watch = PortWatch::create(vkv::backendapi::Backend::Jack, {});
    ASSERT_STREQ(watch->how(), "JACK callbacks");
    QSignalSpy changed(watch.get(), &PortWatch::changed);
    // The first connection to the server is news of its own.
    ASSERT_TRUE(testui::waitUntil([&] { return changed.count() == 1; }, 5000));
    testui::settle(200);
    changed.clear();

    QElapsedTimer took;
    took.start();
    auto receiver = std::make_unique<JackReceiver>("vkvwatched");
    ASSERT_TRUE(testui::waitUntil([&] { return changed.count() >= 1; }, 1000));
    std::printf("a JACK port announced %lld ms after it was made\n",
                static_cast<long long>(took.elapsed()));
    testui::settle(200);
    // One for the burst of a client's registration and activation.
    EXPECT_LE(changed.count(), 2);
}

namespace {

// A port over a back end of names only, such as the polling watcher compares: every listed device
// opens, and the test says which devices there are.
class FakePort : public vkv::ports::MidiPort {
public:
    explicit FakePort(std::vector<std::string> &names) : MidiPort(nullptr), names(names) {
        backend_ = vkv::backendapi::Backend::Alsa;
        listFrom(names);
    }
    ~FakePort() override { closeForRelease(); }

private:
    std::vector<std::string> backendNames() override { return names; }
    bool hasBackend() const override { return true; }
    bool openBackend(unsigned, const std::string &) override { return true; }
    void closeDevice() override { open_ = false; }
    void renewBackend() override {}

    std::vector<std::string> &names;
};

} // namespace

TEST(PollingPortWatch, ADeviceBackUnderANewAddressInOneReReadStaysOpen) {
    std::vector<std::string> names = {"box:in 20:0", "other:in 21:0"};
    FakePort port(names);
    int lostWords = 0;
    port.OnLost = [&](QObject *) { ++lostWords; };
    port.SetPort(0);
    port.SetUsing(true);
    ASSERT_TRUE(port.isOpen());
    const std::string remembered = port.deviceName(0);
    // What the window does at each change: read the list again, and open the remembered device
    // as a choice would when the port is no longer open.
    vkv::backendapi::PollingPortWatch watch([&] { return names; }, 20);
    QObject::connect(&watch, &PortWatch::changed, [&] {
        if (!port.relist() || port.isOpen())
            return;
        if (const int again = port.findRemembered(remembered); again >= 0) {
            port.SetUsing(false);
            port.SetPort(again);
            port.SetUsing(true);
        }
    });

    // Gone and back within one burst of changes: the word of its loss is about the old opening.
    names = {"other:in 21:0", "box:in 24:0"};
    ASSERT_TRUE(testui::waitUntil([&] { return port.Port() == 1; }, 1000));
    testui::settle(100);
    EXPECT_TRUE(port.isOpen());
    EXPECT_TRUE(port.Using());
    EXPECT_EQ(lostWords, 0);
    // Gone for good: said once.
    names = {"other:in 21:0"};
    EXPECT_TRUE(testui::waitUntil([&] { return lostWords == 1; }, 1000));
    EXPECT_FALSE(port.isOpen());
}
