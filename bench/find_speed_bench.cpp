// How many sends a search for the speed takes, and how long, against the stand-in box with a real
// input limit (tests/support/jack_box.cpp: a 192-byte buffer emptied at a fixed rate) at 450 and at
// 100 bytes a second: the program's own --find-speed, run as a user runs it. Prints "name: value
// unit" lines; exits non-zero when a search finds no speed, one faster than the box takes, or
// leaves the box without the configuration. Needs a running JACK server (scripts/bench starts
// one).
#include "ConfigImage.h"
#include "JackBox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int BoxBuffer = 192;

// One search against a box at `rate`; false when it missed a target.
bool search(int rate) {
    const QString client = QStringLiteral("vkvbenchbox%1").arg(rate);
    JackBox box(QStringLiteral(VKV_JACK_BOX), client, BoxBuffer, rate);
    if (!box.ready) {
        std::fprintf(stderr, "the stand-in box did not start\n");
        return false;
    }
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    // As a user runs it, recording into a library: one of its own, not the user's.
    const QTemporaryDir library;
    program.start(QStringLiteral(VKV_PROGRAM),
                  {"--find-speed", "--out", client, "--in", client, "--library", library.path()});
    program.waitForFinished(15 * 60 * 1000);
    const double seconds = clock.elapsed() / 1000.0;
    const QStringList lines =
        QString::fromLocal8Bit(program.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    // What the box answered first and that the tries send test copies, a line a try, then how it
    // ended and the option to send with.
    const int sends = static_cast<int>(lines.size()) - 4;
    const int found = lines.isEmpty() ? 0 : lines.back().section(' ', 3, 3).chopped(1).toInt();
    vkv::image::ConfigImage defaults;
    vkv::image::loadDefaultImage(defaults);
    defaults.frame();
    const auto held = box.holds();
    const bool holds =
        std::equal(held.begin(), held.end(), defaults.bytes().begin(), defaults.bytes().end());
    const QString name = QStringLiteral("find speed, box taking %1 bytes/s").arg(rate);
    std::printf("%s\n", qPrintable(lines.join('\n')));
    std::printf("%s: sends: %d\n", qPrintable(name), sends);
    std::printf("%s: time: %.1f s\n", qPrintable(name), seconds);
    std::printf("%s: speed found: %d bytes/s\n", qPrintable(name), found);
    std::fflush(stdout);
    const bool good = program.exitCode() == 0 && found > 0 && found <= rate && holds;
    if (!good)
        std::fprintf(stderr, "%s: missed (exit code %d, the box %s the configuration)\n",
                     qPrintable(name), program.exitCode(), holds ? "holds" : "does not hold");
    return good;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    bool good = true;
    for (int rate : {450, 100})
        good = search(rate) && good;
    return good ? 0 : 1;
}
