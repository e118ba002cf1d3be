// The configuration for other hands, timed as a script runs it: `vkvela --sheet` (a PDF of the 16
// banks) and `vkvela --export-mid` (the MIDI file of a paced send at the default speed) of a
// configuration in which nearly every record is its own, each as a child process from its start
// to its exit, 40 runs beside `vkvela --version` (the same program started to do nothing), and
// each command's own work timed in this process. Every file is checked: the PDF's four pages, the
// MIDI file read back to the framed dump. Prints "name: value unit" lines and exits non-zero when
// a target is missed: --sheet < 500 ms and --export-mid < 50 ms at the median of the runs (a
// script's run is one run).
#include "BenchSupport.h"
#include "ConfigImage.h"
#include "ConfigurationSheet.h"
#include "MidiFile.h"
#include "PacedSchedule.h"
#include "SyxFile.h"

#include <QApplication>
#include <QDate>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {

using Clock = bench::Clock;

void report(const char *name, const std::vector<double> &ms) {
    std::printf("%s_p50: %.2f ms\n%s_p90: %.2f ms\n%s_max: %.2f ms\n", name,
                bench::percentile(ms, 0.5), name, bench::percentile(ms, 0.9), name,
                bench::percentile(ms, 1.0));
}

bool meets(const char *name, const std::vector<double> &ms, double target) {
    const double p50 = bench::percentile(ms, 0.5);
    if (p50 < target)
        return true;
    std::fprintf(stderr, "%s: p50 %.2f ms, target < %.0f ms\n", name, p50, target);
    return false;
}

vkv::image::ConfigImage configuration() {
    vkv::image::ConfigImage image;
    vkv::image::loadDefaultImage(image);
    for (int p = 0; p < vkv::image::PotCount; ++p) {
        image.setPot(p, vkv::image::PotStatus, 0x90 + 16 * (p % 7) + p / 16);
        image.setPot(p, vkv::image::PotByte1, p % 128);
        image.setPot(p, vkv::image::PotMin, p % 20);
    }
    for (int b = 0; b < vkv::image::ButtonCount; ++b) {
        image.setButton(b, vkv::image::ButtonStatus, 0x90 + b % 16);
        image.setButton(b, vkv::image::ButtonMode, b % 3);
    }
    image.frame();
    return image;
}

bool fourPages(const QByteArray &pdf) {
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return pdf.startsWith("%PDF") &&
           QString::fromLatin1(pdf).count(page) == vkv::sheet::ConfigurationSheet::PageCount;
}

QByteArray whole(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

int main(int argc, char **argv) {
    bench::useOffscreenUnlessAskedOtherwise();
    QApplication app(argc, argv);
    const vkv::image::ConfigImage image = configuration();
    const QByteArray dump(reinterpret_cast<const char *>(image.raw()), vkv::image::DumpSize);
    QTemporaryDir dir;
    const QString syx = dir.filePath("live.syx"), pdf = dir.filePath("live.pdf"),
                  mid = dir.filePath("live.mid");
    if (!vkv::image::SyxFile::write(syx, dump))
        return 2;

    const QString program = QStringLiteral(VKV_PROGRAM);
    std::vector<double> sheet, exportMid, version, sheetCpu, exportMidCpu, versionCpu;
    const auto timed = [&](const QStringList &arguments, std::vector<double> &wall,
                           std::vector<double> &cpu) {
        double cpuMs = 0;
        wall.push_back(bench::programMs(program, arguments, &cpuMs));
        cpu.push_back(cpuMs);
    };
    for (int round = 0; round < 40; ++round) {
        QFile::remove(pdf);
        QFile::remove(mid);
        timed({"--sheet", syx, pdf}, sheet, sheetCpu);
        timed({"--export-mid", syx, mid}, exportMid, exportMidCpu);
        timed({"--version"}, version, versionCpu);
        const auto read = vkv::midifile::MidiFile::read(whole(mid));
        if (sheet.back() < 0 || exportMid.back() < 0 || version.back() < 0 ||
            !fourPages(whole(pdf)) || read.sysex.size() != 1 || read.sysex.front() != dump) {
            std::fprintf(stderr, "a command failed or wrote another file\n");
            return 2;
        }
    }
    report("sheet_process", sheet);
    report("export_mid_process", exportMid);
    report("version_process", version);
    // What the processes took of the processor, which the machine's other work does not stretch.
    report("sheet_process_cpu", sheetCpu);
    report("export_mid_process_cpu", exportMidCpu);
    report("version_process_cpu", versionCpu);
    bool met = meets("sheet_process", sheet, 500);
    met = meets("export_mid_process", exportMid, 50) && met;

    // Each command's own work: the PDF made, the MIDI file made, in memory.
    const vkv::sheet::ConfigurationSheet::Heading heading{"live.syx", QDate::currentDate(),
                                                          "vkvela"};
    std::vector<double> sheetWork, midWork;
    for (int round = 0; round < 50; ++round) {
        auto start = Clock::now();
        const QByteArray made = vkv::sheet::ConfigurationSheet::pdf(image, heading, QPageSize::A4);
        sheetWork.push_back(bench::ms(Clock::now() - start));
        start = Clock::now();
        const QByteArray file = vkv::transfer::PacedSchedule::midiFile(image.raw(), 100);
        midWork.push_back(bench::ms(Clock::now() - start));
        if (!fourPages(made) || file.isEmpty())
            return 2;
    }
    report("sheet_work", sheetWork);
    report("export_mid_work", midWork);
    std::printf("pdf_size: %lld bytes\n", static_cast<long long>(QFileInfo(pdf).size()));
    return met ? 0 : 1;
}
