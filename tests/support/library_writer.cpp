// A second program writing into a library while another does: records COUNT captures received
// from the port "writer-TAG" and adds COUNT configurations named "TAG N", each content its own.
// Exit code 0 when every write was kept; each failure is said on the standard error stream.
#include "Library.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fputs("usage: library_writer FOLDER TAG COUNT\n", stderr);
        return 2;
    }
    const QString tag = QString::fromLocal8Bit(argv[2]);
    const int count = QString::fromLocal8Bit(argv[3]).toInt();
    vkv::library::Library library;
    if (!library.open(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "%s\n", qPrintable(library.error()));
        return 1;
    }
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        vkv::image::DumpBytes dump{};
        vkv::image::frameDump(dump.data());
        dump[vkv::image::potOffset(0) + 1] = static_cast<std::uint8_t>(i);
        dump[vkv::image::potOffset(1) + 1] = static_cast<std::uint8_t>(tag.size());
        dump[vkv::image::potOffset(2) + 1] = static_cast<std::uint8_t>(tag.at(0).unicode());
        if (!library.capture({QDateTime::currentDateTimeUtc(),
                              vkv::library::Library::Direction::Received, "writer-" + tag, dump,
                              vkv::image::DumpSize})) {
            std::fprintf(stderr, "capture %d: %s\n", i, qPrintable(library.error()));
            ++failed;
        }
        dump[vkv::image::potOffset(3) + 1] = 1;
        if (!library.add(dump, QStringLiteral("%1 %2").arg(tag).arg(i))) {
            std::fprintf(stderr, "add %d: %s\n", i, qPrintable(library.error()));
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}
