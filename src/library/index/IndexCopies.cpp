#include "IndexCopies.h"

#include "LibraryIndex.h"
#include "LibraryLog.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace vkv::library {

IndexCopies::IndexCopies(LibraryIndex &index) : index(index) {}

IndexCopies::~IndexCopies() {
    if (copyDue && index.isOpen())
        write();
}

QString IndexCopies::path(int n) const {
    return folder + QStringLiteral("/copy-%1.sqlite").arg(n);
}

std::optional<QDateTime> IndexCopies::takeBack() {
    std::vector<QFileInfo> copies;
    for (int n = 1; n <= Copies; ++n)
        if (QFileInfo copy(path(n)); copy.exists())
            copies.push_back(copy);
    std::sort(copies.begin(), copies.end(), [](const QFileInfo &a, const QFileInfo &b) {
        return a.lastModified() > b.lastModified();
    });
    for (const QFileInfo &copy : copies) {
        QString why;
        if (index.takeFrom(copy.filePath(), &why))
            return copy.lastModified();
        qCWarning(lcLibrary, "the copy %s cannot be taken back from: %s",
                  qPrintable(copy.filePath()), qPrintable(why));
    }
    return std::nullopt;
}

void IndexCopies::dueWhenOld() {
    const QFileInfo newest(path(1));
    if (!newest.exists() || newest.lastModified().msecsTo(QDateTime::currentDateTime()) > CopyAgeMs)
        copyDue = true;
}

void IndexCopies::whenDue() {
    // At most every ten seconds, so that a run of edits costs one copy; the rest as it closes.
    if (copyDue && (!sinceCopy.isValid() || sinceCopy.elapsed() > 10000))
        write();
}

bool IndexCopies::write() {
    sinceCopy.start();
    // Named by the process and the thread: the window's library and the captures' (on a thread
    // of their own) in one program may both be writing a copy at once.
    static std::atomic<int> threads{0};
    thread_local const int self = ++threads;
    const QString fresh = folder + u'/' + QLatin1String(TemporaryPrefix) +
                          QStringLiteral("%1-%2.sqlite").arg(::getpid()).arg(self);
    QString why;
    if (!index.copyTo(fresh, &why)) {
        qCWarning(lcLibrary, "no copy of the index was made: %s", qPrintable(why));
        return false;
    }
    // The newest is replaced while it is young; older ones keep their age.
    const QFileInfo newest(path(1));
    if (newest.exists() &&
        newest.lastModified().msecsTo(QDateTime::currentDateTime()) > CopyAgeMs) {
        for (int n = Copies - 1; n >= 1; --n)
            if (QFileInfo::exists(path(n)))
                std::rename(QFile::encodeName(path(n)).constData(),
                            QFile::encodeName(path(n + 1)).constData());
    }
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path(1)).constData()) !=
        0) {
        QFile::remove(fresh);
        qCWarning(lcLibrary, "no copy of the index was made: %s", std::strerror(errno));
        return false;
    }
    copyDue = false;
    return true;
}

} // namespace vkv::library
