// Entry point of the ALSA sequencer tests, which run inside a guest with a kernel of its own
// (scripts/test-alsa). The guest has no display: the main window runs on Qt's offscreen platform
// (the guest's /init sets it), and input ports raise their events through the event loop.
#include "FreshConfigHome.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    useFreshConfigHomes();
    return RUN_ALL_TESTS();
}
