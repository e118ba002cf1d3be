#include "PacedSchedule.h"

#include "ConfigImage.h"
#include "MidiFile.h"
#include "PacedSend.h"
#include "PacedSender.h"
#include "TempoTicks.h"

#include <algorithm>

namespace vkv::transfer {

std::vector<PacedSchedule::Slice> PacedSchedule::of(int speed) {
    speed = std::clamp(speed, PacedSender::MinSpeed, PacedSender::MaxSpeed);
    std::vector<Slice> slices;
    std::int64_t now = 0; // microseconds
    int offset = 0;       // the slices follow each other through the dump
    PacedSend send([&](const char *, int length) {
        slices.push_back({now, offset, length});
        offset += length;
        return true;
    });
    const image::DumpBytes dump{};
    send.start(dump.data());

    // The tempo timer starts when the header pause is over and calls every period from then on.
    std::uint32_t clockMs = 0;
    timing::TempoTicks rule([&clockMs] { return clockMs; });
    rule.setTempo(PacedSender::tempoForSpeed(speed));
    rule.ResetData();
    rule.start();
    const std::int64_t pauseEnd = std::int64_t{PacedSend::HeaderPauseMs} * 1000;
    bool over = false;
    for (std::int64_t call = 1; !over; ++call) {
        clockMs += static_cast<std::uint32_t>(rule.Resolution());
        if (rule.timerCall(true) < 0)
            continue;
        now = pauseEnd + call * rule.Resolution() * 1000;
        over = send.tick();
    }
    return slices;
}

QByteArray PacedSchedule::midiFile(const std::uint8_t *dump, int speed) {
    std::vector<midifile::MidiFile::Piece> pieces;
    for (const Slice &slice : of(speed))
        pieces.push_back(
            {slice.microseconds,
             QByteArray(reinterpret_cast<const char *>(dump) + slice.offset, slice.length)});
    return midifile::MidiFile::write(pieces);
}

} // namespace vkv::transfer
