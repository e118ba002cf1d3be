#include "HandOver.h"

#include "ThreadSanitizer.h"

#include <QMetaObject>
#include <utility>

namespace vkv::threads {

void HandOver::post(std::function<void()> work) {
    {
        SeenLock lock(mutex);
        queue.push_back(std::move(work));
    }
    // One call for each piece, as one posted event each had been: a handler that runs a nested
    // event loop still sees the pieces that follow.
    QMetaObject::invokeMethod(this, "runNext", Qt::QueuedConnection);
}

void HandOver::runNext() {
    std::function<void()> work;
    {
        SeenLock lock(mutex);
        if (queue.empty())
            return;
        work = std::move(queue.front());
        queue.pop_front();
    }
    work(); // may close the port; this object is not touched after it
}

} // namespace vkv::threads
