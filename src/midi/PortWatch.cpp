#include "PortWatch.h"

#include "AlsaPortWatch.h"
#include "JackPortWatch.h"
#include "MidiLog.h"

namespace vkv::midi {

PortWatch::PortWatch(QObject *parent) : QObject(parent) {
    coalesce.setSingleShot(true);
    coalesce.setInterval(CoalesceMs);
    connect(&coalesce, &QTimer::timeout, this, &PortWatch::changed);
}

void PortWatch::announce() {
    if (!coalesce.isActive())
        coalesce.start();
}

std::unique_ptr<PortWatch> PortWatch::create(Backend backend, ListNames names, QObject *parent) {
    std::unique_ptr<PortWatch> watch;
    if (backend == Backend::Alsa)
        watch = AlsaPortWatch::create(parent);
    else if (backend == Backend::Jack)
        watch = std::make_unique<JackPortWatch>(parent);
    if (!watch)
        watch = std::make_unique<PollingPortWatch>(std::move(names), PollMs, parent);
    qCInfo(lcMidi, "watching the ports by %s", watch->how());
    return watch;
}

PollingPortWatch::PollingPortWatch(ListNames names, int intervalMs, QObject *parent)
    : PortWatch(parent), names(std::move(names)) {
    if (this->names)
        last = this->names();
    connect(&timer, &QTimer::timeout, this, &PollingPortWatch::poll);
    timer.start(intervalMs);
}

void PollingPortWatch::poll() {
    if (!names)
        return;
    std::vector<std::string> now = names();
    if (now == last)
        return;
    last = std::move(now);
    announce();
}

} // namespace vkv::midi
