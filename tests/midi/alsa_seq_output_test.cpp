// What of the ALSA output can be checked without a sequencer; the rest runs in the ALSA guest.
#include "AlsaSeqOutput.h"

#include <gtest/gtest.h>

#include <filesystem>

using vkv::alsa::AlsaSeqOutput;

TEST(AlsaSeqOutput, ReadsTheAddressAtTheEndOfRtMidisPortName) {
    int client = -1, port = -1;
    EXPECT_TRUE(
        AlsaSeqOutput::parseAddress("Midi Through:Midi Through Port-0 14:0", &client, &port));
    EXPECT_EQ(client, 14);
    EXPECT_EQ(port, 0);
    EXPECT_TRUE(AlsaSeqOutput::parseAddress("Synth: A:B 2:3 128:12", &client, &port));
    EXPECT_EQ(client, 128);
    EXPECT_EQ(port, 12);
    for (const char *name : {"", "Midi Through:Midi Through Port-0", "Box 14:", "Box :0",
                             "Box 14:0:1", "Box 1x:0", "Box 1234:0", "Box 14:1234", "Box 14-0"})
        EXPECT_FALSE(AlsaSeqOutput::parseAddress(name, &client, &port)) << name;
}

TEST(AlsaSeqOutput, RefusesWithoutASequencer) {
    if (std::filesystem::exists("/dev/snd/seq"))
        GTEST_SKIP() << "this machine has a sequencer";
    AlsaSeqOutput out;
    EXPECT_FALSE(out.open("Midi Through:Midi Through Port-0 14:0"));
    EXPECT_FALSE(out.isOpen());
    EXPECT_FALSE(out.errorText().empty());
    const unsigned char note[3] = {0x90, 0x3C, 0x7F};
    EXPECT_FALSE(out.sendShort(note, 3));
    EXPECT_FALSE(out.sendSysEx(note, 3));
}
