#include "SyxFile.h"

#include "ConfigImage.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <algorithm>

namespace vkv::image {

std::optional<QByteArray> SyxFile::read(const QString &path, QString *error) {
    const auto fail = [error](const QString &why) -> std::optional<QByteArray> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("no such file"));
    if (!info.isFile())
        return fail(QStringLiteral("not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    QByteArray bytes = file.read(DumpSize);
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    if (bytes.isEmpty())
        return fail(QStringLiteral("the file is empty"));
    return bytes;
}

std::optional<DumpBytes> SyxFile::readImage(const QString &path, QString *error) {
    const auto bytes = read(path, error);
    if (!bytes)
        return std::nullopt;
    ConfigImage image;
    if (!loadDefaultImage(image)) {
        if (error)
            *error = QStringLiteral("the built-in default configuration cannot be read");
        return std::nullopt;
    }
    std::copy(bytes->begin(), bytes->end(), image.bytes().begin());
    return image.bytes();
}

namespace {

// Whether a new file can be made beside `path`: when not, QSaveFile writes the file in place.
bool folderTakesNewFiles(const QString &path) {
    const QString file = QFileInfo(path).canonicalFilePath(); // a link's file, as QSaveFile's
    QTemporaryFile probe(QFileInfo(file.isEmpty() ? path : file).absolutePath() +
                         QStringLiteral("/.vkvela-probe-XXXXXX"));
    return probe.open();
}

} // namespace

bool SyxFile::write(const QString &path, const QByteArray &bytes, QString *error, bool *cutShort) {
    if (cutShort)
        *cutShort = false;
    // Once the file was opened in place, a failure has changed it.
    const auto failedInPlace = [&] {
        if (cutShort)
            *cutShort = !folderTakesNewFiles(path);
        return false;
    };
    QSaveFile file(path);
    // A folder that takes no new file takes no temporary one either, yet an existing file there
    // may be the user's to write: then it is written in place. A new file there still fails, and
    // everywhere else the temporary file keeps an existing one whole. A symbolic link is followed
    // (the temporary file goes beside the file it points to), so the link stays.
    file.setDirectWriteFallback(true);
    // Unbuffered, so a short write (a full disk) shows in the count written: a buffered one is
    // flushed by commit(), which here took a file cut short for a good one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        if (error)
            *error = written < 0 ? file.errorString()
                                 : QStringLiteral("only %1 of %2 bytes could be written")
                                       .arg(written)
                                       .arg(bytes.size());
        file.cancelWriting(); // the temporary file goes; the target stays as it was
        return failedInPlace();
    }
    if (!file.commit()) { // flushes, closes and renames over the target
        if (error)
            *error = file.errorString();
        return failedInPlace();
    }
    return true;
}

} // namespace vkv::image
