#pragma once

#include "ConfigImage.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace vkv::library {

// The library's files: each is one configuration dump as "Store Sysex File" writes it, framed and
// exactly 1543 bytes, so any tool can copy, sync or back them up. Reading is strict (what is not
// such a dump never enters the library), and a file is written beside its target first and put
// in its place only once whole, never over another file unless asked to.
class DumpFile {
public:
    // The dump a file holds; nothing when it holds no dump of this box (`why` says why) or cannot
    // be read.
    static std::optional<image::DumpBytes> read(const QString &path, QString *why = nullptr);
    // Why `bytes` are not a dump of this box ("it is 120 bytes long; a dump is 1543"), or "".
    static QString refusal(const QByteArray &bytes);

    // Writes `dump`, framed, as the file `path`. `replace`: an existing file gives way (a
    // captured configuration, whose name is its content's key); otherwise a file there already
    // fails it with `taken` set, even one another program made a moment ago. `sync`: on the disk
    // before it returns. On failure nothing at `path` has changed and `why` says why.
    static bool write(const QString &path, const image::DumpBytes &dump, bool replace, bool sync,
                      QString *why = nullptr, bool *taken = nullptr);
    // What the names of the files write() makes on the way begin with.
    static constexpr auto TemporaryPrefix = ".vkvela-new-";
    // Removes the files of `folder` whose names begin with `prefix` that are older than a minute:
    // left by a program that crashed while it wrote them (a younger one may be another program's
    // under way). How many went.
    static int removeLeftovers(const QString &folder,
                               const QString &prefix = QLatin1String(TemporaryPrefix));
    // Moves the file `from` to `to`, which must not be there (`taken` set when it is).
    static bool moveNew(const QString &from, const QString &to, QString *why = nullptr,
                        bool *taken = nullptr);

    // The identity of a configuration's content: its records (bytes 6 to 1541, as "Compare ..."
    // compares them), as 40 hexadecimal digits. The header and end byte are framing.
    static QString key(const image::DumpBytes &dump);
};

} // namespace vkv::library
