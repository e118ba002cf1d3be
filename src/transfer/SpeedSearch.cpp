#include "SpeedSearch.h"

#include "BoxQuery.h"
#include "PacedSender.h"

#include <algorithm>

namespace vkv::transfer {

namespace {

// The tempo timer raises a tick at most every 5 ms.
constexpr double ShortestTickMs = 5;
// A paced dump is the header slice and then one slice a tick.
constexpr int TicksPerDump =
    (image::DumpSize - PacedSend::HeaderSlice + PacedSend::SliceSize - 1) / PacedSend::SliceSize;
// What a MIDI cable carries: 31250 baud, ten bits a byte.
constexpr double CableBytesPerSecond = 3125;

} // namespace

const std::vector<int> &SpeedSearch::series() {
    static const std::vector<int> speeds = {600, 550, 500, 450, 400, 360, 330, 300, 270, 240,
                                            220, 200, 180, 160, 150, 140, 125, 110, 100, 90,
                                            80,  70,  60,  55,  50,  45,  40,  35,  30,  25};
    return speeds;
}

const std::vector<int> &SpeedSearch::firstPass() {
    static const std::vector<int> speeds = {600, 400, 270, 180, 125, 80, 55, 35, 25};
    return speeds;
}

double SpeedSearch::trySeconds(int speed) {
    const double answer = image::DumpSize / CableBytesPerSecond;
    const double settle = BoxQuery::SettleMs / 1000.0;
    if (speed == Fast)
        return image::DumpSize / CableBytesPerSecond + settle + answer;
    const int tempo = std::max<int>(PacedSender::tempoForSpeed(speed), 1);
    const double tickMs = std::max(2500.0 / tempo, ShortestTickMs);
    return PacedSend::HeaderPauseMs / 1000.0 + TicksPerDump * tickMs / 1000 + settle + answer;
}

bool SpeedSearch::sendsConfiguration(Stage stage) {
    return stage == Stage::Margin || stage == Stage::Final || stage == Stage::Restoring;
}

int SpeedSearch::verifies(int speed) const {
    const auto found = good.find(speed);
    return found == good.end() ? 0 : found->second;
}

std::vector<int> SpeedSearch::failures() const {
    std::vector<int> speeds(failed.rbegin(), failed.rend());
    if (failed.count(Fast)) // the fastest of all, though its number is the smallest
        std::rotate(speeds.begin(), speeds.end() - 1, speeds.end());
    return speeds;
}

int SpeedSearch::candidate() const {
    for (auto it = good.rbegin(); it != good.rend(); ++it)
        if (it->first != Fast && it->first < ceiling && it->second > 0)
            return it->first;
    return -1;
}

void SpeedSearch::tried(bool verified) {
    if (over())
        return;
    ++sent;
    const bool configuration = sendsConfiguration();
    holds = verified && configuration;
    if (verified)
        ++good[now];
    else
        failed.insert(now);
    if (stage_ == Stage::Restoring) {
        stage_ = Stage::Over;
        return;
    }
    if (holds) {
        fastest_ = now == Fast ? Fast : found;
        chosen_ = now;
        ending_ = now == Fast ? Ending::FastTaken : Ending::Found;
        stage_ = Stage::Over;
        return;
    }
    if (now != Fast) {
        if (!verified)
            ceiling = std::min(ceiling, now);
        plan();
    } else if (!verified) {
        fastOut = true;
        plan(); // the fast send is out: the paced speeds from the fastest down
    } else if (verifies(Fast) < 1 + Confirmations) {
        stage_ = Stage::Confirming;
    } else {
        stage_ = Stage::Final; // the configuration as one message
    }
}

void SpeedSearch::plan() {
    const int best = candidate();
    if (best < 0) {
        // Nothing below the slowest failure has verified yet: down the first pass.
        const auto &pass = firstPass();
        const auto next =
            std::find_if(pass.begin(), pass.end(), [this](int s) { return s < ceiling; });
        if (next == pass.end()) {
            restore(Ending::NoneVerified);
            return;
        }
        stage_ = Stage::FirstPass;
        now = *next;
        return;
    }
    // The series' speeds between the fastest that verified and the slowest that failed.
    std::vector<int> between;
    for (int s : series())
        if (s > best && s < ceiling)
            between.push_back(s);
    if (!between.empty()) {
        stage_ = Stage::Narrowing;
        now = between[(between.size() - 1) / 2];
        return;
    }
    if (verifies(best) < 1 + Confirmations) {
        stage_ = Stage::Confirming;
        now = best;
        return;
    }
    const auto &all = series();
    const auto below = std::upper_bound(all.begin(), all.end(), best, std::greater<>());
    found = best;
    now = below == all.end() ? best : *below;
    stage_ = now == best ? Stage::Final : Stage::Margin;
}

void SpeedSearch::restore(Ending why) {
    ending_ = why;
    // The fast send is the fastest of all, and no paced speed has failed before it is out.
    now = !fastOut && verifies(Fast) > 0 ? Fast : candidate();
    if (now < 0) {
        stage_ = Stage::Over; // every speed that verified has failed since, or none did
        return;
    }
    restoredAt_ = now;
    stage_ = Stage::Restoring;
}

void SpeedSearch::cancel() {
    switch (stage_) {
    case Stage::Over:
        return;
    case Stage::Restoring:
        stage_ = Stage::Over; // the restore's own send may be broken off
        holds = false;
        restoreCancelled_ = true;
        return;
    default:
        holds = false;
        restore(Ending::Cancelled);
        return;
    }
}

} // namespace vkv::transfer
