#pragma once

#include "PortWatch.h"

#include <QTimer>
#include <future>
#include <memory>

namespace vkv::threads {
class HandOver;
}

namespace vkv::jack {

// Watches a JACK server's ports through a client of the program's own: the server calls it back
// when a port is registered, unregistered or renamed (the program's own ports, never listed, are
// no news), and when the server itself goes away. A
// server that went away (or was not there) is looked for every RetryMs until one is there again,
// which is an announcement too: every port of it is new.
//
// The client is made on a thread of its own (a round trip to the server, and its activation waits
// for a cycle), kept until the program ends, and its callbacks only hand over to this object.
class JackPortWatch : public backendapi::PortWatch {
    Q_OBJECT
public:
    static constexpr int RetryMs = 500;

    explicit JackPortWatch(QObject *parent = nullptr);
    ~JackPortWatch() override;
    const char *how() const override { return "JACK callbacks"; }
    // A server is being watched now.
    bool watching() const;

    struct Link; // shared with libjack's thread

private:
    void connectSoon();
    void takeClient();
    void serverGone();

    std::shared_ptr<Link> link;
    threads::HandOver *handOver;
    std::future<bool> connecting;
    QTimer retry;
    bool connected = false;
    bool everConnected = false;
};

} // namespace vkv::jack
