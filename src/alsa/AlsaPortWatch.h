#pragma once

#include "PortWatch.h"

#include <memory>

class QSocketNotifier;
struct _snd_seq;

namespace vkv::alsa {

// Watches the ALSA sequencer's announcements of clients and ports that start, change and exit,
// through a client of the program's own subscribed to the system's announce port. Read on the
// GUI thread when the sequencer has something (no thread of its own, no polling).
class AlsaPortWatch : public backendapi::PortWatch {
    Q_OBJECT
public:
    // Null when the sequencer cannot be opened or will not announce.
    static std::unique_ptr<AlsaPortWatch> create(QObject *parent = nullptr);
    ~AlsaPortWatch() override;
    const char *how() const override { return "ALSA announcements"; }

private:
    explicit AlsaPortWatch(QObject *parent);
    bool open();
    void read();

    _snd_seq *seq = nullptr;
    QSocketNotifier *notifier = nullptr;
};

} // namespace vkv::alsa
