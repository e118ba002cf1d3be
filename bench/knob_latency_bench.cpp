// How long a turn of a shown virtual knob takes to reach the MIDI back end, and a JACK receiver:
// the real main window and virtual box, a key press on a knob delivered through Qt's event
// handling, the output port open on a JACK receiver in this process. Prints "name: value unit"
// lines; exits non-zero when a target is missed. Needs a running JACK server (scripts/bench).
#include "BenchSupport.h"
#include "JackRecorder.h"
#include "TFaderDesk.h"
#include "TForm1.h"
#include "TKnob.h"
#include "TMidiOut.h"
#include "WindowControls.h"

#include <QApplication>
#include <QKeyEvent>
#include <cstdio>
#include <vector>

int main(int argc, char **argv) {
    bench::useOffscreenUnlessAskedOtherwise();
    QApplication app(argc, argv);
    JackRecorder box("vkvbenchknob");
    TForm1 form(vkv::backendapi::Backend::Jack);
    if (!bench::chooseOutput(form, box.portName()))
        return 2;
    form.show();
    form.ShowFaderDeskClick(nullptr);
    TFaderDesk *desk = form.faderDesk();
    TKnob *knob = desk->knob(3);
    bench::settle(300);
    box.clear();

    // The hand-over to the back end: the port's Put, timed where the engine calls it.
    bench::Clock::time_point handed{};
    desk->engine().setOutput([&](char s, char a, char b) {
        form.MidiOut1->Put(s, a, b);
        handed = bench::Clock::now();
    });

    constexpr int Turns = 400;
    std::vector<double> toBackEnd, toReceiver;
    std::vector<bench::Clock::time_point> turnedAt;
    std::vector<int> values;
    for (int i = 0; i < Turns; ++i) {
        // Up to the top, then Home: every press changes the value, and a value comes again only
        // 128 turns later, so each arrival is matched with its turn even if the bus drops one.
        QKeyEvent press(QEvent::KeyPress, knob->Position() < 127 ? Qt::Key_Up : Qt::Key_Home,
                        Qt::NoModifier);
        const auto t0 = bench::Clock::now();
        QApplication::sendEvent(knob, &press);
        toBackEnd.push_back(bench::ms(handed - t0) * 1000.0);
        turnedAt.push_back(t0);
        values.push_back(knob->Position());
        // Apart enough for each to reach the receiver alone; the window paints meanwhile.
        bench::settle(8);
    }
    const auto events = box.waitUntil([](const auto &e) { return e.size() >= Turns; }, 5000);
    bool inOrder = true;
    std::size_t turn = 0;
    for (const auto &e : events) {
        const int value = e.bytes.size() == 3 && e.bytes[1] == 3 ? e.bytes[2] : -1;
        const std::size_t from = turn;
        while (turn < values.size() && values[turn] != value && turn < from + 64)
            ++turn;
        if (turn >= values.size() || values[turn] != value) {
            inOrder = false;
            break;
        }
        toReceiver.push_back(bench::ms(e.at - turnedAt[turn]));
        ++turn;
    }

    const double handP99 = bench::percentile(toBackEnd, 0.99);
    const double receiverMedian = toReceiver.empty() ? 1e9 : bench::percentile(toReceiver, 0.5);
    std::printf("jack_period: %u frames\n", box.periodFrames());
    std::printf("knob_to_back_end_p50: %.1f us\n", bench::percentile(toBackEnd, 0.5));
    std::printf("knob_to_back_end_p99: %.1f us\n", handP99);
    std::printf("knob_to_back_end_max: %.1f us\n", bench::percentile(toBackEnd, 1.0));
    std::printf("knob_to_jack_receiver_median: %.3f ms\n", receiverMedian);
    std::printf("knob_to_jack_receiver_p99: %.3f ms\n",
                toReceiver.empty() ? 0.0 : bench::percentile(toReceiver, 0.99));
    std::printf("knob_events_received_in_order: %s\n", inOrder ? "yes" : "no");
    std::printf("knob_events_received: %zu of %d\n", events.size(), Turns);
    // The receiver's figure depends on the server's period; its target is set for 64 frames.
    const bool met =
        handP99 < 100.0 && (box.periodFrames() != 64 || receiverMedian < 3.0) && inOrder;
    std::printf("knob_latency_targets_met: %s\n", met ? "yes" : "no");
    return met ? 0 : 1;
}
