#include "FolderWalk.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace vkv::library {

FolderWalk::FolderWalk(const QString &folder, const QString &leftOut, const QString &leftOutWhy)
    : leftOut(leftOut), leftOutWhy(leftOutWhy) {
    walk(QFile::encodeName(folder), QString());
}

void FolderWalk::walk(const QByteArray &folder, const QString &shown) {
    DIR *dir = ::opendir(folder.constData());
    if (!dir) {
        passedOver.push_back({shown.isEmpty() ? QStringLiteral(".") : shown,
                              QStringLiteral("the folder cannot be read: %1")
                                  .arg(QString::fromLocal8Bit(std::strerror(errno)))});
        return;
    }
    std::vector<QByteArray> names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const QByteArray &name : names) {
        const QByteArray full = folder + '/' + name;
        const QString text = QString::fromUtf8(name);
        const QString below = shown.isEmpty() ? text : shown + u'/' + text;
        // Decoded and encoded again, a name that is no UTF-8 comes out as another.
        if (text.toUtf8() != name) {
            passedOver.push_back({below, QStringLiteral("its name is not UTF-8")});
            continue;
        }
        struct stat info {};
        if (::lstat(full.constData(), &info) != 0) {
            passedOver.push_back({below, QString::fromLocal8Bit(std::strerror(errno))});
        } else if (S_ISLNK(info.st_mode)) {
            passedOver.push_back({below, QStringLiteral("a link; not followed")});
        } else if (S_ISDIR(info.st_mode)) {
            if (!leftOut.isEmpty() &&
                QFileInfo(QFile::decodeName(full)).canonicalFilePath() == leftOut)
                passedOver.push_back({below, leftOutWhy});
            else
                walk(full, below);
        } else if (S_ISREG(info.st_mode)) {
            found.push_back({QFile::decodeName(full), below});
        } else {
            passedOver.push_back({below, QStringLiteral("it is not a regular file")});
        }
    }
}

} // namespace vkv::library
