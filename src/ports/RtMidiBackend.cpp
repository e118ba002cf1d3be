#include "RtMidiBackend.h"

#include "AlsaSequencer.h"
#include "JackKeptClients.h"
#include "JackServerWatch.h"
#include "MidiLog.h"

#include <RtMidi.h>
#include <utility>

namespace vkv::ports {

using backendapi::Backend;
using backendapi::lcMidi;

namespace {

// RtMidi prints warnings on stderr and throws errors unless a callback is set: both are logged
// here, and errors are kept for the port to judge its call by.
void collectErrors(RtMidiError::Type type, const std::string &text, void *userData) {
    auto *sink = static_cast<ErrorSink *>(userData);
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) {
        qCDebug(lcMidi, "back end: %s", text.c_str());
        if (sink && type == RtMidiError::WARNING) {
            sink->warned = true;
            sink->text = text;
        }
        return;
    }
    qCWarning(lcMidi, "back end error: %s", text.c_str());
    sink->failed = true;
    sink->text = text;
}

template <typename Port> const char *clientNameOf();
template <> const char *clientNameOf<RtMidiOut>() {
    return backendapi::OutClientName;
}
template <> const char *clientNameOf<RtMidiIn>() {
    return backendapi::InClientName;
}

template <typename Port>
std::unique_ptr<Port> create(Backend wanted, Backend *chosen, ErrorSink *sink) {
    const Backend order[] = {Backend::Alsa, Backend::Jack};
    for (Backend b : order) {
        if (wanted != Backend::Auto && wanted != b)
            continue;
        const auto api = b == Backend::Alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
        if (b == Backend::Alsa && !alsa::sequencerPresent()) {
            qCDebug(lcMidi, "ALSA sequencer not available: no %s", alsa::SequencerDevice);
            continue;
        }
        try {
            auto port = std::make_unique<Port>(api, clientNameOf<Port>());
            port->setErrorCallback(&collectErrors, sink);
            if (chosen)
                *chosen = b;
            return port;
        } catch (const RtMidiError &e) {
            // This service is not there; try the next one.
            qCInfo(lcMidi, "%s not available: %s", b == Backend::Alsa ? "ALSA sequencer" : "JACK",
                   e.getMessage().c_str());
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
    } catch (const RtMidiError &e) {
        qCWarning(lcMidi, "cannot list ports: %s", e.getMessage().c_str());
        result.clear();
    }
    return result;
}

template <typename Port> void retirePort(std::unique_ptr<Port> port, Backend backend) {
    if (!port)
        return;
    try {
        port->closePort();
    } catch (const RtMidiError &e) {
        qCWarning(lcMidi, "closing a retired port: %s", e.getMessage().c_str());
    }
    if (backend != Backend::Jack)
        return; // destroyed here
    jack::keepUntilExit(std::move(port));
}

} // namespace

void retire(std::unique_ptr<RtMidiOut> port, Backend backend) {
    retirePort(std::move(port), backend);
}
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
    jack::keepCallbackData(std::move(callbackData));
}

void reportTo(RtMidiOut &port, ErrorSink *sink) {
    port.setErrorCallback(&collectErrors, sink);
}
void reportTo(RtMidiIn &port, ErrorSink *sink) {
    port.setErrorCallback(&collectErrors, sink);
}

PreparedOutput::PreparedOutput() = default;
PreparedOutput::PreparedOutput(PreparedOutput &&) noexcept = default;
PreparedOutput &PreparedOutput::operator=(PreparedOutput &&) noexcept = default;
PreparedOutput::~PreparedOutput() {
    retire(std::move(port), backend);
}
PreparedInput::PreparedInput() = default;
PreparedInput::PreparedInput(PreparedInput &&) noexcept = default;
PreparedInput &PreparedInput::operator=(PreparedInput &&) noexcept = default;
PreparedInput::~PreparedInput() {
    retire(std::move(port), backend);
}

namespace {

template <class Prepared, class Port>
Prepared prepare(Backend wanted, std::unique_ptr<Port> (*create)(Backend, Backend *, ErrorSink *),
                 std::vector<std::string> (*list)(Port &)) {
    Prepared prepared;
    prepared.errors = std::make_unique<ErrorSink>();
    prepared.port = create(wanted, &prepared.backend, prepared.errors.get());
    if (prepared.port)
        prepared.names = list(*prepared.port);
    if (prepared.backend == Backend::Jack)
        prepared.watch = std::make_unique<jack::JackServerWatch>();
    return prepared;
}

} // namespace

PreparedOutput prepareOutput(Backend wanted) {
    return prepare<PreparedOutput>(wanted, &createOutput, &outputPortNames);
}

PreparedInput prepareInput(Backend wanted) {
    return prepare<PreparedInput>(wanted, &createInput, &inputPortNames);
}

PortsInPreparation prepareBoth(Backend wanted) {
    return {std::async(std::launch::async, &prepareOutput, wanted),
            std::async(std::launch::async, &prepareInput, wanted)};
}

std::unique_ptr<RtMidiOut> createOutput(Backend wanted, Backend *chosen, ErrorSink *sink) {
    return create<RtMidiOut>(wanted, chosen, sink);
}
std::unique_ptr<RtMidiIn> createInput(Backend wanted, Backend *chosen, ErrorSink *sink) {
    return create<RtMidiIn>(wanted, chosen, sink);
}
std::vector<std::string> outputPortNames(RtMidiOut &out) {
    return names(out);
}
std::vector<std::string> inputPortNames(RtMidiIn &in) {
    return names(in);
}

} // namespace vkv::ports
