// The main window under a flood of incoming MIDI: 5,000 short messages a second for 10 s from a
// JACK sender, each matching a knob of the shown virtual box with motorized pots on, so each comes
// back out as the knob's event. Counts and orders the echoes at a JACK receiver, measures how late
// the GUI thread handles a probe posted every 5 ms, the private memory after start-up and after
// each of three floods, and how long a received dump takes to reach the pages. Prints
// "name: value unit" lines; exits non-zero when a target is missed. A fourth flood runs with the
// MIDI monitor shown: the same targets, and every message in and out reaches its rows. A fifth
// comes in on the program's own Motors port instead, its echoes recorded on MIDI OUT and Knobs.
// Beside each flood it counts the JACK server's xruns (cycles that some client of the server did
// not finish in time: the server then drops a cycle's MIDI, about 27 messages of the flood at 256
// frames, or hands it over twice). A flood without an xrun must lose and repeat nothing; one with
// xruns may lack or repeat at most a cycle's messages for each, and what came must still be the
// flood's messages in their order. A last, reference flood goes through a plain JACK client
// instead of the program: what it loses is the server's and the machine's alone.
// Needs a running JACK server and bench/minimal_window beside it.
#include "BenchSupport.h"
#include "JackSender.h"
#include "MonitorWindow.h"
#include "OwnPorts.h"
#include "TFaderDesk.h"
#include "TKnob.h"

#include <QApplication>
#include <QCheckBox>
#include <QProcess>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Rate = 5000; // messages a second
constexpr int Seconds = 10;
constexpr int Messages = Rate * Seconds;

// A JACK MIDI input that keeps the short messages it gets in a buffer allocated once, so the
// measured process's memory holds no growing record of them.
class EchoRecorder {
public:
    explicit EchoRecorder(const char *client) {
        handle = jack_client_open(client, JackNoStartServer, nullptr);
        port = jack_port_register(handle, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        messages.resize(2 * Messages);
        jack_set_process_callback(handle, &EchoRecorder::process, this);
        jack_set_xrun_callback(handle, &EchoRecorder::xrun, this);
        jack_activate(handle);
        name = std::string(jack_get_client_name(handle)) + ":in";
        bench::settle(300); // listed once the server has run a cycle
    }
    ~EchoRecorder() {
        jack_deactivate(handle);
        jack_client_close(handle);
    }
    const std::string &portName() const { return name; }
    bool connect(const std::string &from, const std::string &to, bool on = true) {
        return (on ? jack_connect : jack_disconnect)(handle, from.c_str(), to.c_str()) == 0;
    }
    int count() const { return received.load(); }
    bench::Clock::time_point lastEchoAt() const {
        return bench::Clock::time_point(bench::Clock::duration(lastAt.load()));
    }
    void clear() { received = 0; }
    const std::array<unsigned char, 3> &at(int i) const { return messages[i]; }
    // The server's xruns since the client was made: every client of the server is told of each.
    int xruns() const { return xrunsSeen.load(); }
    // Messages of a flood that one cycle of the server carries.
    double messagesPerCycle() const {
        return static_cast<double>(Rate) * jack_get_buffer_size(handle) /
               jack_get_sample_rate(handle);
    }

private:
    static int process(jack_nframes_t frames, void *self) {
        auto *r = static_cast<EchoRecorder *>(self);
        void *buffer = jack_port_get_buffer(r->port, frames);
        const std::uint32_t n = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < n; ++i) {
            jack_midi_event_t e;
            if (jack_midi_event_get(&e, buffer, i) != 0 || e.size != 3)
                continue;
            const int at = r->received.load();
            if (at < static_cast<int>(r->messages.size())) {
                r->messages[at] = {e.buffer[0], e.buffer[1], e.buffer[2]};
                r->received = at + 1;
            }
            r->lastAt = bench::Clock::now().time_since_epoch().count();
        }
        return 0;
    }
    static int xrun(void *self) {
        ++static_cast<EchoRecorder *>(self)->xrunsSeen;
        return 0;
    }

    jack_client_t *handle = nullptr;
    jack_port_t *port = nullptr;
    std::string name;
    std::vector<std::array<unsigned char, 3>> messages;
    std::atomic<int> received{0};
    std::atomic<bench::Clock::rep> lastAt{0}; // when the latest echo came
    std::atomic<int> xrunsSeen{0};
};

// A JACK client that hands every event on its input to its output in the same cycle, as plain as a
// client gets: the reference flood goes through it instead of the program, so what that flood
// loses is the server's and the machine's alone.
class PlainEcho {
public:
    PlainEcho() {
        handle = jack_client_open("vkvfloodecho", JackNoStartServer, nullptr);
        in = jack_port_register(handle, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        out = jack_port_register(handle, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(handle, &PlainEcho::process, this);
        jack_activate(handle);
        bench::settle(300);
    }
    ~PlainEcho() {
        jack_deactivate(handle);
        jack_client_close(handle);
    }
    std::string inName() const { return jack_port_name(in); }
    std::string outName() const { return jack_port_name(out); }

private:
    static int process(jack_nframes_t frames, void *self) {
        auto *e = static_cast<PlainEcho *>(self);
        void *from = jack_port_get_buffer(e->in, frames);
        void *to = jack_port_get_buffer(e->out, frames);
        jack_midi_clear_buffer(to);
        const std::uint32_t n = jack_midi_get_event_count(from);
        for (std::uint32_t i = 0; i < n; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, from, i) == 0)
                jack_midi_event_write(to, event.time, event.buffer, event.size);
        }
        return 0;
    }

    jack_client_t *handle = nullptr;
    jack_port_t *in = nullptr, *out = nullptr;
};

// The message number i of a flood: Controller k on channel 1 (what knob k of bank 1 sends), with
// a value that changes from one message to the next.
std::array<unsigned char, 3> floodMessage(int i) {
    return {0xB0, static_cast<unsigned char>(i % 16), static_cast<unsigned char>((i / 16) % 128)};
}

// What a recorder got of a flood, against what was sent.
struct Echoes {
    bool inOrder = true; // the flood's messages in order, but for whole cycles lost or repeated
    int missing = 0;     // messages never echoed
    int repeated = 0;    // messages echoed twice
};

// Matches each echo to the flood: the next message sent; else one of the last few (a cycle the
// server handed over twice); else one further on (cycles it dropped). Messages repeat every 2048,
// so gaps up to that long are told.
Echoes compare(const EchoRecorder &box, const char *what) {
    constexpr int Back = 64, Ahead = 2048;
    Echoes e;
    int next = 0;
    for (int i = 0; i < box.count(); ++i) {
        const auto &echo = box.at(i);
        if (next < Messages && echo == floodMessage(next)) {
            ++next;
            continue;
        }
        bool placed = false;
        for (int k = 1; k <= Back && next - k >= 0 && !placed; ++k)
            placed = echo == floodMessage(next - k);
        if (placed) {
            ++e.repeated;
            continue;
        }
        for (int j = next + 1; j < std::min(next + Ahead, Messages) && !placed; ++j) {
            if (echo == floodMessage(j)) {
                std::fprintf(stderr, "%s: messages %d to %d never came\n", what, next, j - 1);
                e.missing += j - next;
                next = j + 1;
                placed = true;
            }
        }
        if (!placed) {
            std::fprintf(stderr, "%s: echo %d is %02X %02X %02X, after message %d\n", what, i,
                         echo[0], echo[1], echo[2], next - 1);
            e.inOrder = false;
            break;
        }
    }
    if (next < Messages && e.inOrder)
        std::fprintf(stderr, "%s: messages %d to %d never came\n", what, next, Messages - 1);
    e.missing += Messages - next;
    return e;
}

// Whether what a flood lacks or has twice is what the server's `xruns` explain: nothing without
// an xrun, at most a cycle's messages (and one more, which a cycle's boundary may split) for each.
bool onlyXruns(const EchoRecorder &box, const Echoes &e, int xruns) {
    const int cycle = static_cast<int>(box.messagesPerCycle()) + 2;
    return e.inOrder && e.missing <= xruns * cycle && e.repeated <= xruns * cycle;
}

struct FloodResult {
    int echoes;
    Echoes got;
    int xruns; // the server's, while the flood ran and drained
    int cyclesLost, cyclesRepeated;
    bool met; // what is lost or repeated is the xruns' alone
    double loopDelayP99Ms, loopDelayMaxMs, drainMs;
};

FloodResult flood(const std::string &name, JackSender &sender, EchoRecorder &box) {
    box.clear();
    const int xrunsBefore = box.xruns();
    // Probes on the GUI thread's queue: how long each waits behind the flood.
    std::vector<double> delays;
    delays.reserve(4000);
    std::atomic<bool> probing{true};
    std::thread prober([&] {
        auto next = bench::Clock::now();
        while (probing) {
            next += std::chrono::milliseconds(5);
            std::this_thread::sleep_until(next);
            const auto posted = bench::Clock::now();
            QMetaObject::invokeMethod(
                qApp,
                [&delays, posted] { delays.push_back(bench::ms(bench::Clock::now() - posted)); },
                Qt::QueuedConnection);
        }
    });
    std::atomic<bool> sent{false};
    std::thread sending([&] {
        auto next = bench::Clock::now();
        std::vector<unsigned char> message(3);
        for (int i = 0; i < Messages; ++i) {
            next += std::chrono::microseconds(1000000 / Rate);
            std::this_thread::sleep_until(next);
            const auto m = floodMessage(i);
            message.assign(m.begin(), m.end());
            sender.send(message);
        }
        sent = true;
    });
    while (!sent)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    sending.join();
    const auto end = bench::Clock::now();
    // Everything out within 100 ms of the flood's end, or it was queued too long. What a dropped
    // cycle took never comes: the wait ends half a second after the latest echo.
    while (box.count() < Messages && bench::ms(bench::Clock::now() - end) < 2000 &&
           bench::ms(bench::Clock::now() - std::max(end, box.lastEchoAt())) < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const double drainMs = std::max(0.0, bench::ms(box.lastEchoAt() - end));
    bench::settle(100);
    probing = false;
    prober.join();
    bench::settle(20);

    FloodResult r{};
    r.echoes = box.count();
    r.xruns = box.xruns() - xrunsBefore;
    r.got = compare(box, ("flood_" + name).c_str());
    r.cyclesLost = static_cast<int>(r.got.missing / box.messagesPerCycle() + 0.5);
    r.cyclesRepeated = static_cast<int>(r.got.repeated / box.messagesPerCycle() + 0.5);
    r.met = onlyXruns(box, r.got, r.xruns);
    r.loopDelayP99Ms = bench::percentile(delays, 0.99);
    r.loopDelayMaxMs = bench::percentile(delays, 1.0);
    r.drainMs = drainMs;
    return r;
}

void printFlood(const std::string &name, const FloodResult &r) {
    const char *n = name.c_str();
    std::printf("flood_%s_echoes: %d of %d\n", n, r.echoes, Messages);
    std::printf("flood_%s_echoes_in_order: %s\n", n, r.got.inOrder ? "yes" : "no");
    std::printf("flood_%s_server_xruns: %d\n", n, r.xruns);
    std::printf("flood_%s_messages_lost: %d (%d cycles)\n", n, r.got.missing, r.cyclesLost);
    std::printf("flood_%s_messages_repeated: %d (%d cycles)\n", n, r.got.repeated,
                r.cyclesRepeated);
    std::printf("flood_%s_gui_loop_delay_p99: %.2f ms\n", n, r.loopDelayP99Ms);
    std::printf("flood_%s_gui_loop_delay_max: %.2f ms\n", n, r.loopDelayMaxMs);
    std::printf("flood_%s_last_echo_after_end: %.1f ms\n", n, r.drainMs);
}

} // namespace

int main(int argc, char **argv) {
    bench::useOffscreenUnlessAskedOtherwise();
    QApplication app(argc, argv);
    JackSender sender("vkvfloodsrc");
    EchoRecorder box("vkvfloodbox");
    TForm1 form(vkv::backendapi::Backend::Jack);
    if (!bench::chooseInput(form, sender.portName()) || !bench::chooseOutput(form, box.portName()))
        return 2;
    form.show();
    form.ui->vMotPots->setChecked(true);
    form.ShowFaderDeskClick(nullptr);
    bench::settle(500);

    // Another Qt program beside ours, as on any desktop: the pages of the Qt libraries that both
    // use are then shared, and private memory is what is ours alone.
    QProcess companion;
    companion.start(QCoreApplication::applicationDirPath() + "/minimal_window", {});
    companion.waitForStarted();
    bench::settle(1000);
    const long pid = static_cast<long>(getpid());
    bool met = true;
    const auto printMemory = [&](const char *when) {
        const bench::Memory m = bench::memoryOf(pid);
        std::printf("memory_%s_private: %.1f MB\n", when, m.privateKb / 1024.0);
        std::printf("memory_%s_rss: %.1f MB\n", when, m.rssKb / 1024.0);
        std::printf("memory_%s_pss: %.1f MB\n", when, m.pssKb / 1024.0);
        return m.privateKb;
    };
    const long startPrivate = printMemory("after_start");
    met = met && startPrivate < 15 * 1024;
    long afterFirst = 0;
    for (int run = 1; run <= 3; ++run) {
        const FloodResult r = flood(std::to_string(run), sender, box);
        printFlood(std::to_string(run), r);
        const std::string when = "after_flood_" + std::to_string(run);
        const long priv = printMemory(when.c_str());
        if (run == 1)
            afterFirst = priv;
        met = met && r.met && r.loopDelayP99Ms < 50 && r.drainMs <= 100 && priv < 15 * 1024;
        // No growth from flood to flood: within 256 kB of the first, allocator noise aside.
        if (run > 1) {
            std::printf("memory_growth_since_flood_1: %+.2f MB\n", (priv - afterFirst) / 1024.0);
            met = met && priv - afterFirst < 256;
        }
    }

    // The monitor shown: each message in and each echo out become rows, read at most 30 times a
    // second on the GUI thread.
    form.ShowMidiMonitorClick(nullptr);
    vkv::monitor::MonitorWindow *monitor = form.CreateMonitorWindow();
    bench::settle(300);
    monitor->model().clear();
    const FloodResult r = flood("monitor", sender, box);
    const auto floodEnd = bench::Clock::now();
    const std::size_t expected = 2 * static_cast<std::size_t>(Messages);
    while (monitor->model().messagesSeen() < expected &&
           bench::ms(bench::Clock::now() - floodEnd) < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    printFlood("monitor", r);
    std::printf("flood_monitor_messages_seen: %zu of %zu\n", monitor->model().messagesSeen(),
                expected);
    std::printf("flood_monitor_rows_kept: %d\n", monitor->model().rowCount());
    printMemory("after_flood_monitor");
    // Every message in and every echo out is a row; a cycle the server dropped took messages
    // before they came in, or echoes after they went out.
    const std::size_t seen = monitor->model().messagesSeen();
    met = met && r.met && r.loopDelayP99Ms < 50 && r.drainMs <= 100 &&
          (r.xruns == 0 ? seen == expected
                        : seen >= 2 * static_cast<std::size_t>(r.echoes) && seen <= expected);

    // The same flood written to Motors, the program's own input, with the MIDI IN port closed and
    // the monitor too: the same targets. Each echo goes out on MIDI OUT and on Knobs, where a
    // second recorder takes them. MIDI IN comes back for the dump below.
    monitor->close();
    bench::chooseInput(form, "None");
    EchoRecorder daw("vkvflooddaw");
    const vkv::ports::OwnPorts &own = *form.findChild<vkv::ports::OwnPorts *>("OwnPorts");
    if (!own.offered() || !box.connect(sender.portName(), own.motorsName()) ||
        !daw.connect(own.knobsName(), daw.portName())) {
        std::fprintf(stderr, "the program's own ports are not there\n");
        return 2;
    }
    bench::settle(300);
    daw.clear();
    const FloodResult motors = flood("motors", sender, box);
    printFlood("motors", motors);
    const Echoes knobs = compare(daw, "flood_motors_knobs");
    std::printf("flood_motors_knobs_echoes: %d of %d\n", daw.count(), Messages);
    std::printf("flood_motors_knobs_echoes_in_order: %s\n", knobs.inOrder ? "yes" : "no");
    std::printf("flood_motors_knobs_messages_lost: %d\n", knobs.missing);
    std::printf("flood_motors_knobs_messages_repeated: %d\n", knobs.repeated);
    printMemory("after_flood_motors");
    met = met && motors.met && motors.loopDelayP99Ms < 50 && motors.drainMs <= 100 &&
          onlyXruns(daw, knobs, motors.xruns);
    box.connect(sender.portName(), own.motorsName(), false);

    // The reference: the same flood through a plain JACK client, with nothing coming in to the
    // program. Not a target of ours: it shows what the server and the machine lose by themselves.
    {
        PlainEcho echo;
        box.connect(sender.portName(), echo.inName());
        box.connect(echo.outName(), box.portName());
        bench::settle(300);
        printFlood("reference", flood("reference", sender, box));
        box.connect(sender.portName(), echo.inName(), false);
        box.connect(echo.outName(), box.portName(), false);
    }
    if (!bench::chooseInput(form, sender.portName()))
        return 2;

    // A dump: from its last chunk reaching the window to the pages showing the new records.
    std::vector<unsigned char> dump(vkv::image::DumpSize);
    for (int i = 1; i < vkv::image::DumpSize - 1; ++i)
        dump[i] = static_cast<unsigned char>((i * 5) & 0x7F);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    dump[6] = 0x1A; // pot 0 becomes Note On, channel 11
    bench::Clock::time_point lastChunk{}, shown{};
    form.MidiIn1->OnSysEx = [&](QObject *s, char *data, int size) {
        const bool last = size > 0 && static_cast<unsigned char>(data[size - 1]) == 0xF7;
        if (last)
            lastChunk = bench::Clock::now();
        form.MidiIn1SysEx(s, data, size);
        if (last && form.ui->PotByte0->value() == 0x9A)
            shown = bench::Clock::now();
    };
    sender.send(dump);
    for (int i = 0; i < 200 && shown == bench::Clock::time_point{}; ++i)
        bench::settle(10);
    const double receiveMs =
        shown == bench::Clock::time_point{} ? 1e9 : bench::ms(shown - lastChunk);
    std::printf("dump_last_chunk_to_pages: %.3f ms\n", receiveMs);
    met = met && receiveMs < 10;

    companion.terminate();
    companion.waitForFinished();
    std::printf("input_flood_targets_met: %s\n", met ? "yes" : "no");
    return met ? 0 : 1;
}
