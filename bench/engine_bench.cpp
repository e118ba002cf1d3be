// How long one pot event takes from knob value to the output port's call, with the LCD lines
// written: the work done for every knob movement and every motorized-pot message.
#include "BoxEngine.h"

#include <benchmark/benchmark.h>

static void BM_SendPotEvent(benchmark::State &state) {
    vkv::image::ConfigImage image;
    vkv::image::loadDefaultImage(image);
    vkv::box::LcdScreens lcd;
    vkv::box::BoxEngine engine(image, lcd);
    unsigned sent = 0;
    engine.setOutput([&](char, char, char) { ++sent; });
    int position = 0;
    for (auto _ : state) {
        engine.KnobChange(position & 15, position & 127);
        ++position;
    }
    benchmark::DoNotOptimize(sent);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SendPotEvent);
