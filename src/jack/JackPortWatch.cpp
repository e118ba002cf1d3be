#include "JackPortWatch.h"

#include "BoundedCall.h"
#include "HandOver.h"
#include "JackKeptClients.h"
#include "MidiLog.h"
#include "ThreadSanitizer.h"

#include <jack/jack.h>

#include <atomic>
#include <mutex>

namespace vkv::jack {

using backendapi::BoundedCall;
using backendapi::isOwnPort;
using backendapi::lcMidi;
using backendapi::PortWatch;
using backendapi::WatchClientName;
using threads::HandOver;
using threads::SeenLock;

// What libjack's thread sees: the hand-over to the watch while it is there.
struct JackPortWatch::Link {
    std::mutex mutex;
    HandOver *handOver = nullptr;
    std::function<void()> announce;
    std::function<void()> gone;
};

namespace {

// A client is made in a round trip and a cycle of the server; one that does not answer within
// this as the watch goes is not waited for.
constexpr std::chrono::milliseconds ConnectingBound{3000};

// What one client's callbacks get: the watch's link (the same for the clients of servers that
// came back), the client, and the word that its server went away, so that it is never closed.
struct Watcher {
    std::shared_ptr<JackPortWatch::Link> link;
    std::atomic<jack_client_t *> client{nullptr};
    std::atomic<bool> serverGone{false};
};

void post(void *data, bool shutDown) {
    JackPortWatch::Link &link = *static_cast<Watcher *>(data)->link;
    SeenLock lock(link.mutex);
    if (!link.handOver)
        return;
    link.handOver->post(shutDown ? link.gone : link.announce);
}

void portRegistered(jack_port_id_t id, int, void *data) {
    // The program's own ports are never listed: their coming and going is no news. (A port that
    // went keeps its name at its id until the id is used again.)
    if (jack_client_t *client = static_cast<Watcher *>(data)->client.load()) {
        const jack_port_t *port = jack_port_by_id(client, id);
        const char *name = port ? jack_port_name(port) : nullptr;
        if (name && isOwnPort(name))
            return;
    }
    post(data, false);
}

void portRenamed(jack_port_id_t, const char *, const char *, void *data) {
    post(data, false);
}

void serverShutDown(jack_status_t, const char *, void *data) {
    static_cast<Watcher *>(data)->serverGone = true;
    post(data, true);
}

// Opens and activates a watching client on the server libjack would use now; false when there is
// none. Runs on a thread of its own.
bool openClient(const std::shared_ptr<JackPortWatch::Link> &link) {
    // Made before the client, whose thread uses it: the thread's start orders the two.
    auto watcher = std::make_shared<Watcher>();
    watcher->link = link;
    jack_status_t status{};
    jack_client_t *client = jack_client_open(WatchClientName, JackNoStartServer, &status);
    if (!client)
        return false;
    watcher->client = client;
    // Callbacks are set before the activation, which alone makes the server call them.
    jack_set_port_registration_callback(client, &portRegistered, watcher.get());
    jack_set_port_rename_callback(client, &portRenamed, watcher.get());
    jack_on_info_shutdown(client, &serverShutDown, watcher.get());
    if (jack_activate(client) != 0) {
        jack_client_close(client);
        return false;
    }
    // Kept, with the data its callbacks get, until the program ends: see keepUntilExit.
    keepUntilExit(client, watcher, ServerGone(watcher, &watcher->serverGone));
    return true;
}

} // namespace

JackPortWatch::JackPortWatch(QObject *parent)
    : PortWatch(parent), link(std::make_shared<Link>()), handOver(new HandOver(this)) {
    link->handOver = handOver;
    link->announce = [this] { announce(); };
    link->gone = [this] { serverGone(); };
    retry.setSingleShot(true);
    retry.setInterval(RetryMs);
    connect(&retry, &QTimer::timeout, this, &JackPortWatch::connectSoon);
    connectSoon();
}

JackPortWatch::~JackPortWatch() {
    {
        SeenLock lock(link->mutex);
        link->handOver = nullptr;
    }
    if (!connecting.valid())
        return;
    // A connection still being made finishes on its own (its client is kept until the end), on
    // its own too when its server does not answer.
    auto pending = std::make_shared<std::future<bool>>(std::move(connecting));
    BoundedCall::run(ConnectingBound, "the port watch: making its JACK client",
                     [pending] { pending->wait(); });
}

bool JackPortWatch::watching() const {
    return connected;
}

void JackPortWatch::connectSoon() {
    if (connecting.valid())
        return;
    connecting = std::async(std::launch::async, &openClient, link);
    // Looked at once it has had time: a round trip and a cycle of the server.
    QTimer::singleShot(0, this, &JackPortWatch::takeClient);
}

void JackPortWatch::takeClient() {
    if (!connecting.valid())
        return;
    if (connecting.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        QTimer::singleShot(10, this, &JackPortWatch::takeClient);
        return;
    }
    connected = connecting.get();
    if (!connected) {
        retry.start();
        return;
    }
    // A server there now that was not before: all of its ports are news.
    if (everConnected)
        qCInfo(lcMidi, "a JACK server is there again");
    everConnected = true;
    announce();
}

void JackPortWatch::serverGone() {
    qCWarning(lcMidi, "the JACK server the port watch watched went away");
    connected = false;
    announce();
    retry.start();
}

} // namespace vkv::jack
