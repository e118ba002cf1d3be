#pragma once

#include "Library.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>

namespace vkv::threads {
class HandOver;
}

namespace vkv::library {

// Records captures into a library off the caller's thread, so that a transfer is never held up:
// record() copies what it is given and returns at once, and a thread of the writer's own opens
// the library at its first capture and writes each in the order given. recorded() then says, on
// the caller's thread, whether it was kept. Nothing is made before the first capture, so a
// program that captures nothing pays nothing at its start.
class CaptureWriter : public QObject {
    Q_OBJECT
public:
    explicit CaptureWriter(QObject *parent = nullptr);
    // Waits for the writes under way.
    ~CaptureWriter() override;

    // The library the next captures go to.
    void setFolder(const QString &folder);
    void record(const Library::Capture &capture);
    // The box held (or did not) a configuration sent to `port`.
    void verified(const QString &port, const image::DumpBytes &sent, bool held);

signals:
    // `what` says which capture: "the dump received from vela-box:out". `why` is "" when it was
    // kept, else why it could not be.
    void recorded(const QString &what, const QString &why);
    // What the library had to say as it recorded (an index made anew, a write its index takes
    // later), each once, after the `recorded` it came with.
    void noticed(const QString &notice);

private:
    void post(const std::function<bool(Library &)> &work, const QString &what);

    QString folder;
    QThread thread;
    // Work and outcomes cross between the threads through queues of our own, whose ordering the
    // thread sanitizer sees; it cannot see into Qt's event queue.
    threads::HandOver *worker = nullptr; // lives on `thread`
    threads::HandOver *back;             // this object's thread's: the outcomes
    std::shared_ptr<Library> library;    // made, used and destroyed on `thread`
    QString openFolder;                  // the folder `library` has open; `thread`'s
};

} // namespace vkv::library
