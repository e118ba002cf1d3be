// The MIDI monitor taking one batch from its tap: a flood's worth of entries (the tap keeps up to
// 50,000), of which the rows keep the newest 10,000.
#include "MonitorModel.h"
#include "MonitorWindow.h"

#include <benchmark/benchmark.h>

namespace {

using Entry = vkv::midi::TapQueue::Entry;
using Clock = vkv::midi::MidiTap::Clock;

std::vector<Entry> flood(std::size_t count) {
    std::vector<Entry> entries;
    const auto at = Clock::now();
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back({at,
                           vkv::midi::MidiTap::Direction::In,
                           vkv::midi::MidiTap::Piece::Message,
                           "box:out",
                           {0x90, static_cast<unsigned char>(i % 128), 0x40}});
    return entries;
}

void MonitorBatch(benchmark::State &state) {
    const auto entries = flood(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        vkv::monitor::MonitorModel model(vkv::monitor::MonitorWindow::ourSysEx(), Clock::now());
        auto batch = entries;
        state.ResumeTiming();
        model.add(std::move(batch));
        benchmark::DoNotOptimize(model.rowCount());
    }
}
BENCHMARK(MonitorBatch)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace
