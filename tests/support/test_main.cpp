// Test entry point: one QApplication for the whole executable, so widget tests can use real
// Qt event handling, on the offscreen platform unless a display platform was asked for.
#include "FreshConfigHome.h"
#include "JackKeptClients.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef VKV_TEST_JACK_SERVER
    // MIDI tests meet only the tests' own JACK server, and never start one themselves.
    qputenv("JACK_DEFAULT_SERVER", VKV_TEST_JACK_SERVER);
    qputenv("JACK_NO_START_SERVER", "1");
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    useFreshConfigHomes();
    const int result = RUN_ALL_TESTS();
    vkv::jack::closeKeptPorts(result);
    return result;
}
