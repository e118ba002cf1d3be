#include "HandOver.h"

#include "ThreadSanitizer.h"

#include <QCoreApplication>
#include <QEvent>

namespace vkv::midi {

namespace {

const QEvent::Type WorkEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct Work : QEvent {
    explicit Work(std::function<void()> f) : QEvent(WorkEvent), run(std::move(f)) {}
    std::function<void()> run;
};

} // namespace

void HandOver::post(std::function<void()> work) {
    auto *event = new Work(std::move(work));
    syncRelease(this); // after the event is made: the delivery reads it
    QCoreApplication::postEvent(this, event);
}

bool HandOver::event(QEvent *e) {
    syncAcquire(this); // before anything of the event is read
    if (e->type() != WorkEvent)
        return QObject::event(e);
    auto run = std::move(static_cast<Work *>(e)->run); // the work may delete this object
    run();
    return true;
}

} // namespace vkv::midi
