// How faithfully the paced send follows its tick rule: the real main window sends the dump to a
// JACK receiver at several speeds; each slice's hand-over to the output port is timed on our own
// clock and compared with the time an ideal 5 ms timer would give it under the same rule, and the
// receiver checks every byte. Prints "name: value unit" lines; exits non-zero when a target is
// missed. Needs a running JACK server (scripts/bench starts one).
#include "JackRecorder.h"
#include "PacedSchedule.h"
#include "PacedSend.h"
#include "TForm1.h"
#include "TMidiOut.h"
#include "TTempoTimer.h"
#include "WindowControls.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(std::min<double>(v.size() - 1, p * (v.size() - 1) + 0.5))];
}

struct Result {
    double durationMs, ruleMs, p99LateMs, maxLateMs;
    unsigned droppedCalls;
    bool bytesIntact;
};

// The floor this machine sets: how late a bare thread wakes when it sleeps to absolute 5 ms
// deadlines, with nothing of ours around it.
std::pair<double, double> machineWakeLateness(int calls) {
    std::vector<double> late;
    auto deadline = Clock::now();
    for (int i = 0; i < calls; ++i) {
        deadline += std::chrono::milliseconds(5);
        std::this_thread::sleep_until(deadline);
        late.push_back(std::chrono::duration<double, std::milli>(Clock::now() - deadline).count());
    }
    return {percentile(late, 0.99), *std::max_element(late.begin(), late.end())};
}

Result run(TForm1 &form, JackRecorder &box, int speed, int ticks) {
    form.ui->SysexSendSpeed->setValue(speed);
    std::vector<Clock::time_point> handed;
    form.pacedSend().setOutput([&](const char *data, int length) {
        handed.push_back(Clock::now());
        return form.MidiOut1->SysEx(data, length);
    });
    box.clear();
    const unsigned droppedBefore = form.SysexTimer->droppedCalls();
    form.SlowSendToKorvaneClick(nullptr);
    QElapsedTimer limit;
    limit.start();
    while (static_cast<int>(handed.size()) < ticks + 1 && limit.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    if (static_cast<int>(handed.size()) < ticks + 1) {
        std::fprintf(stderr, "paced_send: only %zu slices at speed %d\n", handed.size(), speed);
        std::exit(2);
    }
    const bool whole = ticks == 512;
    const Clock::time_point started = form.SysexTimer->startedAt();
    if (!whole) {
        form.SysexTimer->SetEnabled(false);
        form.MidiOut1->HoldMessages(false);
    }

    // Each tick against the call of an ideal timer started when ours was, by the same rule.
    const auto rule = vkv::transfer::PacedSchedule::of(speed);
    const auto ruleMs = [&rule](int slice) {
        return static_cast<double>(rule[static_cast<std::size_t>(slice)].microseconds) / 1000;
    };
    std::vector<double> late;
    for (int k = 1; k <= ticks; ++k) {
        const double at = std::chrono::duration<double, std::milli>(handed[k] - started).count();
        late.push_back(at - (ruleMs(k) - vkv::transfer::PacedSend::HeaderPauseMs));
    }
    Result r{};
    r.durationMs = std::chrono::duration<double, std::milli>(handed[ticks] - handed[0]).count();
    r.ruleMs = ruleMs(ticks);
    r.p99LateMs = percentile(late, 0.99);
    r.maxLateMs = *std::max_element(late.begin(), late.end());
    r.droppedCalls = form.SysexTimer->droppedCalls() - droppedBefore;
    if (whole) {
        vkv::image::DumpBytes expected = form.image().bytes();
        const auto events = box.waitUntil(
            [](const auto &e) { return !e.empty() && e.back().bytes.back() == 0xF7; });
        r.bytesIntact = JackRecorder::sysExBytes(events) ==
                        std::vector<unsigned char>(expected.begin(), expected.end());
    } else {
        r.bytesIntact = true;
    }
    return r;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    JackRecorder box("vkvbenchbox");
    TForm1 form(vkv::backendapi::Backend::Jack);
    const int port = form.ui->MIDIOutComboBox->findText(QString::fromStdString(box.portName()));
    if (port < 0) {
        std::fprintf(stderr, "paced_send: the JACK receiver is not listed\n");
        return 2;
    }
    form.ui->MIDIOutComboBox->setCurrentIndex(port);
    form.MIDIOutComboBoxChange(form.ui->MIDIOutComboBox);

    bool met = true;
    const struct {
        int speed;
        int ticks; // slices after the header that are timed
    } runs[] = {{2, 5}, {100, 512}, {300, 512}, {600, 512}, {1000, 512}};
    for (const auto &run : runs) {
        const Result r = ::run(form, box, run.speed, run.ticks);
        const double offPercent = 100.0 * std::abs(r.durationMs - r.ruleMs) / r.ruleMs;
        const char *what = run.ticks == 512 ? "slices" : "first_5_ticks";
        std::printf("paced_send_speed_%d_%s_rule: %.3f s\n", run.speed, what, r.ruleMs / 1000.0);
        std::printf("paced_send_speed_%d_%s_measured: %.3f s\n", run.speed, what,
                    r.durationMs / 1000.0);
        std::printf("paced_send_speed_%d_off_rule: %.3f %%\n", run.speed, offPercent);
        std::printf("paced_send_speed_%d_tick_late_p99: %.3f ms\n", run.speed, r.p99LateMs);
        std::printf("paced_send_speed_%d_tick_late_max: %.3f ms\n", run.speed, r.maxLateMs);
        std::printf("paced_send_speed_%d_calls_dropped_by_lag_rule: %u\n", run.speed,
                    r.droppedCalls);
        if (run.ticks == 512)
            std::printf("paced_send_speed_%d_bytes_in_order: %s\n", run.speed,
                        r.bytesIntact ? "yes" : "no");
        met = met && offPercent < 1.0 && r.p99LateMs < 1.0 && r.maxLateMs < 5.0 && r.bytesIntact;
    }
    const auto [wakeP99, wakeMax] = machineWakeLateness(2000);
    std::printf("machine_bare_thread_wake_late_p99: %.3f ms\n", wakeP99);
    std::printf("machine_bare_thread_wake_late_max: %.3f ms\n", wakeMax);
    std::printf("paced_send_targets_met: %s\n", met ? "yes" : "no");
    return met ? 0 : 1;
}
