#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

namespace vkv::threads {

// Runs work handed over from other threads (the back end's input thread, the tempo timer's) on
// the thread this object lives on, in the order it was handed over. Work still queued when the
// object goes is dropped, so a child of a port never calls into the port after it is gone.
//
// The work waits in a queue of our own under a std::mutex, and each piece is announced by a
// queued call that carries nothing. Qt's own event queue orders threads with locks that the
// thread sanitizer cannot see into (Qt is not built with it), so work carried inside a posted
// event was taken for a race wherever the event was looked at: by an event filter, for one.
class HandOver : public QObject {
    Q_OBJECT
public:
    explicit HandOver(QObject *parent) : QObject(parent) {}
    // Any thread.
    void post(std::function<void()> work);

private:
    Q_INVOKABLE void runNext();

    std::mutex mutex;
    std::deque<std::function<void()>> queue;
};

} // namespace vkv::threads
