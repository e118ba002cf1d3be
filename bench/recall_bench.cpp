// How soon a recall starts: a program change written by a stand-in DAW to the program's own
// Motors port, to the first byte of the recalled configuration reaching a JACK receiver standing
// in for the box, through the parts --serve runs (OwnPorts, Recaller, BoxRecallPort, TMidiOut)
// and a library on disk. 200 recalls, each program change while the one before still sends (so
// each also stops a send at once). Prints "name: value unit" lines; exits non-zero when the median
// or p99 reaches 10 ms. Needs a running JACK server (scripts/bench).
#include "BenchSupport.h"
#include "BoxRecallPort.h"
#include "CommandPorts.h"
#include "JackRecorder.h"
#include "JackSender.h"
#include "JackTools.h"
#include "Library.h"
#include "OwnPorts.h"
#include "Recaller.h"
#include "TMidiOut.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

namespace {

using vkv::image::DumpBytes;

DumpBytes configuration(int n) {
    vkv::image::ConfigImage image;
    vkv::image::loadDefaultImage(image);
    DumpBytes dump = image.bytes();
    dump[vkv::image::potOffset(0) + 1] = static_cast<std::uint8_t>(n);
    return dump;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    vkv::library::Library library;
    if (!library.open(folder.path()))
        return 2;
    // A library of a stage's size: a set list of 20 songs among 100 configurations.
    for (int n = 0; n < 100; ++n)
        library.add(configuration(n), QStringLiteral("Song %1").arg(n));
    for (int program = 0; program < 20; ++program)
        library.addToSetList("Gig", program,
                             *library.named(QStringLiteral("Song %1").arg(program)));

    JackRecorder box("vkvbenchrecallbox");
    const auto out = vkv::cli::CommandPorts::openOut(QString::fromStdString(box.portName()));
    if (!out)
        return 2;
    vkv::recall::BoxRecallPort port(*out, nullptr, 1000);
    vkv::recall::Recaller recaller(library, port);
    port.setRecaller(&recaller);
    if (!recaller.setList("Gig"))
        return 2;
    vkv::ports::OwnPorts own;
    bench::Clock::time_point arrived{};
    own.OnShort = [&](QObject *, uint8_t status, uint8_t data1, uint8_t) {
        arrived = bench::Clock::now();
        recaller.programChange(status, data1);
    };
    own.offer(vkv::backendapi::Backend::Jack, true);
    JackSender daw("vkvbenchrecalldaw");
    for (int i = 0; i < 200 && !own.offered(); ++i)
        bench::settle(20);
    if (!own.offered() || !jacktools::connect(QString::fromStdString(daw.portName()),
                                              QString::fromStdString(own.motorsName())))
        return 2;
    bench::settle(300);

    constexpr int Recalls = 200;
    std::vector<double> fromSend, fromArrival;
    int missed = 0;
    for (int i = 0; i < Recalls; ++i) {
        box.clear();
        arrived = {};
        const auto sent = bench::Clock::now();
        daw.send({0xC0, static_cast<unsigned char>(i % 20)});
        std::optional<bench::Clock::time_point> first;
        bench::Clock::time_point deadline = sent + std::chrono::seconds(1);
        while (!first && bench::Clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            for (const auto &event : box.waitUntil([](const auto &) { return true; }, 0))
                if (!event.bytes.empty() && event.bytes[0] == 0xF0 && event.at > sent) {
                    first = event.at;
                    break;
                }
        }
        if (!first || arrived == bench::Clock::time_point{}) {
            ++missed;
            continue;
        }
        fromSend.push_back(bench::ms(*first - sent));
        fromArrival.push_back(bench::ms(*first - arrived));
        bench::settle(15); // the next one comes while this one still sends
    }
    recaller.stop();
    const double median = bench::percentile(fromArrival, 0.5);
    const double p99 = bench::percentile(fromArrival, 0.99);
    std::printf("recall_recalls: %zu of %d\n", fromArrival.size(), Recalls);
    std::printf("recall_arrival_to_first_byte_median: %.2f ms\n", median);
    std::printf("recall_arrival_to_first_byte_p99: %.2f ms\n", p99);
    std::printf("recall_arrival_to_first_byte_max: %.2f ms\n", bench::percentile(fromArrival, 1));
    std::printf("recall_daw_send_to_first_byte_median: %.2f ms\n",
                bench::percentile(fromSend, 0.5));
    std::printf("recall_daw_send_to_first_byte_p99: %.2f ms\n", bench::percentile(fromSend, 0.99));
    const bool met = missed == 0 && median < 10 && p99 < 10;
    std::printf("recall_target_met: %s (median and p99 below 10 ms, every recall started)\n",
                met ? "yes" : "no");
    return met ? 0 : 1;
}
