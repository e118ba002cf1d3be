#include "OwnPortLink.h"

#include "HandOver.h"
#include "ThreadSanitizer.h"

#include <utility>

namespace vkv::backendapi {

using threads::HandOver;
using threads::SeenLock;

void OwnPortLink::deliver(const unsigned char *bytes, std::size_t size) {
    if (bytes == nullptr || size == 0)
        return;
    SeenLock lock(mutex);
    if (!handOver)
        return;
    if (pendingBytes + size > MaxPending) {
        ++pending.dropped;
        return;
    }
    pending.bytes.insert(pending.bytes.end(), bytes, bytes + size);
    pending.sizes.push_back(size);
    pendingBytes += size;
    if (std::exchange(posted, true))
        return;
    handOver->post(taken);
}

void OwnPortLink::lost() {
    SeenLock lock(mutex);
    if (handOver && gone)
        handOver->post(std::exchange(gone, {}));
}

void OwnPortLink::bind(HandOver *to, std::function<void()> onTaken, std::function<void()> onGone) {
    SeenLock lock(mutex);
    handOver = to;
    taken = std::move(onTaken);
    gone = std::move(onGone);
    pending = {};
    pendingBytes = 0;
    posted = false;
}

void OwnPortLink::unbind() {
    SeenLock lock(mutex);
    handOver = nullptr;
    taken = {};
    gone = {};
    pending = {};
    pendingBytes = 0;
    posted = false;
}

OwnPortLink::Taken OwnPortLink::take() {
    SeenLock lock(mutex);
    posted = false;
    pendingBytes = 0;
    return std::exchange(pending, {});
}

} // namespace vkv::backendapi
