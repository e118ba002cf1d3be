#include "PortWatch.h"

namespace vkv::backendapi {

PortWatch::PortWatch(QObject *parent) : QObject(parent) {
    coalesce.setSingleShot(true);
    coalesce.setInterval(CoalesceMs);
    connect(&coalesce, &QTimer::timeout, this, &PortWatch::changed);
}

void PortWatch::announce() {
    if (!coalesce.isActive())
        coalesce.start();
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

} // namespace vkv::backendapi
