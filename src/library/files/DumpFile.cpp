#include "DumpFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vkv::library {

namespace {

bool fail(QString *why, const QString &text) {
    if (why)
        *why = text;
    return false;
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString DumpFile::refusal(const QByteArray &bytes) {
    if (bytes.size() != image::DumpSize)
        return QStringLiteral("it is %1 bytes long; a configuration dump is %2")
            .arg(bytes.size())
            .arg(image::DumpSize);
    const auto *raw = reinterpret_cast<const std::uint8_t *>(bytes.constData());
    if (!std::equal(image::DumpHeader.begin(), image::DumpHeader.end(), raw))
        return QStringLiteral("it does not begin as this box's configuration dump "
                              "(F0 00 00 7E 42 02)");
    if (raw[image::EndByteOffset] != image::SysExEnd)
        return QStringLiteral("it does not end with F7");
    return {};
}

std::optional<image::DumpBytes> DumpFile::read(const QString &path, QString *why) {
    const QFileInfo info(path);
    if (!info.exists()) {
        fail(why, QStringLiteral("the file is not there"));
        return std::nullopt;
    }
    if (!info.isFile()) {
        fail(why, QStringLiteral("it is not a regular file"));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(why, file.errorString());
        return std::nullopt;
    }
    // One byte more than a dump tells a longer file without reading a huge one.
    const QByteArray bytes = file.read(image::DumpSize + 1);
    if (file.error() != QFileDevice::NoError) {
        fail(why, file.errorString());
        return std::nullopt;
    }
    QString refused = refusal(bytes);
    if (!refused.isEmpty()) {
        if (bytes.size() > image::DumpSize)
            refused = QStringLiteral("it is longer than a configuration dump (%1 bytes)")
                          .arg(image::DumpSize);
        fail(why, refused);
        return std::nullopt;
    }
    image::DumpBytes dump;
    std::copy(bytes.begin(), bytes.end(), dump.begin());
    return dump;
}

bool DumpFile::moveNew(const QString &from, const QString &to, QString *why, bool *taken) {
    if (taken)
        *taken = false;
    const QByteArray a = QFile::encodeName(from), b = QFile::encodeName(to);
    // Atomic: a file another program puts there at the same moment is never replaced.
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
        return true;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without it: a hard link fails on an existing name just as atomically.
        if (::link(a.constData(), b.constData()) == 0) {
            ::unlink(a.constData());
            return true;
        }
        error = errno;
    }
    if (error == EEXIST && taken)
        *taken = true;
    return fail(why, error == EEXIST ? QStringLiteral("a file of that name is there already")
                                     : systemError(error));
}

bool DumpFile::write(const QString &path, const image::DumpBytes &dump, bool replace, bool sync,
                     QString *why, bool *taken) {
    if (taken)
        *taken = false;
    if (!replace && QFileInfo::exists(path)) {
        if (taken)
            *taken = true;
        return fail(why, QStringLiteral("a file of that name is there already"));
    }
    image::DumpBytes framed = dump;
    image::frameDump(framed.data());
    // Beside the target, hidden and without the .syx ending, so that no scan of the folder takes
    // it for a configuration; named by this process and a count, so no other writer meets it. A
    // file of that name left by a program that crashed (its number came again) is passed by.
    static std::atomic<unsigned> count{0};
    QString written;
    QFile temporary;
    for (int tries = 0;; ++tries) {
        written = QStringLiteral("%1/%2%3-%4")
                      .arg(QFileInfo(path).absolutePath(), QLatin1String(TemporaryPrefix))
                      .arg(::getpid())
                      .arg(++count);
        temporary.setFileName(written);
        if (temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!QFileInfo::exists(written) || tries >= 10000)
            return fail(why, temporary.errorString());
    }
    const auto size = static_cast<qint64>(framed.size());
    bool whole = temporary.write(reinterpret_cast<const char *>(framed.data()), size) == size &&
                 temporary.flush();
    QString error = whole ? QString() : temporary.errorString();
    if (whole && sync && ::fsync(temporary.handle()) != 0) {
        whole = false;
        error = systemError(errno);
    }
    temporary.close();
    if (!whole) {
        QFile::remove(written);
        return fail(why, error);
    }
    if (replace && std::rename(QFile::encodeName(written).constData(),
                               QFile::encodeName(path).constData()) != 0) {
        const int failed = errno;
        QFile::remove(written);
        return fail(why, systemError(failed));
    }
    if (!replace && !moveNew(written, path, why, taken)) {
        QFile::remove(written);
        return false;
    }
    return true;
}

int DumpFile::removeLeftovers(const QString &folder, const QString &prefix) {
    int removed = 0;
    const QDateTime old = QDateTime::currentDateTime().addSecs(-60);
    const QDir dir(folder);
    for (const QFileInfo &file :
         dir.entryInfoList({prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System))
        if (!file.isSymLink() && file.lastModified() < old && QFile::remove(file.filePath()))
            ++removed;
    return removed;
}

QString DumpFile::key(const image::DumpBytes &dump) {
    const auto *records = reinterpret_cast<const char *>(dump.data() + image::PotRecordsOffset);
    return QString::fromLatin1(
        QCryptographicHash::hash(
            QByteArrayView(records, image::EndByteOffset - image::PotRecordsOffset),
            QCryptographicHash::Sha1)
            .toHex());
}

} // namespace vkv::library
