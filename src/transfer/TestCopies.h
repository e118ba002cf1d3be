#pragma once

#include "ConfigImage.h"

#include <bitset>

namespace vkv::transfer {

// The test copies a speed search sends in place of the configuration: each is the configuration
// with Byte 1 of the last pot changed, to a value unlike the configuration's, unlike the one in
// what the box last answered it held, and unlike every copy sent since that answer. Whatever the
// box may hold when a copy goes is therefore not that copy, and a box that answers with it took
// that very send. Plain C++: the search's owners hand it the box's answers.
class TestCopies {
public:
    static constexpr int Pot = image::PotCount - 1;
    static constexpr int Field = 1;
    static constexpr int At = image::potOffset(Pot, Field);
    // A data byte's values.
    static constexpr int Values = 128;

    explicit TestCopies(const image::DumpBytes &configuration);

    // The box answered with `answer`: it holds that now.
    void held(const image::DumpBytes &answer);
    // The copy for the next try; from now on the box may hold it.
    image::DumpBytes next();

private:
    // The values a search sends while the box answers each try: the first few after the
    // configuration's.
    static constexpr int Usual = 3;
    void ruleOut(int value);

    image::DumpBytes configuration;
    int base; // the configuration's value, as a data byte
    std::bitset<Values> ruledOut;
};

} // namespace vkv::transfer
