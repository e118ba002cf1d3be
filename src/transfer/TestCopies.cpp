#include "TestCopies.h"

namespace vkv::transfer {

TestCopies::TestCopies(const image::DumpBytes &configuration)
    : configuration(configuration), base(configuration[At] & (Values - 1)) {
    ruleOut(configuration[At]);
    // Until the box says what it holds, it may hold a copy that a search cut short (the program
    // killed, the computer off) left in it: those take the usual values.
    for (int step = 1; step <= Usual; ++step)
        ruleOut(base + step);
}

void TestCopies::ruleOut(int value) {
    if (value >= 0)
        ruledOut.set(static_cast<std::size_t>(value % Values));
}

void TestCopies::held(const image::DumpBytes &answer) {
    ruledOut.reset();
    ruleOut(configuration[At]);
    ruleOut(answer[At]);
}

image::DumpBytes TestCopies::next() {
    if (ruledOut.all()) {
        // A box that answered none of the last hundred and more tries: the oldest copies are
        // long overwritten or never came.
        ruledOut.reset();
        ruleOut(configuration[At]);
    }
    image::DumpBytes copy = configuration;
    for (int step = 1;; ++step) {
        const int value = (base + step) % Values;
        if (!ruledOut.test(static_cast<std::size_t>(value))) {
            ruledOut.set(static_cast<std::size_t>(value));
            copy[At] = static_cast<std::uint8_t>(value);
            return copy;
        }
    }
}

} // namespace vkv::transfer
