#include "MidiBackend.h"

#include <RtMidi.h>
#include <mutex>

namespace vkv::midi {

const char *const ClientName = "Virtual Korvane Vela";

namespace {

// RtMidi reports warnings on stderr and errors as exceptions unless a callback is set; the
// ports report only through their open result, so both are caught here.
void collectErrors(RtMidiError::Type type, const std::string &text, void *userData) {
    auto *sink = static_cast<ErrorSink *>(userData);
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING)
        return;
    sink->failed = true;
    sink->text = text;
}

template <typename Port>
std::unique_ptr<Port> create(Backend wanted, Backend *chosen, ErrorSink *sink) {
    const Backend order[] = {Backend::Alsa, Backend::Jack};
    for (Backend b : order) {
        if (wanted != Backend::Auto && wanted != b)
            continue;
        const auto api = b == Backend::Alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
        try {
            auto port = std::make_unique<Port>(api, ClientName);
            port->setErrorCallback(&collectErrors, sink);
            if (chosen)
                *chosen = b;
            return port;
        } catch (const RtMidiError &) {
            // This service is not there; try the next one.
        }
    }
    if (chosen)
        *chosen = Backend::None;
    return nullptr;
}

template <typename Port> std::vector<std::string> names(Port &port) {
    std::vector<std::string> result;
    try {
        const unsigned count = port.getPortCount();
        for (unsigned i = 0; i < count; ++i)
            result.push_back(port.getPortName(i));
    } catch (const RtMidiError &) {
        result.clear();
    }
    return result;
}

template <typename Port> void retirePort(std::unique_ptr<Port> port, Backend backend) {
    if (!port)
        return;
    try {
        port->closePort();
    } catch (const RtMidiError &) {
    }
    if (backend != Backend::Jack)
        return; // destroyed here
    static std::mutex mutex;
    static auto *kept = new std::vector<std::unique_ptr<Port>>;
    std::lock_guard lock(mutex);
    kept->push_back(std::move(port));
}

} // namespace

void retire(std::unique_ptr<RtMidiOut> port, Backend backend) { retirePort(std::move(port), backend); }
void retire(std::unique_ptr<RtMidiIn> port, Backend backend) {
    if (port)
        port->cancelCallback();
    retirePort(std::move(port), backend);
}

void retire(std::unique_ptr<RtMidiIn> port, Backend backend, std::shared_ptr<void> callbackData) {
    // The callback stays set: cancelling it races with a JACK process thread that is about to
    // call it, while a callback whose data lives on is harmless.
    const bool kept = port && backend == Backend::Jack;
    retirePort(std::move(port), backend);
    if (!kept)
        return; // the port is gone, and its callback with it
    static std::mutex mutex;
    static auto *data = new std::vector<std::shared_ptr<void>>;
    std::lock_guard lock(mutex);
    data->push_back(std::move(callbackData));
}

std::unique_ptr<RtMidiOut> createOutput(Backend wanted, Backend *chosen, ErrorSink *sink) {
    return create<RtMidiOut>(wanted, chosen, sink);
}
std::unique_ptr<RtMidiIn> createInput(Backend wanted, Backend *chosen, ErrorSink *sink) {
    return create<RtMidiIn>(wanted, chosen, sink);
}
std::vector<std::string> outputPortNames(RtMidiOut &out) { return names(out); }
std::vector<std::string> inputPortNames(RtMidiIn &in) { return names(in); }

int findPort(const std::vector<std::string> &now, int listedIndex, const std::string &name) {
    if (listedIndex >= 0 && listedIndex < static_cast<int>(now.size()) && now[listedIndex] == name)
        return listedIndex;
    for (std::size_t i = 0; i < now.size(); ++i)
        if (now[i] == name)
            return static_cast<int>(i);
    return -1;
}

} // namespace vkv::midi
