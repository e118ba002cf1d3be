#include "JackSender.h"
#include "MidiInSplitter.h"
#include "TMidiIn.h"
#include "UiDriver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using testui::settle;
using testui::waitUntil;
using vkv::backendapi::Backend;
using vkv::midi::MidiInEvent;
using vkv::midi::MidiInSplitter;
using Bytes = std::vector<unsigned char>;
using Events = std::vector<MidiInEvent>;

void PrintTo(const MidiInEvent &e, std::ostream *os) {
    *os << (e.sysEx ? "sysex" : "short") << std::hex;
    for (unsigned char b : e.bytes)
        *os << ' ' << int(b);
}

namespace {

Bytes dumpOf(std::size_t size) {
    Bytes dump(size);
    for (std::size_t i = 1; i + 1 < size; ++i)
        dump[i] = static_cast<unsigned char>((i * 13 + i / 128) & 0x7F);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    return dump;
}

Events split(const Bytes &delivered, MidiInSplitter *splitter = nullptr) {
    MidiInSplitter fresh;
    Events events;
    (splitter ? *splitter : fresh).split(delivered.data(), delivered.size(), events);
    return events;
}

MidiInEvent shortOf(unsigned char s, unsigned char f, unsigned char x) {
    return {false, {s, f, x}};
}
MidiInEvent pieceOf(Bytes bytes) {
    return {true, std::move(bytes)};
}

// What a port raised, in order; active sensing, which the tests send to find a link up, apart.
struct Log {
    Events events;
    int sensing = 0;
    bool offGuiThreadOrWrongSender = false;

    explicit Log(TMidiIn &in) {
        in.OnShort = [this, &in](QObject *sender, uint8_t status, uint8_t first, uint8_t second) {
            check(sender, &in);
            if (status == 0xFE)
                ++sensing;
            else
                events.push_back(shortOf(status, first, second));
        };
        in.OnSysEx = [this, &in](QObject *sender, char *data, int size) {
            check(sender, &in);
            events.push_back(pieceOf(Bytes(data, data + size)));
        };
    }
    void check(QObject *sender, TMidiIn *in) {
        offGuiThreadOrWrongSender |=
            sender != in || QThread::currentThread() != QCoreApplication::instance()->thread();
    }
    Bytes sysEx() const {
        Bytes all;
        for (const auto &e : events)
            if (e.sysEx)
                all.insert(all.end(), e.bytes.begin(), e.bytes.end());
        return all;
    }
};

int findDevice(const TMidiIn &in, const JackSender &sender) {
    return testui::deviceIndex(in, sender.portName());
}

// A new connection carries data only from one of the server's next cycles on, which can take a
// while on a busy machine: sends active sensing until the port raises it.
bool linkUp(JackSender &sender, Log &log) {
    const int before = log.sensing;
    for (int tries = 0; tries < 200 && log.sensing == before; ++tries) {
        sender.send({0xFE});
        waitUntil([&] { return log.sensing != before; }, 100);
    }
    return log.sensing != before;
}

// Sends until `arrived` holds: the tests' server drops a cycle's MIDI now and then when it runs
// late. Checks after it must allow for repeats.
bool sendUntil(JackSender &sender, const std::vector<Bytes> &messages,
               const std::function<bool()> &arrived) {
    for (int tries = 0; tries < 20 && !arrived(); ++tries) {
        for (const auto &message : messages)
            sender.send(message);
        waitUntil(arrived, 1000);
    }
    return arrived();
}

void openOn(TMidiIn &in, JackSender &sender, Log &log) {
    in.SetPort(findDevice(in, sender));
    in.SetUsing(true);
    ASSERT_EQ(in.OpenResult(), vkv::ports::Result::NoError);
    ASSERT_TRUE(linkUp(sender, log));
}

} // namespace

TEST(MidiInSplitter, ShortMessagesWithZerosForMissingBytes) {
    EXPECT_EQ(split({0x90, 0x3C, 0x64}), Events{shortOf(0x90, 0x3C, 0x64)});
    EXPECT_EQ(split({0xC5, 0x10}), Events{shortOf(0xC5, 0x10, 0)});
    EXPECT_EQ(split({0xF8}), Events{shortOf(0xF8, 0, 0)});
    EXPECT_EQ(split({0x90, 0x3C, 0xB0, 0x07, 0x64}),
              (Events{shortOf(0x90, 0x3C, 0), shortOf(0xB0, 0x07, 0x64)}));
    EXPECT_EQ(split({0x90, 0xF8, 0x3C, 0x64}),
              (Events{shortOf(0xF8, 0, 0), shortOf(0x90, 0x3C, 0x64)}));
    EXPECT_TRUE(split({0x3C, 0x64, 0xF7}).empty()); // bytes of no message
}

TEST(MidiInSplitter, SysExInPiecesOf128) {
    const Bytes dump = dumpOf(1543);
    const Events events = split(dump);
    ASSERT_EQ(events.size(), 13u);
    Bytes joined;
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].bytes.size(), i < 12 ? 128u : 7u) << i;
        joined.insert(joined.end(), events[i].bytes.begin(), events[i].bytes.end());
    }
    EXPECT_EQ(joined, dump);
    EXPECT_EQ(split(dumpOf(300)).back().bytes.size(), 44u);
    EXPECT_EQ(split(dumpOf(129)).back().bytes.size(), 1u);
    EXPECT_EQ(split(dumpOf(256)).size(), 2u);

    // A SysEx left open goes on in the next delivery, unless the port starts anew.
    MidiInSplitter splitter;
    EXPECT_EQ(split({0xF0, 0x01}, &splitter), Events{pieceOf({0xF0, 0x01})});
    EXPECT_EQ(split({0x02, 0xF7, 0x05}, &splitter), Events{pieceOf({0x02, 0xF7})});
    split({0xF0, 0x01}, &splitter);
    splitter.reset();
    EXPECT_TRUE(split({0x02, 0xF7}, &splitter).empty());
}

TEST(MidiInSplitter, GluedMessagesTakenOutAndCutOffSysExDropped) {
    EXPECT_EQ(split({0xF0, 0x01, 0x90, 0x3C, 0x64, 0xF8, 0x02, 0xF7}),
              (Events{pieceOf({0xF0, 0x01}), shortOf(0x90, 0x3C, 0x64), shortOf(0xF8, 0, 0),
                      pieceOf({0x02, 0xF7})}));
    // A new F0 cuts off an unfinished SysEx: what of it is not handed on yet is dropped, but a
    // message glued into it stays.
    const Bytes dump = dumpOf(300);
    Bytes cut = {0xF0, 0x80, 0x01, 0x02};
    cut.insert(cut.begin() + 1, 199, 0x11);
    cut.insert(cut.end(), dump.begin(), dump.end());
    const Events events = split(cut);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], shortOf(0x80, 0x01, 0x02));
    EXPECT_EQ(events[1].bytes, Bytes(dump.begin(), dump.begin() + 128));
}

TEST(MidiInSplitter, AwkwardStreamsAsBoxesAndBackEndsDeliverThem) {
    const MidiInEvent broken{true, {}, true};
    const struct {
        const char *what;
        std::vector<Bytes> deliveries;
        Events events;
    } rows[] = {
        {"running status",
         {{0x90, 0x3C, 0x64, 0x3E, 0x64, 0x40}},
         {shortOf(0x90, 0x3C, 0x64), shortOf(0x90, 0x3E, 0x64), shortOf(0x90, 0x40, 0)}},
        {"running status, not across deliveries",
         {{0xC1, 0x05, 0xF8, 0x06}, {0x07}},
         {shortOf(0xC1, 0x05, 0), shortOf(0xF8, 0, 0), shortOf(0xC1, 0x06, 0)}},
        {"a system message ends running status",
         {{0xB0, 0x07, 0x10, 0xF6, 0x08, 0x11}},
         {shortOf(0xB0, 0x07, 0x10), shortOf(0xF6, 0, 0)}},
        {"a stray F7", {{0xF7}, {0x90, 0x3C, 0x64, 0xF7, 0x01}}, {shortOf(0x90, 0x3C, 0x64)}},
        {"empty deliveries",
         {{}, {0xF0, 0x01}, {}, {0x02, 0xF7}},
         {pieceOf({0xF0, 0x01}), pieceOf({0x02, 0xF7})}},
        {"real-time bytes inside a SysEx",
         {{0xF0, 0x01, 0xF8, 0x02, 0xFE, 0xF7}},
         {pieceOf({0xF0, 0x01}), shortOf(0xF8, 0, 0), pieceOf({0x02}), shortOf(0xFE, 0, 0),
          pieceOf({0xF7})}},
        {"a SysEx without F7, then a new F0",
         {{0xF0, 0x01, 0x02}, {0xF0, 0x03, 0xF7}},
         {pieceOf({0xF0, 0x01, 0x02}), pieceOf({0xF0, 0x03, 0xF7})}},
        // An input queue that overran: the remains of a SysEx with the next message glued on.
        {"the end of a SysEx lost",
         {{0xF0, 0x01, 0x02, 0xB0, 0x07, 0x64}, {0x03, 0x04, 0xF7}},
         {shortOf(0xB0, 0x07, 0x64), broken}},
        {"one lost after pieces raised",
         {{0xF0, 0x01}, {0x02, 0x90, 0x3C, 0x64}},
         {pieceOf({0xF0, 0x01}), shortOf(0x90, 0x3C, 0x64), broken}},
        // Real-time bytes between the pieces of a device's SysEx never break it, wherever the
        // back end puts them.
        {"a real-time byte ending a delivery",
         {{0xF0, 0x01, 0xFE}, {0x02, 0xF7}},
         {pieceOf({0xF0, 0x01}), shortOf(0xFE, 0, 0), pieceOf({0x02, 0xF7})}},
        {"real-time bytes alone between deliveries",
         {{0xF0, 0x01}, {0xF8}, {0xFE, 0xFA}, {0x02, 0xF7}},
         {pieceOf({0xF0, 0x01}), shortOf(0xF8, 0, 0), shortOf(0xFE, 0, 0), shortOf(0xFA, 0, 0),
          pieceOf({0x02, 0xF7})}},
        {"a real-time byte starting a delivery",
         {{0xF0, 0x01}, {0xFC, 0x02, 0xFF}, {0x03, 0xF7}},
         {pieceOf({0xF0, 0x01}), shortOf(0xFC, 0, 0), pieceOf({0x02}), shortOf(0xFF, 0, 0),
          pieceOf({0x03, 0xF7})}},
        {"a status byte after a real-time byte still breaks it",
         {{0xF0, 0x01, 0xFE}, {0xB0, 0x07, 0x64}},
         {pieceOf({0xF0, 0x01}), shortOf(0xFE, 0, 0), shortOf(0xB0, 0x07, 0x64), broken}},
    };
    for (const auto &row : rows) {
        MidiInSplitter splitter;
        Events events;
        for (const Bytes &d : row.deliveries)
            splitter.split(d.data(), d.size(), events);
        EXPECT_EQ(events, row.events) << row.what;
    }
}

TEST(MidiIn, NoServiceMeansNoDevicesAndRefusedOpens) {
    const QByteArray server = qgetenv("JACK_DEFAULT_SERVER");
    qputenv("JACK_DEFAULT_SERVER", "vkv-no-such-server");
    TMidiIn in(nullptr, Backend::Jack);
    qputenv("JACK_DEFAULT_SERVER", server);
    EXPECT_EQ(in.NumDevs(), 0);
    EXPECT_TRUE(in.UseShort() && in.UseSysEx());
    in.SetPort(0); // not below NumDevs: ignored
    EXPECT_EQ(in.Port(), 0);
    in.SetUsing(true);
    EXPECT_TRUE(in.Using());
    EXPECT_NE(in.OpenResult(), vkv::ports::Result::NoError);
}

TEST(MidiIn, JackShortMessagesArriveInOrderOnTheGuiThread) {
    JackSender sender("vkvshort");
    TMidiIn in(nullptr, Backend::Jack);
    Log log(in);
    ASSERT_GE(findDevice(in, sender), 0);
    openOn(in, sender, log);
    in.SetUsing(true); // already open: nothing happens
    EXPECT_EQ(in.OpenResult(), vkv::ports::Result::NoError);

    std::vector<Bytes> sent = {{0x90, 0x3C, 0x64}, {0xF8}, {0xC5, 0x10}, {0xB0, 0x7F, 0x00}};
    for (unsigned char note = 0; note < 100; ++note)
        sent.push_back({0x91, note, static_cast<unsigned char>(127 - note)});
    Events expected;
    for (auto &message : sent) {
        sender.send(message);
        message.resize(3); // missing data bytes come as zeros
        expected.push_back(shortOf(message[0], message[1], message[2]));
    }
    ASSERT_TRUE(waitUntil([&] { return log.events.size() >= sent.size(); }));
    settle(100);
    EXPECT_EQ(log.events, expected);
    EXPECT_FALSE(log.offGuiThreadOrWrongSender);
}

TEST(MidiIn, JackSysExArrivesInPiecesOf128) {
    JackSender sender("vkvdump");
    TMidiIn in(nullptr, Backend::Jack);
    Log log(in);
    openOn(in, sender, log);

    const Bytes dump = dumpOf(1543);
    ASSERT_TRUE(sendUntil(sender, {dump}, [&] { return log.sysEx().size() >= dump.size(); }));
    ASSERT_GE(log.events.size(), 13u);
    for (std::size_t i = 0; i < 13; ++i)
        EXPECT_EQ(log.events[i].bytes.size(), i < 12 ? 128u : 7u) << i;
    const Bytes got = log.sysEx();
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 1543), dump);
    EXPECT_FALSE(log.offGuiThreadOrWrongSender);

    // Sent in slices with a short message between them: the back end glues them all together.
    log.events.clear();
    sender.send({0xF0, 0x01, 0x02});
    sender.send({0x90, 0x3C, 0x64});
    sender.send({0x03, 0xF7});
    ASSERT_TRUE(waitUntil([&] { return log.events.size() >= 3; }));
    settle(100);
    EXPECT_EQ(log.events, (Events{pieceOf({0xF0, 0x01, 0x02}), shortOf(0x90, 0x3C, 0x64),
                                  pieceOf({0x03, 0xF7})}));
}

TEST(MidiIn, JackUseShortAndUseSysExFalseDropMessages) {
    JackSender sender("vkvuse");
    TMidiIn in(nullptr, Backend::Jack);
    Log log(in);
    openOn(in, sender, log);

    auto arrived = [&] { return !log.events.empty(); };
    in.SetUseShort(false);
    ASSERT_TRUE(sendUntil(sender, {{0x90, 0x3C, 0x64}, {0xF0, 0x01, 0xF7}}, arrived));
    settle(100);
    for (const auto &e : log.events)
        EXPECT_EQ(e, pieceOf({0xF0, 0x01, 0xF7}));

    log.events.clear();
    in.SetUseShort(true);
    in.SetUseSysEx(false);
    ASSERT_TRUE(sendUntil(sender, {dumpOf(1543), {0x80, 0x3C, 0x00}}, arrived));
    settle(100);
    for (const auto &e : log.events)
        EXPECT_EQ(e, shortOf(0x80, 0x3C, 0x00));
}

TEST(MidiIn, JackClosingDropsWhatHasArrivedAndAnUnfinishedSysEx) {
    JackSender sender("vkvclose");
    TMidiIn in(nullptr, Backend::Jack);
    Log log(in);
    openOn(in, sender, log);

    sender.send({0x90, 0x3C, 0x64});
    sender.send(dumpOf(1543));
    sender.send({0xF0, 0x01, 0x02, 0x03}); // a SysEx whose end never comes
    QThread::msleep(300);                  // the back end has them; the event loop has not run
    in.SetUsing(false);
    sender.send({0x90, 0x3D, 0x64});
    settle();
    EXPECT_TRUE(log.events.empty());

    // RtMidi's JACK input keeps the unfinished SysEx over the close and glues what comes after
    // the re-open to it: none of the old SysEx may come out. Sent until the new link carries it.
    in.SetUsing(true);
    ASSERT_EQ(in.OpenResult(), vkv::ports::Result::NoError);
    const Bytes dump = dumpOf(300);
    for (int tries = 0; tries < 60 && log.events.empty(); ++tries) {
        sender.send({0x90, 0x3E, 0x64});
        sender.send(dump);
        waitUntil([&] { return log.sysEx().size() >= dump.size(); }, 300);
    }
    settle();
    ASSERT_FALSE(log.events.empty());
    const Bytes got = log.sysEx();
    ASSERT_EQ(got.size() % dump.size(), 0u);
    for (std::size_t at = 0; at < got.size(); at += dump.size())
        EXPECT_EQ(Bytes(got.begin() + at, got.begin() + at + dump.size()), dump) << at;
    for (const auto &e : log.events)
        EXPECT_TRUE(e.sysEx || e == shortOf(0x90, 0x3E, 0x64));
}

TEST(MidiIn, JackSetPortReopensOnAnotherDevice) {
    JackSender a("vkvina");
    JackSender b("vkvinb");
    TMidiIn in(nullptr, Backend::Jack);
    Log log(in);
    in.SetPort(-2); // refused, then SetPort on the closed port keeps the result
    in.SetUsing(true);
    const auto refused = in.OpenResult();
    EXPECT_NE(refused, vkv::ports::Result::NoError);
    in.SetUsing(false);
    in.SetPort(findDevice(in, b));
    EXPECT_EQ(in.OpenResult(), refused);

    openOn(in, a, log);
    a.send({0x90, 0x01, 0x01});
    QThread::msleep(300); // handed over, not yet raised: dropped by the re-open
    in.SetPort(findDevice(in, b));
    EXPECT_EQ(in.Port(), findDevice(in, b));
    EXPECT_EQ(in.OpenResult(), vkv::ports::Result::NoError);
    ASSERT_TRUE(linkUp(b, log));
    a.send({0x90, 0x02, 0x02});
    ASSERT_TRUE(sendUntil(b, {{0x90, 0x03, 0x03}}, [&] { return !log.events.empty(); }));
    settle();
    for (const auto &e : log.events)
        EXPECT_EQ(e, shortOf(0x90, 0x03, 0x03));
}

TEST(MidiIn, JackDestroyedWithMessagesOnTheirWay) {
    JackSender sender("vkvgone");
    auto in = std::make_unique<TMidiIn>(nullptr, Backend::Jack);
    Log log(*in);
    openOn(*in, sender, log);
    const int sensing = log.sensing;
    sender.send({0x90, 0x3C, 0x64});
    sender.send({0xFE});
    QThread::msleep(300); // handed over, not yet raised
    in.reset();
    sender.send({0x90, 0x3D, 0x64});
    settle(300);
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(log.sensing, sensing);
}

TEST(MidiIn, JackHandlersMayRunTheEventLoopOrCloseThePort) {
    JackSender sender("vkvnest");
    TMidiIn in(nullptr, Backend::Jack);
    Log log(in);
    openOn(in, sender, log);

    // Messages that come while a handler runs the event loop are raised after it, in order.
    std::size_t raisedInside = 0;
    auto logShort = in.OnShort;
    in.OnShort = [&](QObject *s, uint8_t status, uint8_t first, uint8_t second) {
        logShort(s, status, first, second);
        if (log.events.size() == 1) {
            for (unsigned char note = 1; note < 10; ++note)
                sender.send({0x90, note, 0x40});
            settle(300);
            raisedInside = log.events.size() - 1;
        }
    };
    sender.send({0x90, 0x00, 0x40});
    ASSERT_TRUE(waitUntil([&] { return log.events.size() >= 10; }));
    EXPECT_EQ(raisedInside, 0u);
    for (unsigned char note = 0; note < 10; ++note)
        EXPECT_EQ(log.events[note], shortOf(0x90, note, 0x40));

    // A handler that closes the port gets nothing more, not even the rest of the same dump.
    log.events.clear();
    in.OnSysEx = [&](QObject *, char *, int) {
        log.events.push_back(pieceOf({}));
        in.SetUsing(false);
    };
    sender.send(dumpOf(1543));
    ASSERT_TRUE(waitUntil([&] { return !log.events.empty(); }));
    settle();
    EXPECT_EQ(log.events.size(), 1u);
}

// Last: its senders stay listed for the rest of the process and would push others' beyond the
// twelfth place.
TEST(MidiIn, JackListsAtMostTwelveDevicesAndRefusesBadNumbers) {
    std::vector<std::unique_ptr<JackSender>> senders;
    for (int i = 0; i < 15; ++i)
        senders.push_back(std::make_unique<JackSender>("vkvs" + std::to_string(i)));
    TMidiIn in(nullptr, Backend::Jack);
    EXPECT_EQ(in.NumDevs(), 12);
    in.SetPort(5);
    in.SetPort(12);
    EXPECT_EQ(in.Port(), 5);
    in.SetPort(-1); // kept, but never handed to the back end
    EXPECT_EQ(in.Port(), -1);
    in.SetUsing(true);
    EXPECT_TRUE(in.Using());
    EXPECT_EQ(in.OpenResult(), vkv::ports::Result::BadDeviceId);
    in.SetPort(11);
    EXPECT_EQ(in.OpenResult(), vkv::ports::Result::NoError);
}
