// Entry point of the ALSA sequencer tests, which run inside a guest with a kernel of its own
// (scripts/test-alsa). A QCoreApplication only: input ports raise their events through its event
// loop, and nothing here may pull in the widget libraries the guest does not carry.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
