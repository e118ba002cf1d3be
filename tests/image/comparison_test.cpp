// Comparing two configurations: which records differ, and how their names and fields are worded.
#include "ConfigImage.h"
#include "ImageComparison.h"
#include "UiDriver.h"

#include <gtest/gtest.h>

namespace vkv::image {

namespace {

DumpBytes defaults() {
    ConfigImage image;
    EXPECT_TRUE(loadDefaultImage(image));
    return image.bytes();
}

} // namespace

TEST(ImageComparison, EqualConfigurationsHaveNoDifferences) {
    const auto differences = ImageComparison::compare(defaults(), defaults());
    EXPECT_TRUE(differences.empty());
    EXPECT_EQ(ImageComparison::asText(differences), "");
}

TEST(ImageComparison, OneFieldOfOnePot) {
    DumpBytes b = defaults();
    b[potOffset(2, PotStatus)] = storeStatus(0x90); // Controller 2 on channel 1 becomes a note
    const auto differences = ImageComparison::compare(defaults(), b);
    ASSERT_EQ(differences.size(), 1u);
    const RecordDifference &d = differences[0];
    EXPECT_TRUE(d.pot);
    EXPECT_EQ(d.id, 2);
    EXPECT_EQ(d.name, "Pot 1.3 (ID 2)");
    ASSERT_EQ(d.fields.size(), 1u);
    EXPECT_EQ(d.fields[0].field, "Event Type");
    EXPECT_EQ(d.fields[0].a, "Controller");
    EXPECT_EQ(d.fields[0].b, "Note On");
    EXPECT_EQ(d.lineA, " 1.3 = B0 02 [00-7F]");
    EXPECT_EQ(d.lineB, " 1.3 = 90 02 [00-7F]");
    EXPECT_EQ(ImageComparison::asText(differences), "- 1.3 = B0 02 [00-7F]\n"
                                                    "+ 1.3 = 90 02 [00-7F]\n");
    EXPECT_EQ(ImageComparison::fieldsText(d), "Event Type: Controller / Note On");
}

TEST(ImageComparison, EveryFieldOfTheLastButton) {
    DumpBytes b = defaults(); // button 127: Note On 30 on channel 8, velocity 7F, ON/OFF
    b[buttonOffset(127, ButtonStatus)] = storeStatus(0xB2);
    b[buttonOffset(127, ButtonByte1)] = 0x0A;
    b[buttonOffset(127, ButtonByte2)] = 0x40;
    b[buttonOffset(127, ButtonMode)] = 2;
    const auto differences = ImageComparison::compare(defaults(), b);
    ASSERT_EQ(differences.size(), 1u);
    const RecordDifference &d = differences[0];
    EXPECT_FALSE(d.pot);
    EXPECT_EQ(d.id, 127);
    EXPECT_EQ(d.name, "Button 16.8 (ID 127)");
    EXPECT_EQ(ImageComparison::fieldsText(d),
              "Event Type: Note On / Controller, MIDI Channel: 8 / 3, Byte 1: 30 / 0A, "
              "Byte 2: 7F / 40, Mode: ON/OFF / TOGGLE");
    EXPECT_EQ(ImageComparison::asText(differences), "- 16.8 = 97 30 7F @ON/OFF\n"
                                                    "+ 16.8 = B2 0A 40 @TOGGLE\n");
}

TEST(ImageComparison, HeaderAndEndByteAreFramingAndNotCompared) {
    DumpBytes b = defaults();
    for (int i = 0; i < PotRecordsOffset; ++i)
        b[i] = 0x55;
    b[EndByteOffset] = 0x00;
    EXPECT_TRUE(ImageComparison::compare(defaults(), b).empty());

    // The bytes next to the framing are records: the first pot's status, the last button's mode.
    b[PotRecordsOffset] ^= 0x01;
    b[EndByteOffset - 1] = 1;
    const auto differences = ImageComparison::compare(defaults(), b);
    ASSERT_EQ(differences.size(), 2u);
    EXPECT_EQ(differences[0].name, "Pot 1.1 (ID 0)");
    EXPECT_EQ(differences[1].name, "Button 16.8 (ID 127)");
}

TEST(ImageComparison, RecordsAndFieldsAreNamedAsThePagesShowThem) {
    const struct {
        int offset; // the byte changed
        int a, b;   // stored in the first and in the second configuration
        const char *record, *field, *shownA, *shownB;
    } cases[] = {
        {potOffset(0), 0x30, 0x10, "Pot 1.1 (ID 0)", "Event Type", "Controller", "Note On"},
        {potOffset(16), 0x30, 0x20, "Pot 2.1 (ID 16)", "Event Type", "Controller",
         "Poly Aftertouch"},
        {potOffset(255), 0x3F, 0x4F, "Pot 16.16 (ID 255)", "Event Type", "Controller",
         "Program Change"},
        {potOffset(3), 0x50, 0x60, "Pot 1.4 (ID 3)", "Event Type", "Channel Aftertouch",
         "Pitch Bender"},
        {potOffset(3), 0x75, 0x05, "Pot 1.4 (ID 3)", "Event Type", "Meta Event", "none"},
        {potOffset(4), 0x30, 0x39, "Pot 1.5 (ID 4)", "MIDI Channel", "1", "10"},
        {potOffset(5, PotByte1), 0x07, 0x0A, "Pot 1.6 (ID 5)", "Byte 1", "07", "0A"},
        {potOffset(6, PotMin), 0x00, 0x10, "Pot 1.7 (ID 6)", "Min", "00", "10"},
        {potOffset(7, PotMax), 0x7F, 0x80, "Pot 1.8 (ID 7)", "Max", "7F", "80"},
        {potOffset(7), 0x30, 0xB0, "Pot 1.8 (ID 7)", "Byte 0", "30", "B0"},
        {buttonOffset(0), 0x10, 0x11, "Button 1.1 (ID 0)", "MIDI Channel", "1", "2"},
        {buttonOffset(8, ButtonByte1), 0x30, 0x3C, "Button 2.1 (ID 8)", "Byte 1", "30", "3C"},
        {buttonOffset(9, ButtonByte2), 0x7F, 0x00, "Button 2.2 (ID 9)", "Byte 2", "7F", "00"},
        {buttonOffset(10, ButtonMode), 0, 1, "Button 2.3 (ID 10)", "Mode", "ON/OFF", "ON ONLY"},
        {buttonOffset(10, ButtonMode), 2, 7, "Button 2.3 (ID 10)", "Mode", "TOGGLE", "07"},
    };
    for (const auto &c : cases) {
        DumpBytes a = defaults(), b = defaults();
        a[c.offset] = static_cast<std::uint8_t>(c.a);
        b[c.offset] = static_cast<std::uint8_t>(c.b);
        const auto differences = ImageComparison::compare(a, b);
        ASSERT_EQ(differences.size(), 1u) << c.record << " " << c.field;
        ASSERT_EQ(differences[0].fields.size(), 1u) << c.record << " " << c.field;
        const FieldDifference &f = differences[0].fields[0];
        EXPECT_EQ(differences[0].name, c.record);
        EXPECT_EQ(f.field, c.field) << c.record;
        EXPECT_EQ(f.a, c.shownA) << c.record << " " << c.field;
        EXPECT_EQ(f.b, c.shownB) << c.record << " " << c.field;
    }
}

} // namespace vkv::image
