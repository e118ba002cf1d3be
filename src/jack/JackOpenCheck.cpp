#include "JackOpenCheck.h"

#include "Backend.h"
#include "JackServerWatch.h"
#include "MidiLog.h"

#include <algorithm>
#include <cerrno>
#include <jack/jack.h>
#include <thread>

namespace vkv::jack {

using backendapi::isOwnPort;
using backendapi::lcMidi;

namespace {

// How often the server is asked while the device's client is not active yet.
constexpr std::chrono::milliseconds AskEvery{10};

} // namespace

JackOpenCheck::JackOpenCheck(const char *client, const char *port, bool output)
    : ownClient(client), ownPort(port), output(output), before(ownPorts()) {}

std::vector<std::string> JackOpenCheck::ownPorts() const {
    std::vector<std::string> found;
    jack_client_t *asking = jackWatchClient();
    if (!asking)
        return found;
    const char **names = jack_get_ports(asking, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                        output ? JackPortIsOutput : JackPortIsInput);
    for (const char **name = names; name && *name; ++name) {
        const std::string whole = *name;
        const std::size_t colon = whole.find(':');
        // "<client>:<port>" or "<client>-<n>:<port>" when another instance has the name.
        if (colon != std::string::npos && whole.compare(0, ownClient.size(), ownClient) == 0 &&
            whole.compare(colon + 1, std::string::npos, ownPort) == 0 && isOwnPort(whole))
            found.push_back(whole);
    }
    jack_free(names);
    return found;
}

bool JackOpenCheck::connected(const std::string &device, std::chrono::milliseconds wait) {
    why_.clear();
    jack_client_t *asking = jackWatchClient();
    if (!asking) {
        why_ = "no JACK server to ask";
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + wait;
    int asked = 0;
    for (;;) {
        // The open's port: the one that was not there before it (listed at once, or after a
        // cycle of the server).
        std::vector<std::string> made;
        for (const std::string &port : ownPorts())
            if (std::find(before.begin(), before.end(), port) == before.end())
                made.push_back(port);
        if (made.size() > 1) {
            // Another instance opened a port at the same moment: which is ours cannot be told,
            // and RtMidi's word is taken.
            qCInfo(lcMidi, "the port just opened to \"%s\" is not told apart from another",
                   device.c_str());
            return true;
        }
        if (made.size() == 1) {
            const std::string &own = made.front();
            const std::string &from = output ? own : device;
            const std::string &to = output ? device : own;
            // EEXIST: the open's own request was taken.
            const int answer = jack_connect(asking, from.c_str(), to.c_str());
            ++asked;
            if (answer == 0 || answer == EEXIST) {
                if (asked > 1)
                    qCInfo(lcMidi, "\"%s\" took the connection after %d requests", device.c_str(),
                           asked);
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= until)
            break;
        std::this_thread::sleep_for(AskEvery);
    }
    if (asked == 0) {
        qCInfo(lcMidi, "the port just opened to \"%s\" is not listed: RtMidi's word is taken",
               device.c_str());
        return true;
    }
    why_ = "\"" + device + "\" is not answering: its program did not take the connection within " +
           std::to_string(wait.count()) + " ms";
    qCWarning(lcMidi, "%s", why_.c_str());
    return false;
}

} // namespace vkv::jack
