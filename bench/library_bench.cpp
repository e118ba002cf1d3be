// The library of configurations at the sizes a long-kept one reaches: importing 1,000 dumps,
// searching 10,000 configurations, opening the window over them, and what a capture costs the
// GUI thread. Real files in a temporary folder, a real SQLite index, the real window on Qt's
// offscreen platform. Prints "name: value unit" lines and exits non-zero when a target is missed:
// import of 1,000 < 1 s, search p99 < 50 ms, window open < 200 ms, capture p99 < 10 ms.
#include "CaptureWriter.h"
#include "ConfigImage.h"
#include "DumpFile.h"
#include "Library.h"
#include "LibraryQuery.h"
#include "LibraryWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using vkv::image::DumpBytes;
using vkv::library::Library;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

// Configuration `n`: the defaults with a few records of its own, as a user's edits make them.
DumpBytes configuration(int n) {
    vkv::image::ConfigImage image;
    vkv::image::loadDefaultImage(image);
    image.setPot(n % 256, vkv::image::PotStatus, 0xB0 + n % 16);
    image.setPot(n % 256, vkv::image::PotByte1, n % 128);
    image.setPot((n / 256) % 256, vkv::image::PotMax, 100 + n % 28);
    image.setButton(n % 128, vkv::image::ButtonStatus, 0x90 + (n / 16) % 16);
    image.setButton(n % 128, vkv::image::ButtonByte1, (n / 7) % 128);
    image.setButton((n / 128) % 128, vkv::image::ButtonMode, n % 3);
    image.frame();
    return image.bytes();
}

// `count` dump files named "Song N.syx" in `folder`, from configuration `first` on.
void writeDumps(const QString &folder, int first, int count) {
    QDir().mkpath(folder);
    for (int n = first; n < first + count; ++n)
        vkv::library::DumpFile::write(QStringLiteral("%1/Song %2.syx").arg(folder).arg(n),
                                      configuration(n), false, false);
}

qint64 folderBytes(const QString &folder) {
    qint64 bytes = 0;
    for (const QFileInfo &file : QDir(folder).entryInfoList(QDir::Files))
        bytes += file.size();
    return bytes;
}

bool report(const char *name, double value, const char *unit, double target) {
    const bool met = value < target;
    std::printf("%s: %.2f %s (target < %g)%s\n", name, value, unit, target, met ? "" : "  MISSED");
    return met;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
    const QString folder = dir.filePath("library");
    bool met = true;

    // Import: 1,000 dumps into an empty library, then 9,000 more to make it 10,000.
    writeDumps(dir.filePath("first"), 0, 1000);
    writeDumps(dir.filePath("rest"), 1000, 9000);
    {
        Library library;
        library.open(folder);
        const auto start = Clock::now();
        const Library::Imported first = library.importFolder(dir.filePath("first"));
        const double took = ms(Clock::now() - start);
        std::printf("import: %d configurations added\n", first.added);
        met &= first.added == 1000;
        met &= report("import of 1,000 dumps", took, "ms", 1000);
        const auto restStart = Clock::now();
        const Library::Imported rest = library.importFolder(dir.filePath("rest"));
        std::printf("import of 9,000 more: %.0f ms (%d added)\n", ms(Clock::now() - restStart),
                    rest.added);
    }
    std::printf("index size with 10,000 configurations: %.1f MB (copies of what only it holds: "
                "%.2f MB each), the .syx files: %.1f MB\n",
                folderBytes(folder + "/index") / 1e6 -
                    3 * QFileInfo(folder + "/index/copy-1.sqlite").size() / 1e6,
                QFileInfo(folder + "/index/copy-1.sqlite").size() / 1e6, folderBytes(folder) / 1e6);

    // Search as the window does, over the configurations it has listed.
    {
        Library library;
        const auto openStart = Clock::now();
        library.open(folder);
        const auto entries = library.entries();
        std::printf("open and list 10,000: %.1f ms (%zu configurations)\n",
                    ms(Clock::now() - openStart), entries.size());
        const char *queries[] = {"song",    "song 99",        "cc:74",        "ch:16 cc:74",
                                 "note:C4", "pc:5 ch:10",     "pot:3.5 cc:1", "button:2.1 note:60",
                                 "ch:1",    "song cc:7 ch:16"};
        // The first content search reads every configuration's records from the index once.
        const auto cold = Clock::now();
        library.search(vkv::library::LibraryQuery::parse("cc:74"), entries);
        std::printf("first content search, the records of 10,000 read from the index: %.1f ms\n",
                    ms(Clock::now() - cold));
        std::vector<double> times;
        for (int round = 0; round < 10; ++round) {
            for (const char *text : queries) {
                const auto start = Clock::now();
                const auto hits = library.search(vkv::library::LibraryQuery::parse(text), entries);
                times.push_back(ms(Clock::now() - start));
                if (round == 0)
                    std::printf("  \"%s\": %zu found, %.1f ms\n", text, hits.size(), times.back());
            }
        }
        std::printf("search over 10,000: p50 %.1f ms, max %.1f ms (%zu searches)\n",
                    percentile(times, 0.5), percentile(times, 1.0), times.size());
        met &= report("search over 10,000 p99", percentile(times, 0.99), "ms", 50);
    }

    // The window, shown over the library from cold: opened, its folder read, listed, painted.
    std::vector<double> opens;
    for (int round = 0; round < 5; ++round) {
        const auto start = Clock::now();
        vkv::librarywindow::LibraryWindow window([] { return configuration(0); });
        window.openFolder(folder);
        window.show();
        met &= QTest::qWaitForWindowExposed(&window);
        QCoreApplication::processEvents();
        opens.push_back(ms(Clock::now() - start));
    }
    std::printf("window open with 10,000: p50 %.1f ms, max %.1f ms (5 opens)\n",
                percentile(opens, 0.5), percentile(opens, 1.0));
    met &= report("window open with 10,000 (worst of 5)", percentile(opens, 1.0), "ms", 200);

    // Captures as the window hands them over: the GUI thread's share, and every one kept.
    {
        vkv::library::CaptureWriter writer;
        writer.setFolder(folder);
        int kept = 0, failed = 0;
        QObject::connect(
            &writer, &vkv::library::CaptureWriter::recorded,
            [&](const QString &, const QString &why) { ++(why.isEmpty() ? kept : failed); });
        std::vector<double> captures;
        for (int n = 0; n < 1000; ++n) {
            const auto start = Clock::now();
            writer.record({QDateTime::currentDateTimeUtc(), Library::Direction::Received,
                           "vela-box:out", configuration(20000 + n % 50), vkv::image::DumpSize});
            captures.push_back(ms(Clock::now() - start));
            QCoreApplication::processEvents();
        }
        QElapsedTimer waited;
        waited.start();
        while (kept + failed < 1000 && waited.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::printf("captures: %d kept, %d failed, all written %.1f s after the last\n", kept,
                    failed, waited.elapsed() / 1000.0);
        std::printf("capture on the GUI thread: p50 %.3f ms, max %.3f ms\n",
                    percentile(captures, 0.5), percentile(captures, 1.0));
        met &= kept == 1000;
        met &= report("capture on the GUI thread p99", percentile(captures, 0.99), "ms", 10);
    }
    return met ? 0 : 1;
}
