#pragma once

// What the fuzz targets share: one QApplication on the offscreen platform, and a scratch folder
// for the inputs that the code under test reads from disk.
#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline void startApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("JACK_NO_START_SERVER", "1");
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

inline const QTemporaryDir &scratch() {
    static QTemporaryDir dir;
    return dir;
}

// Writes the input as a file of that name in the scratch folder and returns its path.
inline QString writeInput(const char *name, const std::uint8_t *data, std::size_t size) {
    const QString path = scratch().filePath(QString::fromLatin1(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
    return path;
}

// A broken promise of the code under test: libFuzzer keeps the input that broke it.
inline void check(bool holds, const char *what) {
    if (!holds) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

} // namespace fuzz
