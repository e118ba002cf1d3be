#pragma once

// Files that cannot be read and disks that are full, made for real where the test machine lets
// a test make them.
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <linux/capability.h>
#include <optional>
#include <string>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace testfiles {

// Root reads and writes any file, and makes files in any folder, whatever their mode; without these
// two capabilities the calling thread is held to the mode like anyone else, until the object goes.
// Capabilities belong to each thread.
class NoReadOverride {
public:
    NoReadOverride() {
        if (syscall(SYS_capget, &header, old) != 0)
            return;
        __user_cap_data_struct now[2] = {old[0], old[1]};
        now[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        dropped = syscall(SYS_capset, &header, now) == 0;
    }
    ~NoReadOverride() {
        if (dropped)
            syscall(SYS_capset, &header, old);
    }
    NoReadOverride(const NoReadOverride &) = delete;
    NoReadOverride &operator=(const NoReadOverride &) = delete;

private:
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct old[2]{};
    bool dropped = false;
};

// A file with no read permission for anyone.
inline QString unreadableFile(const QTemporaryDir &dir, const QString &name) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("\xF0\x00\x00\x7E\x42\x02", 6);
    file.close();
    QFile::setPermissions(path, QFileDevice::Permissions());
    return path;
}

// A folder in which no new file can be made (mode 0555), holding one file its owner may write, for
// the object's life; root too is held to the folder's mode meanwhile (NoReadOverride). Where the
// folder takes new files all the same, reason() says so.
class FolderWithoutNewFiles {
public:
    FolderWithoutNewFiles(const QString &name, const QByteArray &bytes) {
        QFile file(dir.filePath(name));
        if (!dir.isValid() || !file.open(QIODevice::WriteOnly) ||
            file.write(bytes) != bytes.size()) {
            why = "cannot write the file in a temporary folder";
            return;
        }
        file.close();
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                              QFileDevice::ReadOther | QFileDevice::ExeOther);
        asAnyUser.emplace();
        QFile probe(dir.filePath("probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            why = "this process makes files in a folder of mode 0555 all the same";
        }
    }
    ~FolderWithoutNewFiles() {
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
    }
    FolderWithoutNewFiles(const FolderWithoutNewFiles &) = delete;
    FolderWithoutNewFiles &operator=(const FolderWithoutNewFiles &) = delete;

    bool ready() const { return why.empty(); }
    const std::string &reason() const { return why; }
    QString filePath(const QString &name) const { return dir.filePath(name); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }

private:
    QTemporaryDir dir;
    std::optional<NoReadOverride> asAnyUser;
    std::string why;
};

// A tmpfs of 16 KiB, mounted on a folder of its own for the object's life, that holds the files
// given and is then filled up. Mounting needs root (CAP_SYS_ADMIN); where that is refused,
// reason() says so and the disk is not there.
class SmallFullDisk {
public:
    explicit SmallFullDisk(const QList<std::pair<QString, QByteArray>> &files = {}) {
        if (!dir.isValid()) {
            why = "no temporary folder";
            return;
        }
        if (mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                  "size=16k") != 0) {
            why = std::string("cannot mount a small tmpfs here: ") + std::strerror(errno);
            return;
        }
        mounted = true;
        for (const auto &[name, bytes] : files) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
                why = "cannot write the files on the small disk";
                return;
            }
        }
        QFile filler(dir.filePath("filler"));
        if (!filler.open(QIODevice::WriteOnly)) {
            why = "cannot fill the disk";
            return;
        }
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size() && filler.flush())
            ;
    }
    ~SmallFullDisk() {
        if (mounted)
            umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    SmallFullDisk(const SmallFullDisk &) = delete;
    SmallFullDisk &operator=(const SmallFullDisk &) = delete;

    bool ready() const { return mounted && why.empty(); }
    const std::string &reason() const { return why; }
    QString filePath(const QString &name) const { return dir.filePath(name); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }

private:
    QTemporaryDir dir;
    bool mounted = false;
    std::string why;
};

} // namespace testfiles
