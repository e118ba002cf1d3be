// The MIDI ports over a real ALSA sequencer: the guest's kernel with snd-seq-dummy ("Midi Through")
// and plain libasound clients made here as the other end.
#include "AlsaReceiver.h"
#include "AlsaSender.h"
#include "Backend.h"
#include "DumpReceiver.h"
#include "TMidiIn.h"
#include "TMidiOut.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using vkv::backendapi::Backend;
using Bytes = std::vector<unsigned char>;
using Clock = AlsaReceiver::Clock;

namespace {

constexpr std::size_t DumpSize = 1543;
// The pause between the pieces of a paced send.
constexpr auto PieceGap = std::chrono::milliseconds(2);

// A configuration dump: header, 1536 record bytes in a pattern that repeats only after the whole
// dump (so a lost, doubled or swapped piece shows), F7.
Bytes dump() {
    Bytes bytes = {0xF0, 0x00, 0x00, 0x7E, 0x42, 0x02};
    for (int i = 0; i < 1536; ++i)
        bytes.push_back(static_cast<unsigned char>((i * 7 + i / 128) & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
}

// The paced send's pieces: the 6-byte header, 511 of 3 bytes, and the last 4 ending in F7.
std::vector<Bytes> pieces(const Bytes &whole) {
    std::vector<Bytes> result;
    std::size_t at = 0;
    auto take = [&](std::size_t n) {
        result.emplace_back(whole.begin() + at, whole.begin() + at + n);
        at += n;
    };
    take(6);
    for (int i = 0; i < 511; ++i)
        take(3);
    take(4);
    return result;
}

// RtMidi lists ALSA ports as "client:port C:P"; the device names keep 31 characters of that.
template <typename Port> int findDevice(const Port &port, const std::string &name) {
    const std::string start = (name + " ").substr(0, sizeof port.DevCaps[0].szPname - 1);
    for (int n = 0; n < port.NumDevs(); ++n)
        if (std::string(port.DevCaps[n].szPname).rfind(start, 0) == 0)
            return n;
    return -1;
}
template <typename Port> std::vector<std::string> devices(const Port &port) {
    std::vector<std::string> names;
    for (int n = 0; n < port.NumDevs(); ++n)
        names.push_back(port.DevCaps[n].szPname);
    return names;
}

// Runs the event loop until `done` holds or the time is up.
bool waitUntil(const std::function<bool()> &done, int milliseconds = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return done();
}

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void openOn(TMidiOut &out, const AlsaReceiver &receiver) {
    ASSERT_EQ(out.backend(), Backend::Alsa);
    const int n = findDevice(out, receiver.portName());
    ASSERT_GE(n, 0) << receiver.portName() << " not listed";
    out.SetPort(n);
    out.SetUsing(true);
    ASSERT_EQ(out.OpenResult(), vkv::ports::Result::NoError);
}

Bytes joined(const std::vector<AlsaReceiver::Event> &events) {
    Bytes all;
    for (const auto &e : events)
        all.insert(all.end(), e.bytes.begin(), e.bytes.end());
    return all;
}

} // namespace

TEST(AlsaPorts, OutputAndInputListTheSequencersPorts) {
    AlsaReceiver receiver("vkv-alsa-recv");
    AlsaSender sender("vkv-alsa-send");
    TMidiOut out(nullptr, Backend::Alsa);
    TMidiIn in(nullptr, Backend::Alsa);
    ASSERT_EQ(out.backend(), Backend::Alsa);
    ASSERT_EQ(in.backend(), Backend::Alsa);
    EXPECT_GE(findDevice(out, "Midi Through:Midi Through Port-0"), 0)
        << ::testing::PrintToString(devices(out));
    EXPECT_GE(findDevice(out, receiver.portName()), 0) << ::testing::PrintToString(devices(out));
    EXPECT_LT(findDevice(out, sender.portName()), 0); // it only sends
    EXPECT_GE(findDevice(in, "Midi Through:Midi Through Port-0"), 0)
        << ::testing::PrintToString(devices(in));
    EXPECT_GE(findDevice(in, sender.portName()), 0) << ::testing::PrintToString(devices(in));
    EXPECT_LT(findDevice(in, receiver.portName()), 0); // it only receives
}

TEST(AlsaOut, ShortMessagesArriveByteForByteAndInOrderWithSysExPieces) {
    AlsaReceiver receiver("vkv-alsa-recv");
    TMidiOut out(nullptr, Backend::Alsa);
    openOn(out, receiver);

    const Bytes head = {0xF0, 0x00, 0x00, 0x7E}, tail = {0x42, 0x02, 0xF7};
    out.Put(char(0xB0), 0x07, 0x64);
    out.Put(char(0x90), 0x3C, 0x7F);
    out.Put(char(0xC5), 0x10, 0x55); // program change: two bytes only
    out.Put(char(0xF8), 0x00, 0x00); // clock: one byte
    // A short message between two pieces of a SysEx must come out between them too.
    out.SysEx(reinterpret_cast<const char *>(head.data()), int(head.size()));
    out.Put(char(0xE3), 0x01, 0x40);
    out.SysEx(reinterpret_cast<const char *>(tail.data()), int(tail.size()));

    const auto got = receiver.waitFor(7);
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[0].bytes, (Bytes{0xB0, 0x07, 0x64}));
    EXPECT_EQ(got[1].bytes, (Bytes{0x90, 0x3C, 0x7F}));
    EXPECT_EQ(got[2].bytes, (Bytes{0xC5, 0x10}));
    EXPECT_EQ(got[3].bytes, (Bytes{0xF8}));
    EXPECT_TRUE(got[4].sysEx);
    EXPECT_EQ(got[4].bytes, head);
    EXPECT_EQ(got[5].bytes, (Bytes{0xE3, 0x01, 0x40}));
    EXPECT_TRUE(got[6].sysEx);
    EXPECT_EQ(got[6].bytes, tail);
    EXPECT_EQ(receiver.clientName(got[0].sourceClient), vkv::backendapi::OutClientName);
}

TEST(AlsaOut, PacedDumpArrivesPieceByPieceInOrderAndPaced) {
    AlsaReceiver receiver("vkv-alsa-recv");
    TMidiOut out(nullptr, Backend::Alsa);
    openOn(out, receiver);

    const Bytes whole = dump();
    const auto parts = pieces(whole);
    std::vector<Clock::time_point> sent;
    for (const auto &piece : parts) {
        sent.push_back(Clock::now());
        out.SysEx(reinterpret_cast<const char *>(piece.data()), int(piece.size()));
        std::this_thread::sleep_for(PieceGap);
    }
    const auto got = receiver.waitFor(parts.size());

    ASSERT_EQ(got.size(), parts.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_TRUE(got[i].sysEx) << i;
        ASSERT_EQ(got[i].bytes.size(), parts[i].size()) << "piece " << i;
    }
    EXPECT_EQ(joined(got), whole);
    EXPECT_EQ(receiver.overruns(), 0);

    // Paced means each piece is there while the send goes on, not all of them at F7.
    const auto sendTime = sent.back() - sent.front();
    const auto spread = got.back().at - got.front().at;
    std::vector<double> latency;
    for (std::size_t i = 0; i < got.size(); ++i)
        latency.push_back(ms(got[i].at - sent[i]));
    std::sort(latency.begin(), latency.end());
    const double median = latency[latency.size() / 2];
    std::printf("paced send: %zu events, %zu bytes; send took %.1f ms, arrivals spread over "
                "%.1f ms; latency median %.2f ms, max %.2f ms\n",
                got.size(), joined(got).size(), ms(sendTime), ms(spread), median, latency.back());
    EXPECT_LT(got.front().at, sent[sent.size() / 2]);
    EXPECT_GT(spread, sendTime / 2);
    EXPECT_LT(median, ms(sendTime) / 10);
}

TEST(AlsaOut, WholeDumpInOneCallArrivesIntact) {
    AlsaReceiver receiver("vkv-alsa-recv");
    TMidiOut out(nullptr, Backend::Alsa);
    openOn(out, receiver);

    const Bytes whole = dump();
    out.SysEx(reinterpret_cast<const char *>(whole.data()), int(whole.size()));
    const auto got = receiver.waitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(got[0].sysEx);
    EXPECT_EQ(got[0].bytes, whole);
}

TEST(AlsaOut, WaitsWhileTheReceiversQueueIsFull) {
    // The receiver reads nothing for a while: its queue fills, and the kernel refuses more.
    AlsaReceiver receiver("vkv-alsa-recv", true);
    TMidiOut out(nullptr, Backend::Alsa);
    openOn(out, receiver);
    const auto pause = std::chrono::milliseconds(300);
    std::thread resume([&] {
        std::this_thread::sleep_for(pause);
        receiver.resume();
    });
    const Bytes whole = dump();
    const auto parts = pieces(whole);
    const auto start = Clock::now();
    for (const auto &piece : parts) // no pacing: a burst
        out.SysEx(reinterpret_cast<const char *>(piece.data()), int(piece.size()));
    const auto took = Clock::now() - start;
    resume.join();
    const auto got = receiver.waitFor(
        [&](const auto &e) { return !e.empty() && e.back().bytes == parts.back(); });

    // The pieces refused while the queue was full went once there was room, so the send lasted
    // the pause, and the last piece arrived.
    EXPECT_GE(took, pause - std::chrono::milliseconds(20));
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back().bytes, parts.back());
    // Whatever arrived came in order, each piece once. What the receiver held when its queue
    // overflowed the kernel threw away as it next read: that is all that may be missing.
    std::size_t next = 0;
    for (const auto &event : got) {
        while (next < parts.size() && parts[next] != event.bytes)
            ++next;
        ASSERT_LT(next, parts.size()) << "a piece out of order, doubled or changed";
        ++next;
    }
    if (got.size() < parts.size()) {
        EXPECT_GT(receiver.overruns(), 0);
    }
    std::printf("burst into a paused receiver: send took %.1f ms; %zu of %zu pieces arrived, "
                "receiver overruns %d\n",
                ms(took), got.size(), parts.size(), receiver.overruns());
}

TEST(AlsaIn, PacedDumpIsRaisedInChunksOfAtMost128Bytes) {
    AlsaSender sender("vkv-alsa-send");
    TMidiIn in(nullptr, Backend::Alsa);
    ASSERT_EQ(in.backend(), Backend::Alsa);
    std::vector<Bytes> chunks;
    int shortMessages = 0;
    in.OnSysEx = [&](QObject *, char *data, int size) { chunks.emplace_back(data, data + size); };
    in.OnShort = [&](QObject *, uint8_t, uint8_t, uint8_t) { ++shortMessages; };
    const int n = findDevice(in, sender.portName());
    ASSERT_GE(n, 0);
    in.SetPort(n);
    in.SetUsing(true);
    ASSERT_EQ(in.OpenResult(), vkv::ports::Result::NoError);

    const Bytes whole = dump();
    int failures = 0;
    std::thread sending([&] {
        for (const auto &piece : pieces(whole)) {
            failures += sender.sendSysEx(piece.data(), piece.size()) != 0;
            std::this_thread::sleep_for(PieceGap);
        }
    });
    auto size = [&] {
        std::size_t total = 0;
        for (const auto &c : chunks)
            total += c.size();
        return total;
    };
    waitUntil([&] { return size() >= whole.size(); }, 20000);
    sending.join();
    waitUntil([] { return false; }, 200); // anything more would be a fault

    EXPECT_EQ(failures, 0);
    EXPECT_EQ(shortMessages, 0);
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks.front().front(), 0xF0);
    Bytes all;
    std::string sizes;
    for (const auto &c : chunks) {
        EXPECT_LE(c.size(), 128u);
        all.insert(all.end(), c.begin(), c.end());
        sizes += std::to_string(c.size()) + " ";
    }
    EXPECT_EQ(all, whole);
    std::printf("input: %zu chunks, %zu bytes: %s\n", chunks.size(), all.size(), sizes.c_str());
}

TEST(AlsaIn, AnOverrunIsReportedAndItsRemainsNeverMakeADump) {
    AlsaSender sender("vkv-alsa-burst");
    TMidiIn in(nullptr, Backend::Alsa);
    vkv::transfer::DumpReceiver receiver; // as the main window keeps it
    using Outcome = vkv::transfer::DumpReceiver::Outcome;
    const Bytes whole = dump();
    int broken = 0, done = 0, wrongDumps = 0, controllers = 0;
    in.OnSysEx = [&](QObject *, char *data, int size) {
        if (receiver.chunk(reinterpret_cast<const std::uint8_t *>(data), size) != Outcome::Done)
            return;
        ++done;
        wrongDumps += !std::equal(whole.begin(), whole.end(), receiver.area().begin());
    };
    in.OnSysExBroken = [&](QObject *) {
        ++broken;
        receiver.abandon();
    };
    in.OnShort = [&](QObject *, uint8_t status, uint8_t, uint8_t) {
        controllers += status == 0xB0;
    };
    const int n = findDevice(in, sender.portName());
    ASSERT_GE(n, 0);
    in.SetPort(n);
    in.SetUsing(true);
    ASSERT_EQ(in.OpenResult(), vkv::ports::Result::NoError);

    // Bursts of the paced pieces with no pause, each followed by a controller: the input's queue
    // overruns and loses pieces, the last one among them now and then.
    int lost = 0, bursts = 0;
    for (; bursts < 200 && broken == 0; ++bursts) {
        for (const auto &piece : pieces(whole))
            lost += sender.sendSysEx(piece.data(), piece.size(), false) != 0;
        ASSERT_EQ(sender.sendController(0, 7, 100), 0);
        waitUntil([&] { return controllers > bursts; }, 5000);
        waitUntil([] { return false; }, 100);
    }
    std::printf("overrun: %d bursts, %d pieces lost, %d broken, %d whole dumps\n", bursts, lost,
                broken, done);
    EXPECT_EQ(wrongDumps, 0);
    EXPECT_GT(lost, 0) << "no burst overran the input's queue";
    EXPECT_GT(broken, 0) << "no overrun was reported";

    // What follows a broken dump is taken as it comes: a whole dump paced as the box sends it.
    const int before = done;
    for (const auto &piece : pieces(whole)) {
        ASSERT_EQ(sender.sendSysEx(piece.data(), piece.size()), 0);
        std::this_thread::sleep_for(PieceGap);
    }
    EXPECT_TRUE(waitUntil([&] { return done > before; }, 20000));
    EXPECT_EQ(wrongDumps, 0);
}
