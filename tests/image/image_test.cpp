#include "ConfigImage.h"

#include <gtest/gtest.h>

namespace vkv::image {

// The default image as its rules describe it, built independently of the resource.
static DumpBytes defaultImageFromRules() {
    DumpBytes d{};
    d[0] = 0xF0;
    d[3] = 0x7E;
    d[4] = 0x42;
    d[5] = 0x02;
    for (int p = 0; p < 256; ++p) {
        int status = 0xB0, byte1 = p;
        if (p >= 128) {
            const int k = p - 128;
            status = 0xB0 + k % 16;
            byte1 = k / 16;
        }
        const int at = 6 + 4 * p;
        d[at] = status & 0x7F;
        d[at + 1] = byte1;
        d[at + 2] = 0;
        d[at + 3] = 127;
    }
    for (int b = 0; b < 128; ++b) {
        const int status = b < 64 ? 0x90 : 0x90 + b % 8;
        const int byte1 = b < 64 ? 48 + b % 8 : 48;
        const int at = 1030 + 4 * b;
        d[at] = status & 0x7F;
        d[at + 1] = byte1;
        d[at + 2] = 127;
        d[at + 3] = 0;
    }
    d[1542] = 0xF7;
    return d;
}

TEST(ConfigImage, StatusIsStoredWithoutBit7AndReadWithIt) {
    ConfigImage image;
    image.setPot(3, PotStatus, 0x90);
    EXPECT_EQ(image.bytes()[potOffset(3)], 0x10);
    EXPECT_EQ(image.pot(3, PotStatus), 0x90);
    image.setPot(3, PotStatus, 0xFF);
    EXPECT_EQ(image.bytes()[potOffset(3)], 0x7F);
    image.setButton(9, ButtonStatus, 0xB3);
    EXPECT_EQ(image.bytes()[buttonOffset(9)], 0x33);
    EXPECT_EQ(image.button(9, ButtonStatus), 0xB3);
    // A stored status below 0x10, as a loaded file may hold, still reads with bit 7 set.
    image.bytes()[potOffset(4)] = 0x05;
    EXPECT_EQ(image.pot(4, PotStatus), 0x85);
}

TEST(ConfigImage, OtherFieldsAreStoredUnmasked) {
    ConfigImage image;
    image.setPot(10, PotByte1, 200);
    EXPECT_EQ(image.bytes()[potOffset(10, PotByte1)], 0xC8);
    EXPECT_EQ(image.pot(10, PotByte1), 200);
    image.setButton(10, ButtonByte2, 0x1FF); // only the low 8 bits are kept
    EXPECT_EQ(image.button(10, ButtonByte2), 0xFF);
    image.setButton(10, ButtonMode, 5);
    EXPECT_EQ(image.button(10, ButtonMode), 5);
    // Writing one field leaves its neighbours alone.
    EXPECT_EQ(image.bytes()[potOffset(10, PotMin)], 0);
    EXPECT_EQ(image.bytes()[potOffset(9, PotMax)], 0);
}

TEST(ConfigImage, RecordOffsetsCoverTheDumpExactly) {
    EXPECT_EQ(potOffset(0), 6);
    EXPECT_EQ(potOffset(255), 1026);
    EXPECT_EQ(potOffset(255, PotMax), 1029);
    EXPECT_EQ(buttonOffset(0), 1030);
    EXPECT_EQ(buttonOffset(127), 1538);
    EXPECT_EQ(buttonOffset(127, ButtonMode), 1541);
    EXPECT_EQ(EndByteOffset, 1542);

    ConfigImage image;
    image.setPot(255, PotMax, 0x55);
    image.setButton(0, ButtonStatus, 0x9A);
    EXPECT_EQ(image.bytes()[1029], 0x55);
    EXPECT_EQ(image.bytes()[1030], 0x1A);
    EXPECT_EQ(image.bytes()[1542], 0xF7);
}

TEST(ConfigImage, BankAndNumberMapping) {
    EXPECT_EQ(bankNumberText(potBank(37), potNumber(37)), "3.6");
    EXPECT_EQ(bankNumberText(buttonBank(37), buttonNumber(37)), "5.6");
    EXPECT_EQ(bankNumberText(potBank(255), potNumber(255)), "16.16");
    EXPECT_EQ(bankNumberText(buttonBank(127), buttonNumber(127)), "16.8");
    for (int p = 0; p < PotCount; ++p)
        ASSERT_EQ(potFromBank(potBank(p), potNumber(p)), p);
    for (int b = 0; b < ButtonCount; ++b)
        ASSERT_EQ(buttonFromBank(buttonBank(b), buttonNumber(b)), b);
}

TEST(ConfigImage, FramingRewritesHeaderAndEndOnly) {
    ConfigImage image;
    for (auto &byte : image.bytes())
        byte = 0x43;
    image.frame();
    const DumpBytes &d = image.bytes();
    EXPECT_EQ(d[0], 0xF0);
    EXPECT_EQ(d[1], 0x00);
    EXPECT_EQ(d[2], 0x00);
    EXPECT_EQ(d[3], 0x7E);
    EXPECT_EQ(d[4], 0x42);
    EXPECT_EQ(d[5], 0x02);
    EXPECT_EQ(d[1542], 0xF7);
    for (int i = 6; i < 1542; ++i)
        ASSERT_EQ(d[i], 0x43) << "byte " << i;
}

TEST(DefaultImage, ResourceEqualsTheRulesByteForByte) {
    const std::string resource = defaultImageResource();
    ASSERT_EQ(resource.size(), 1543u);
    const DumpBytes expected = defaultImageFromRules();
    for (int i = 0; i < DumpSize; ++i)
        ASSERT_EQ(static_cast<std::uint8_t>(resource[i]), expected[i]) << "byte " << i;

    ConfigImage image;
    for (auto &byte : image.bytes())
        byte = 0xAA;
    ASSERT_TRUE(loadDefaultImage(image));
    EXPECT_EQ(image.bytes(), expected);
    // Pot 200: Controller 4 on channel 9; button 70: note 48, velocity 127, channel 7.
    EXPECT_EQ(image.pot(200, PotStatus), 0xB8);
    EXPECT_EQ(image.pot(200, PotByte1), 4);
    EXPECT_EQ(image.pot(200, PotMin), 0);
    EXPECT_EQ(image.pot(200, PotMax), 127);
    EXPECT_EQ(image.button(70, ButtonStatus), 0x96);
    EXPECT_EQ(image.button(70, ButtonByte1), 48);
    EXPECT_EQ(image.button(70, ButtonByte2), 127);
    EXPECT_EQ(image.button(70, ButtonMode), 0);
}

TEST(DefaultImage, SixtyFourPotModelImage) {
    const std::string d = kv64ImageResource();
    ASSERT_EQ(d.size(), static_cast<std::size_t>(Kv64DumpSize));
    const std::string header("\xF0\x00\x00\x7E\x43\x02", 6);
    EXPECT_EQ(d.substr(0, 6), header);
    EXPECT_EQ(static_cast<std::uint8_t>(d[2054]), 0xF7);
    // Everything between header and end is SysEx data: bit 7 clear.
    for (int i = 6; i < 2054; ++i)
        ASSERT_LT(static_cast<std::uint8_t>(d[i]), 0x80) << "byte " << i;
    // Pot 17 is Chorus (controller 93) on channel 2, and its name says so.
    EXPECT_EQ(static_cast<std::uint8_t>(d[6 + 4 * 17]) | 0x80, 0xB1);
    EXPECT_EQ(d[6 + 4 * 17 + 1], 93);
    EXPECT_EQ(d.substr(1030, 16), "bReverb # 1     ");
    EXPECT_EQ(d.substr(1030 + 16 * 17, 16), "bChorus # 2     ");
    EXPECT_EQ(d.substr(1030 + 16 * 63, 16), "bVolume # 16    ");
    EXPECT_EQ(d[6 + 4 * 63 + 1], 7);
}

} // namespace vkv::image
