#pragma once

#include "Backend.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vkv::backendapi {

// Tells when the system's MIDI ports may have changed: a box plugged in or out, a program that
// made or dropped a port, a JACK server that came or went. The owner then reads its port lists
// again; nothing here lists or opens ports for it.
//
// One watcher per back end, each as the back end best tells: the ALSA sequencer's announcements,
// the JACK server's callbacks, and where a back end says nothing, a comparison of the port names
// every PollMs. Whatever thread the announcements come on, changed() is raised on the thread the
// watcher lives on (the GUI thread), once for a burst of them.
class PortWatch : public QObject {
    Q_OBJECT
public:
    // The port names of the back end now, both directions: what the polling watcher compares.
    using ListNames = std::function<std::vector<std::string>()>;

    // The watcher for `backend`; the polling one where the back end's announcements cannot be
    // had (no sequencer, no server yet, another back end).
    static std::unique_ptr<PortWatch> create(Backend backend, ListNames names,
                                             QObject *parent = nullptr);

    static constexpr int PollMs = 2000;
    // A burst of announcements (a box with many ports, a program starting) makes one re-read.
    static constexpr int CoalesceMs = 50;

    // How it watches ("ALSA announcements", "JACK callbacks", "polling"), for the log and tests.
    virtual const char *how() const = 0;

signals:
    void changed();

protected:
    explicit PortWatch(QObject *parent);
    // An announcement came: changed() follows once the burst is over. The watcher's thread only.
    void announce();

private:
    QTimer coalesce;
};

// Compares the names `names` gives every `intervalMs` and raises changed() when they differ.
class PollingPortWatch : public PortWatch {
    Q_OBJECT
public:
    PollingPortWatch(ListNames names, int intervalMs = PollMs, QObject *parent = nullptr);
    const char *how() const override { return "polling"; }

private:
    void poll();

    ListNames names;
    std::vector<std::string> last;
    QTimer timer;
};

} // namespace vkv::backendapi
