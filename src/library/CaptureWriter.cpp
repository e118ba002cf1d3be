#include "CaptureWriter.h"

#include "HandOver.h"
#include "ThreadSanitizer.h"

namespace vkv::library {

CaptureWriter::CaptureWriter(QObject *parent)
    : QObject(parent), folder(Library::defaultFolder()), back(new threads::HandOver(this)) {
    thread.setObjectName(QStringLiteral("library capture"));
}

CaptureWriter::~CaptureWriter() {
    if (!worker)
        return;
    // Queued behind the writes still waiting, so that each is done; the library goes on its own
    // thread, where its index was opened.
    worker->post([this] {
        library.reset();
        threads::syncRelease(&thread);
        thread.quit();
    });
    // QThread's end is told under Qt's own locks, which the thread sanitizer does not see.
    thread.wait();
    threads::syncAcquire(&thread);
    delete worker;
}

void CaptureWriter::setFolder(const QString &folder) {
    this->folder = folder;
}

void CaptureWriter::post(const std::function<bool(Library &)> &work, const QString &what) {
    if (!worker) {
        worker = new threads::HandOver(nullptr);
        worker->moveToThread(&thread);
        thread.start(QThread::LowPriority);
    }
    worker->post([this, work, what, folder = folder] {
        if (!library || openFolder != folder) {
            library = std::make_shared<Library>();
            openFolder = folder;
            if (!library->open(folder)) {
                const QString why = library->error();
                library.reset();
                back->post([this, what, why] { emit recorded(what, why); });
                return;
            }
        }
        const QString why = work(*library) ? QString() : library->error();
        const QStringList notices = library->takeNotices();
        back->post([this, what, why, notices] {
            emit recorded(what, why);
            for (const QString &notice : notices)
                emit noticed(notice);
        });
    });
}

void CaptureWriter::record(const Library::Capture &capture) {
    QString what = capture.direction == Library::Direction::Received
                       ? QStringLiteral("the dump received from %1")
                       : QStringLiteral("the configuration sent to %1");
    if (capture.test)
        what = capture.direction == Library::Direction::Received
                   ? QStringLiteral("the answer to a test copy from %1")
                   : QStringLiteral("the test copy sent to %1");
    if (!capture.dump)
        what = capture.direction == Library::Direction::Received
                   ? QStringLiteral("the broken dump from %1")
                   : QStringLiteral("the broken send to %1");
    post([capture](Library &library) { return library.capture(capture); }, what.arg(capture.port));
}

void CaptureWriter::verified(const QString &port, const image::DumpBytes &sent, bool held) {
    post([port, sent, held](Library &library) { return library.verified(port, sent, held); },
         QStringLiteral("the verify of the send to %1").arg(port));
}

} // namespace vkv::library
