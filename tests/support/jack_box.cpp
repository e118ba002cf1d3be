// A stand-in box with a real input limit on JACK, in a process of its own (SlowBox holds its
// rules): a MIDI input "CLIENT:in" whose bytes wait in a buffer of BUFFER bytes that the box
// empties at RATE bytes a second (0: no limit), dropping what does not fit, and an output
// "CLIENT:out" on which it answers a dump request with the configuration it holds. Times are the
// JACK clock's. Raw libjack, dummy-driver friendly.
//   jack_box CLIENT BUFFER RATE [silent] [whole] [holds=FILE] [unplug=N]
// "silent": it never answers; "whole": it keeps only the dumps that came whole; "holds=FILE": it
// holds the 1543-byte dump in FILE from the start; "unplug=N": its output goes once it has sent
// its Nth answer, as a cable pulled out, while its input stays.
// Prints "ready" once both ports are active, then a line for each dump that ended ("dump N
// dropped D holds HEX": D bytes dropped since it started, HEX the 1543 bytes it holds then),
// for each request ("request N"), "unplugged" once its output went, and "gone" if the server goes
// away.
#include "SlowBox.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

namespace {

jack_client_t *client = nullptr;
std::atomic<jack_port_t *> input{nullptr}, output{nullptr};
SlowBox *box = nullptr;
std::vector<std::vector<std::uint8_t>> unsent; // answers the output had no room for yet
std::mutex said;                               // the lines for the main thread
std::vector<std::string> lines;
int dumpsSaid = 0, requestsSaid = 0;
std::atomic<bool> gone{false};
std::atomic<int> answersSent{0};
std::atomic<unsigned> cycles{0};

double seconds(jack_nframes_t frame) {
    return frame / static_cast<double>(jack_get_sample_rate(client));
}

// What the box did since the last cycle, as lines for the main thread to print.
void report() {
    std::lock_guard lock(said);
    while (requestsSaid < box->requestsSeen())
        lines.push_back("request " + std::to_string(++requestsSaid));
    while (dumpsSaid < box->dumpsTaken()) {
        std::string line = "dump " + std::to_string(++dumpsSaid) + " dropped " +
                           std::to_string(box->dropped()) + " holds ";
        char hex[3];
        for (std::uint8_t b : box->holds()) {
            std::snprintf(hex, sizeof hex, "%02x", b);
            line += hex;
        }
        lines.push_back(line);
    }
}

int process(jack_nframes_t frames, void *) {
    ++cycles;
    jack_port_t *in = input.load(), *out = output.load();
    if (!in)
        return 0;
    const jack_nframes_t start = jack_last_frame_time(client);
    void *inBuffer = jack_port_get_buffer(in, frames);
    const std::uint32_t count = jack_midi_get_event_count(inBuffer);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, inBuffer, i) == 0)
            box->arrive(event.buffer, event.size, seconds(start + event.time));
    }
    box->drain(seconds(start + frames));
    for (auto &answer : box->answers())
        unsent.push_back(std::move(answer));
    if (out) {
        void *outBuffer = jack_port_get_buffer(out, frames);
        jack_midi_clear_buffer(outBuffer);
        std::size_t written = 0;
        for (; written < unsent.size(); ++written)
            if (jack_midi_event_write(outBuffer, 0, unsent[written].data(),
                                      unsent[written].size()) != 0)
                break; // the rest in the next cycle
        unsent.erase(unsent.begin(), unsent.begin() + static_cast<long>(written));
        answersSent += static_cast<int>(written);
    } else {
        unsent.clear(); // unplugged: the answers go nowhere
    }
    report();
    return 0;
}

void shutdown(void *) {
    gone = true;
}

// Waits until the process callback has begun two cycles since: one that may have read a port
// before it was changed has ended.
void waitCycles() {
    const unsigned from = cycles;
    while (cycles - from < 2 && !gone)
        usleep(1000);
}

int usage() {
    std::fprintf(stderr,
                 "usage: jack_box CLIENT BUFFER RATE [silent] [whole] [holds=FILE] [unplug=N]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 4)
        return usage();
    bool silent = false, whole = false;
    std::string holds;
    int unplugAfter = 0;
    for (int i = 4; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "silent")
            silent = true;
        else if (option == "whole")
            whole = true;
        else if (option.rfind("holds=", 0) == 0)
            holds = option.substr(6);
        else if (option.rfind("unplug=", 0) == 0)
            unplugAfter = std::atoi(option.c_str() + 7);
        else
            return usage();
    }
    // Never outlive the test, even one that is killed for taking too long.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1)
        return 1;
    static SlowBox theBox(std::strtoul(argv[2], nullptr, 10), std::strtod(argv[3], nullptr),
                          !silent, whole);
    if (!holds.empty()) {
        std::ifstream file(holds, std::ios::binary);
        const std::vector<std::uint8_t> dump((std::istreambuf_iterator<char>(file)),
                                             std::istreambuf_iterator<char>());
        if (dump.size() != SlowBox::DumpSize) {
            std::fprintf(stderr, "%s holds no dump\n", holds.c_str());
            return 2;
        }
        theBox.load(dump);
    }
    box = &theBox;
    unsent.reserve(16);
    jack_status_t status{};
    client = jack_client_open(argv[1], JackNoStartServer, &status);
    if (!client) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
    jack_set_process_callback(client, &process, nullptr);
    jack_on_shutdown(client, &shutdown, nullptr);
    // Activated before its ports are registered: JACK announces a port at once but refuses to
    // connect it while its client is inactive.
    if (jack_activate(client) != 0) {
        std::fprintf(stderr, "cannot activate the client\n");
        return 1;
    }
    jack_port_t *out =
        jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_port_t *in = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (!in || !out) {
        std::fprintf(stderr, "cannot set up the ports\n");
        return 1;
    }
    output = out;
    input = in;
    std::printf("ready\n");
    std::fflush(stdout);
    bool unplugged = false;
    while (!gone) {
        // Read before the lines: what the box did before an answer is said before its output goes.
        const bool unplugDue = unplugAfter > 0 && !unplugged && answersSent >= unplugAfter;
        std::vector<std::string> now;
        {
            std::lock_guard lock(said);
            now.swap(lines);
        }
        for (const auto &line : now)
            std::printf("%s\n", line.c_str());
        if (unplugDue) {
            // The answer has reached the ports connected to the output by the cycle's end.
            waitCycles();
            output = nullptr;
            waitCycles(); // no cycle uses the port any more
            jack_port_unregister(client, out);
            unplugged = true;
            std::printf("unplugged\n");
        }
        std::fflush(stdout);
        usleep(2000);
    }
    std::printf("gone\n");
    std::fflush(stdout);
    return 0;
}
