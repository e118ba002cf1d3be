#pragma once

// The stand-in box with a real input limit (support/SlowBox.h) on the ALSA sequencer: plain
// libasound clients, "<client>:in" to send the box its configuration and "<client>-src:out" on
// which it answers, and a thread of its own that hands the box what came, at the times it came,
// and sends its answers in pieces as a device's dump comes.
#include "AlsaReceiver.h"
#include "AlsaSender.h"
#include "SlowBox.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class AlsaSlowBox {
public:
    // `wholeOnly`: it keeps only whole dumps; `holding`: the dump it holds from the start.
    AlsaSlowBox(const std::string &client, std::size_t bufferBytes, double bytesPerSecond,
                bool wholeOnly = false, const std::vector<std::uint8_t> &holding = {})
        : input(client), output(client + "-src"),
          box(bufferBytes, bytesPerSecond, true, wholeOnly) {
        box.load(holding);
        worker = std::thread([this] { run(); });
    }
    ~AlsaSlowBox() {
        stop = true;
        worker.join();
    }

    std::vector<std::uint8_t> holds() {
        std::lock_guard lock(mutex);
        return box.holds();
    }
    int requests() {
        std::lock_guard lock(mutex);
        return box.requestsSeen();
    }

private:
    void run() {
        const auto start = AlsaReceiver::Clock::now();
        const auto seconds = [start](AlsaReceiver::Clock::time_point t) {
            return std::chrono::duration<double>(t - start).count();
        };
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            std::vector<std::vector<std::uint8_t>> answers;
            {
                std::lock_guard lock(mutex);
                for (const auto &e : input.take())
                    box.arrive(e.bytes.data(), e.bytes.size(), seconds(e.at));
                box.drain(seconds(AlsaReceiver::Clock::now()));
                answers = box.answers();
            }
            for (const auto &answer : answers)
                output.sendSysExWithRealTime(answer);
        }
    }

    AlsaReceiver input;
    AlsaSender output;
    std::mutex mutex; // the box, shared with the test's thread
    SlowBox box;
    std::atomic<bool> stop{false};
    std::thread worker;
};
