#pragma once

#include "ConfigImage.h"

#include <QString>
#include <cstdio>

namespace vkv::cli {

// What every command says on the standard streams and how it reads its .syx files: a failure is
// one line "vkvela: <text>" on the standard error stream, and a file is read as the editor reads
// it, so a command's image is the one the window would show.
class CommandIo {
public:
    // `text` as it is, flushed at once: a script reading the stream sees each line as it comes.
    static void print(std::FILE *stream, const QString &text);
    // "vkvela: <text>" on the standard error stream.
    static void fail(const QString &text);
    // A signal ended the command: says so and what that left (`what`); returns 128 + `signal`.
    static int interrupted(int signal, const QString &what);

    // The image a .syx file makes, read as "Open Sysex File" reads it into a freshly started
    // editor: the built-in defaults, with as many leading bytes replaced as the file holds (1543
    // at most), then framed as sending and storing frame it. False, said why, when the file
    // cannot be read.
    static bool readImage(const QString &path, image::ConfigImage &image);
    // What a failed write left of the file, to end the failure's line.
    static QString leftAs(bool cutShort);
    // Writes `bytes` as the file `path`, beside it first and in its place once whole; false, said
    // why and what it left, when it could not.
    static bool write(const QString &path, const QByteArray &bytes);
};

} // namespace vkv::cli
