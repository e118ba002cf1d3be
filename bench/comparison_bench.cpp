// How long a comparison takes, from two dumps to the rows: ImageComparison on two configurations
// with every row's words and the text Ctrl+C copies, and the comparison put into the shown
// comparison window as its rows. The worst case differs in every field of every record (384
// rows); the usual one in a record. Prints "name: value unit" lines and exits non-zero when the
// worst case takes 1 ms or more at p99. The window's paint of the rows it shows follows, for
// the record; it costs the same for any list that fills the window.
#include "CompareWindow.h"
#include "ConfigImage.h"
#include "ImageComparison.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using vkv::image::DumpBytes;
using vkv::image::ImageComparison;

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

// Every field of every record changed, and every status to another event type and channel.
DumpBytes everyFieldChanged(DumpBytes d) {
    using namespace vkv::image;
    for (int p = 0; p < PotCount; ++p) {
        d[potOffset(p, PotStatus)] = static_cast<std::uint8_t>((d[potOffset(p)] + 0x11) & 0x7F);
        d[potOffset(p, PotByte1)] ^= 0x01;
        d[potOffset(p, PotMin)] ^= 0x01;
        d[potOffset(p, PotMax)] ^= 0x01;
    }
    for (int b = 0; b < ButtonCount; ++b) {
        d[buttonOffset(b, ButtonStatus)] = static_cast<std::uint8_t>(d[buttonOffset(b)] + 0x11);
        d[buttonOffset(b, ButtonByte1)] ^= 0x01;
        d[buttonOffset(b, ButtonByte2)] ^= 0x01;
        d[buttonOffset(b, ButtonMode)] = static_cast<std::uint8_t>((d[buttonOffset(b, 3)] + 1) % 3);
    }
    return d;
}

struct Figures {
    double p50, p99, max;
};

template <class Work> Figures timed(int runs, Work work) {
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return {percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0)};
}

void print(const char *name, const Figures &f) {
    std::printf("%s_p50: %.3f ms\n%s_p99: %.3f ms\n%s_max: %.3f ms\n", name, f.p50, name, f.p99,
                name, f.max);
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform says at every raise() of the window that it cannot.
    static const QtMessageHandler qtHandler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &at, const QString &text) {
        if (!text.startsWith("This plugin does not support"))
            qtHandler(type, at, text);
    });
    QApplication app(argc, argv);

    vkv::image::ConfigImage image;
    if (!vkv::image::loadDefaultImage(image))
        return 1;
    const DumpBytes a = image.bytes();
    const DumpBytes all = everyFieldChanged(a);
    DumpBytes one = a;
    one[vkv::image::potOffset(2)] = vkv::image::storeStatus(0x90);

    // The comparison and every text made of it: the rows' fields and the copied text.
    std::size_t made = 0;
    const auto compareAndWord = [&](const DumpBytes &b) {
        const auto differences = ImageComparison::compare(a, b);
        for (const auto &d : differences)
            made += static_cast<std::size_t>(ImageComparison::fieldsText(d).size());
        made += static_cast<std::size_t>(ImageComparison::asText(differences).size());
        return differences;
    };
    if (compareAndWord(all).size() != 384 || compareAndWord(one).size() != 1) {
        std::fprintf(stderr, "the comparison found other records than were changed\n");
        return 1;
    }
    const Figures wordedAll = timed(2000, [&] { compareAndWord(all); });
    const Figures wordedOne = timed(2000, [&] { compareAndWord(one); });

    // The comparison into the shown window; then the window painted with it.
    vkv::compare::CompareWindow window;
    const auto intoWindow = [&](const DumpBytes &b) {
        window.showDifferences(ImageComparison::compare(a, b), "Editor", "other.syx");
    };
    intoWindow(all);
    QApplication::processEvents();
    const Figures shownAll = timed(300, [&] { intoWindow(all); });
    const Figures shownOne = timed(300, [&] { intoWindow(one); });
    const Figures paintedAll = timed(300, [&] {
        intoWindow(all);
        window.repaint();
    });

    print("compare_384_records_worded", wordedAll);
    print("compare_1_record_worded", wordedOne);
    print("compare_384_records_into_window", shownAll);
    print("compare_1_record_into_window", shownOne);
    print("compare_384_records_into_window_painted", paintedAll);
    const bool met = wordedAll.p99 < 1.0 && shownAll.p99 < 1.0;
    std::printf("comparison_target_met: %s (p99 < 1 ms for 384 records, worded, and into the "
                "window's rows)\n",
                met ? "yes" : "no");
    return made > 0 && met ? 0 : 1;
}
