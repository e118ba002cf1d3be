#include "HandOver.h"

#include <QCoreApplication>
#include <QEvent>

#if defined(__SANITIZE_THREAD__)
#define VKV_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VKV_THREAD_SANITIZER 1
#endif
#endif

#ifdef VKV_THREAD_SANITIZER
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#endif

namespace vkv::midi {

namespace {

const QEvent::Type WorkEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct Work : QEvent {
    explicit Work(std::function<void()> f) : QEvent(WorkEvent), run(std::move(f)) {}
    std::function<void()> run;
};

} // namespace

void HandOver::post(std::function<void()> work) {
#ifdef VKV_THREAD_SANITIZER
    __tsan_release(this);
#endif
    QCoreApplication::postEvent(this, new Work(std::move(work)));
}

bool HandOver::event(QEvent *e) {
#ifdef VKV_THREAD_SANITIZER
    __tsan_acquire(this); // before anything of the event is read
#endif
    if (e->type() != WorkEvent)
        return QObject::event(e);
    auto run = std::move(static_cast<Work *>(e)->run); // the work may delete this object
    run();
    return true;
}

} // namespace vkv::midi
