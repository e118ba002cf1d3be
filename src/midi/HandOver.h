#pragma once

#include <QObject>
#include <functional>

namespace vkv::midi {

// Runs work handed over from other threads (the back end's input thread, the tempo timer's) on
// the thread this object lives on, in the order it was handed over. Work still queued when the
// object goes is dropped, so a child of a port never calls into the port after it is gone.
//
// The work travels as a posted event. Qt orders the two threads with locks of its own that the
// thread sanitizer cannot see into (Qt is not built with it); under that sanitizer, post() and the
// delivery announce the hand-over to it, so what the work carries is not taken for a race.
class HandOver : public QObject {
public:
    explicit HandOver(QObject *parent) : QObject(parent) {}
    // Any thread.
    void post(std::function<void()> work);

protected:
    bool event(QEvent *e) override;
};

} // namespace vkv::midi
