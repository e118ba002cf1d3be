// A JACK MIDI peer in a process of its own, so a test can make it quit for real (kill it) while
// the program's port is connected to it. Raw libjack, dummy-driver friendly.
//   jack_peer recv CLIENT [LATE_MS]   an input "CLIENT:in"; prints each event as one line of hex
//                                     bytes
//   jack_peer send CLIENT [LATE_MS]   an output "CLIENT:out"; sends each line of hex bytes read
//                                     from stdin as one event
// Prints "ready" once its port is registered and active, "gone" if the server goes away. The client
// is activated before it registers its port: JACK announces a port at once but refuses to connect
// it while its client is inactive. With LATE_MS it is the other way round, as some programs do:
// the port is registered first ("registered"), and the client activated LATE_MS later.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<jack_port_t *> port{nullptr}; // null until registered, after activation
bool sending = false;
jack_ringbuffer_t *toSend = nullptr;   // length-prefixed events, main thread -> process
jack_ringbuffer_t *received = nullptr; // length-prefixed events, process -> main thread
std::atomic<bool> gone{false};

int process(jack_nframes_t frames, void *) {
    jack_port_t *const own = port.load();
    if (!own)
        return 0;
    void *buffer = jack_port_get_buffer(own, frames);
    if (sending) {
        jack_midi_clear_buffer(buffer);
        std::uint32_t size = 0;
        while (jack_ringbuffer_read_space(toSend) >= sizeof size) {
            jack_ringbuffer_peek(toSend, reinterpret_cast<char *>(&size), sizeof size);
            if (jack_ringbuffer_read_space(toSend) < sizeof size + size)
                break;
            jack_midi_data_t *out = jack_midi_event_reserve(buffer, 0, size);
            if (!out)
                break; // the rest goes in the next cycle
            jack_ringbuffer_read_advance(toSend, sizeof size);
            jack_ringbuffer_read(toSend, reinterpret_cast<char *>(out), size);
        }
        return 0;
    }
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0)
            continue;
        const std::uint32_t size = static_cast<std::uint32_t>(event.size);
        if (jack_ringbuffer_write_space(received) < sizeof size + size)
            continue;
        jack_ringbuffer_write(received, reinterpret_cast<const char *>(&size), sizeof size);
        jack_ringbuffer_write(received, reinterpret_cast<const char *>(event.buffer), size);
    }
    return 0;
}

void shutdown(void *) {
    gone = true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3 || argc > 4 ||
        (std::strcmp(argv[1], "recv") != 0 && std::strcmp(argv[1], "send") != 0)) {
        std::fprintf(stderr, "usage: jack_peer recv|send CLIENT [LATE_MS]\n");
        return 2;
    }
    const long lateMs = argc == 4 ? std::atol(argv[3]) : -1;
    sending = std::strcmp(argv[1], "send") == 0;
    // Never outlive the test, even one that is killed for taking too long.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1)
        return 1;
    jack_status_t status{};
    jack_client_t *client = jack_client_open(argv[2], JackNoStartServer, &status);
    if (!client) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
    toSend = jack_ringbuffer_create(1 << 16);
    received = jack_ringbuffer_create(1 << 16);
    jack_set_process_callback(client, &process, nullptr);
    jack_on_shutdown(client, &shutdown, nullptr);
    const auto activate = [client] {
        if (jack_activate(client) == 0)
            return true;
        std::fprintf(stderr, "cannot activate the client\n");
        return false;
    };
    if (lateMs < 0 && !activate())
        return 1;
    port = jack_port_register(client, sending ? "out" : "in", JACK_DEFAULT_MIDI_TYPE,
                              sending ? JackPortIsOutput : JackPortIsInput, 0);
    if (!port.load()) {
        std::fprintf(stderr, "cannot set up the port\n");
        return 1;
    }
    if (lateMs >= 0) {
        std::printf("registered\n");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(lateMs));
        if (!activate())
            return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    if (sending) {
        std::string line;
        while (!gone && std::getline(std::cin, line)) {
            std::istringstream hex(line);
            std::vector<char> bytes;
            unsigned b;
            while (hex >> std::hex >> b)
                bytes.push_back(static_cast<char>(b));
            const std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
            while (!gone && jack_ringbuffer_write_space(toSend) < sizeof size + size)
                usleep(1000);
            jack_ringbuffer_write(toSend, reinterpret_cast<const char *>(&size), sizeof size);
            jack_ringbuffer_write(toSend, bytes.data(), size);
        }
    }
    while (!gone) {
        std::uint32_t size = 0;
        if (!sending && jack_ringbuffer_read_space(received) >= sizeof size) {
            jack_ringbuffer_read(received, reinterpret_cast<char *>(&size), sizeof size);
            std::vector<unsigned char> bytes(size);
            jack_ringbuffer_read(received, reinterpret_cast<char *>(bytes.data()), size);
            for (unsigned char b : bytes)
                std::printf("%02x ", b);
            std::printf("\n");
            std::fflush(stdout);
            continue;
        }
        usleep(1000);
    }
    std::printf("gone\n");
    std::fflush(stdout);
    return 0;
}
