// Watching the system's ports: what names a port across plugging, the polling watcher every back
// end can fall back on, and the JACK server's announcements for real.
#include "JackReceiver.h"
#include "MidiBackend.h"
#include "PortWatch.h"
#include "UiDriver.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

using vkv::midi::PortWatch;

TEST(PortKey, NamesAPortAcrossPluggingAsTheListsShowIt) {
    const struct {
        const char *name, *key;
    } rows[] = {
        {"vkv-alsa-recv:in 129:0", "vkv-alsa-recv:in"}, // the sequencer numbers a client anew
        {"vkv-alsa-recv:in 130:0", "vkv-alsa-recv:in"},
        {"Midi Through:Midi Through Port-0 14:0", "Midi Through:Midi Through Port-"},
        {"vela-box:in", "vela-box:in"}, // JACK names carry no address
        {"USB MIDI:port 1 x:0", "USB MIDI:port 1 x:0"},
        {"USB MIDI:port 1234:0", "USB MIDI:port 1234:0"}, // no client has more than 3 digits
        {"", ""},
    };
    for (const auto &row : rows)
        EXPECT_EQ(vkv::midi::portKey(row.name), row.key) << row.name;

    std::array<vkv::midi::ListedDevice, vkv::midi::MaxDevs> listed{};
    listed[0] = {"a:in 128:0", 0};
    listed[1] = {"b:in 129:0", 1};
    EXPECT_EQ(vkv::midi::findByKey(listed, 2, "b:in"), 1);
    EXPECT_EQ(vkv::midi::findByKey(listed, 1, "b:in"), -1);
    EXPECT_EQ(vkv::midi::findByKey(listed, 2, ""), -1); // "None" is no port
}

TEST(PollingPortWatch, SaysOnceForEachChangeOfTheNames) {
    std::vector<std::string> names = {"a:in", "b:in"};
    vkv::midi::PollingPortWatch watch([&] { return names; }, 20);
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
    auto watch = PortWatch::create(vkv::midi::Backend::Jack, {});
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
