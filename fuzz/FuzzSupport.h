#pragma once

// What the fuzz targets share: one QApplication on the offscreen platform, ended in order as the
// process ends, and a scratch folder for the inputs that the code under test reads from disk and
// for the program's settings and library.
#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

inline const QTemporaryDir &scratch() {
    static QTemporaryDir dir;
    return dir;
}

inline QApplication *&application() {
    static QApplication *app = nullptr;
    return app;
}

// The target's one QApplication, on the offscreen platform. The program's settings and library of
// configurations go to the scratch folder: a target never reads or writes the user's.
inline void startApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("JACK_NO_START_SERVER", "1");
    for (const char *place : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(place, scratch().filePath(QString::fromLatin1(place)).toLocal8Bit());
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    application() = new QApplication(argc, argv);
}

// Ends what the target made (`end`: its windows, with their threads), then the application, as
// the process ends, after the target's runs: before the exit handlers take down the globals made
// before this call, which those ends may still use. (Globals a library makes later, during the
// runs, go before this: a target keeps such work, Qt SQL's for one, out of its runs.)
inline void endAtExit(void (*end)()) {
    static void (*ending)() = nullptr;
    ending = end;
    std::atexit([] {
        if (ending)
            ending();
        delete application();
        application() = nullptr;
    });
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
