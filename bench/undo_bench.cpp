// Undo and redo of a file open in the real main window, with the virtual box shown: from the key
// press to the window done with it, the image put back, the caption, both pages and the box loaded
// anew (its knobs' 48 loading events handed to a JACK output) and the posted paints handled. Each
// is checked: the image byte for byte, and every loading event at the JACK receiver. Prints
// "name: value unit" lines; exits non-zero when a target is missed. Needs a running JACK server.
#include "BenchSupport.h"
#include "JackRecorder.h"
#include "TFaderDesk.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

constexpr int Rounds = 100;

// A key pressed and let go on `at`, through the application as the window system's would come.
void press(QWidget *at, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent down(QEvent::KeyPress, key, modifiers);
    QKeyEvent up(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(at, &down);
    QApplication::sendEvent(at, &up);
}

} // namespace

int main(int argc, char **argv) {
    bench::useOffscreenUnlessAskedOtherwise();
    QApplication app(argc, argv);
    JackRecorder box("vkvundobench");
    TForm1 form(vkv::backendapi::Backend::Jack);
    if (!bench::chooseOutput(form, box.portName()))
        return 2;
    form.show();

    // A file whose first sixteen pots all differ from the defaults, so that the box's knobs play
    // other events after each undo and redo.
    vkv::image::ConfigImage file;
    vkv::image::loadDefaultImage(file);
    for (int pot = 0; pot < 16; ++pot) {
        file.setPot(pot, vkv::image::PotStatus, 0x90 + pot);
        file.setPot(pot, vkv::image::PotMax, 100);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.syx");
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(reinterpret_cast<const char *>(file.raw()),
                                                     vkv::image::DumpSize) != vkv::image::DumpSize)
        return 2;
    out.close();
    const vkv::image::DumpBytes before = form.image().bytes();
    if (!form.OpenSysexFile(path) || form.image().bytes() != file.bytes())
        return 2;
    form.ShowFaderDeskClick(nullptr);
    form.ui->PageControl1->setCurrentWidget(form.ui->PotSettings);
    QWidget *keys = form.ui->PotNumber;
    keys->setFocus();
    bench::settle(500);
    box.clear();

    std::vector<double> undoMs, redoMs;
    bool restored = true;
    const auto timed = [&](Qt::Key key, Qt::KeyboardModifiers modifiers,
                           const vkv::image::DumpBytes &expected, std::vector<double> &into) {
        const auto start = bench::Clock::now();
        press(keys, key, modifiers);
        QCoreApplication::processEvents();
        into.push_back(bench::ms(bench::Clock::now() - start));
        restored = restored && form.image().bytes() == expected && form.faderDesk()->isVisible() &&
                   form.faderDesk()->knob(15) != nullptr;
        bench::settle(20); // the loading events leave before the next round
    };
    for (int round = 0; round < Rounds; ++round) {
        timed(Qt::Key_Z, Qt::ControlModifier, before, undoMs);
        timed(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, file.bytes(), redoMs);
    }
    const std::size_t expectedEvents = 2 * Rounds * 48;
    box.waitUntil([&](const auto &e) { return e.size() >= expectedEvents; }, 5000);
    bench::settle(200);
    const std::size_t received = box.recorded().size();

    bool met = restored && received == expectedEvents;
    for (const auto &[name, values] :
         {std::pair{"undo_file_open", undoMs}, std::pair{"redo_file_open", redoMs}}) {
        const double p50 = bench::percentile(values, 0.5), p99 = bench::percentile(values, 0.99);
        std::printf("%s_p50: %.2f ms\n", name, p50);
        std::printf("%s_p99: %.2f ms\n", name, p99);
        std::printf("%s_max: %.2f ms\n", name, bench::percentile(values, 1));
        met = met && p99 < 10;
    }
    std::printf("undo_redo_image_restored: %s\n", restored ? "yes" : "no");
    std::printf("undo_redo_loading_events: %zu of %zu\n", received, expectedEvents);
    std::printf("undo_targets_met: %s\n", met ? "yes" : "no");
    return met ? 0 : 1;
}
