#pragma once

#include "ConfigImage.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace vkv::image {

// Reading and writing the files the configuration goes to and comes from.
//
// Reading takes a whole file into memory before anything of it reaches the image, so a failure
// half-way never leaves the image half replaced. Only the first DumpSize bytes are ever read: a
// longer file is taken as its first 1543 bytes, and a huge one costs no more than that.
//
// Writing goes to a temporary file beside the target, which replaces the target only once every
// byte is written, flushed and closed; on any failure an existing file stays as it was. Where the
// folder lets no new file be made (so no temporary one either), an existing file that may be
// written is written in place instead: there a failure part-way, such as a full disk, leaves it
// cut short. A symbolic link is followed: the file it points to is written, and the link stays.
class SyxFile {
public:
    // The bytes of a regular file, at most DumpSize of them; nothing when the file cannot be
    // read, is not a regular file (a folder, a pipe, a device: opening a pipe would wait for a
    // writer), or is empty. `error` says why.
    static std::optional<QByteArray> read(const QString &path, QString *error = nullptr);

    // The configuration a file holds, read as "Open Sysex File" reads it into a freshly started
    // editor: the built-in defaults with as many leading bytes replaced as the file has (1543 at
    // most), taken as they are, header and end byte too. Nothing when the file cannot be read
    // (`error` says why, as for read()).
    static std::optional<DumpBytes> readImage(const QString &path, QString *error = nullptr);

    // Writes `bytes` as the whole content of `path`; false, with `error` set, when any step
    // failed, and then nothing at `path` has changed, but for a file written in place (above):
    // `cutShort` then says it may have lost what it held.
    static bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr,
                      bool *cutShort = nullptr);
};

} // namespace vkv::image
