#include "PresetLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

using Pot = PresetLibrary::PotValues;
using Butt = PresetLibrary::ButtValues;
const QStringList Empty;

struct PresetFolder {
    QTemporaryDir dir;
    PresetLibrary presets;
    PresetLibrary &load(const QByteArray &bytes) {
        QFile file(PresetLibrary::presetFilePath(dir.path()));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        presets.LoadPresets(dir.path());
        return presets;
    }
};

} // namespace

void PrintTo(const QString &text, std::ostream *out) {
    *out << text.toStdString();
}

TEST(PresetLibrary, LooksUpBothDirectionsForPotsAndButtons) {
    PresetFolder f;
    auto &p = f.load("[POTPRESETS]\nB007007F=Volume\n[BUTTONPRESETS]\n903C7F=Middle C\n");
    EXPECT_EQ(p.potPresetName(PresetLibrary::potKeyText(0xB0, 7, 0, 127)), "Volume");
    EXPECT_EQ(p.potPresetName(PresetLibrary::potKeyText(0xB0, 7, 0, 100)), "Unknown");
    EXPECT_EQ(p.buttPresetName(PresetLibrary::buttKeyText(0x90, 60, 127)), "Middle C");
    EXPECT_EQ(p.buttPresetName(u"903C7F00"), "Unknown"); // whole texts only

    vkv::ConfigImage image;
    image.setPot(37, vkv::PotMax, 100);
    image.setButton(5, vkv::ButtonMode, 2);
    ASSERT_TRUE(p.applyPotPreset(0, image, 37));
    ASSERT_TRUE(p.applyButtPreset(0, image, 5));
    EXPECT_EQ(p.potPresetName(image, 37), "Volume");
    EXPECT_EQ(p.buttPresetName(image, 5), "Middle C");
    EXPECT_EQ(image.button(5, vkv::ButtonMode), 2); // the mode is no part of a preset
    EXPECT_EQ(p.potPresetName(image, vkv::PotCount), "Unknown");
}

TEST(PresetLibrary, ApplyClampsIntoThePageRangesAndWritesOnlyThatRecord) {
    PresetFolder f;
    auto &p = f.load("[POTPRESETS]\n0580FFC8\nB007007F;x\n0xB00A007F\nVolume\n"
                     "[BUTTONPRESETS]\n12A13C64\nC0\n");
    vkv::ConfigImage image;
    image.bytes()[vkv::potOffset(37)] = 0x05; // reads 0x85, which no page can show
    vkv::DumpBytes expected = image.bytes();
    for (int field = 0; field < 4; ++field)
        expected[vkv::potOffset(37, field)] = std::array{0x10, 0x80, 127, 127}[field];
    ASSERT_TRUE(p.applyPotPreset(0, image, 37));
    EXPECT_EQ(image.bytes(), expected);

    // Keys are read up to their first non-digit, yet found only by their whole text.
    EXPECT_EQ(p.potPresetValues(1), (Pot{0xB0, 7, 0, 127}));
    EXPECT_EQ(p.potPresetValues(2), (Pot{0xB0, 10, 0, 127}));
    EXPECT_EQ(p.findPotPreset(u"B007007F"), -1);
    EXPECT_EQ(p.findPotPreset(u"B00A007F"), -1);
    EXPECT_EQ(p.buttPresetValues(0), (Butt{0xA1, 0x3C, 0x64})); // top two of eight digits unused
    EXPECT_EQ(p.buttPresetValues(1), (Butt{0x90, 0x00, 0xC0}));

    // No number, no entry or no such record: nothing is written (pot 256 would be button 0).
    EXPECT_FALSE(p.applyPotPreset(3, image, 0));
    EXPECT_FALSE(p.applyPotPreset(0, image, vkv::PotCount));
    EXPECT_FALSE(p.applyButtPreset(0, image, -1));
    EXPECT_FALSE(p.applyButtPreset(2, image, 0));
    EXPECT_EQ(image.bytes(), expected);
}

TEST(PresetLibrary, DuplicateKeysKeepOwnNamesAndTheFirstIsFound) {
    PresetFolder f;
    auto &p = f.load("[POTPRESETS]\nB007007F=Volume\nb007007f=Loudness\nB00A007F=Pan\n");
    EXPECT_EQ(p.PotPresetKeys(), QStringList({"B007007F", "b007007f", "B00A007F"}));
    EXPECT_EQ(p.PotPresetNames(), QStringList({"Volume", "Loudness", "Pan"}));
    EXPECT_EQ(p.findPotPreset(u"B007007F"), 0);
    EXPECT_EQ(p.findPotPreset(u"b00a007F"), 2); // letter case plays no part
    EXPECT_EQ(p.potPresetValues(1), p.potPresetValues(0));
    // A combo choice counts only when its text is exactly the selected item's name.
    EXPECT_EQ(p.chosenPotPreset(1, "Loudness"), 1);
    EXPECT_EQ(p.chosenPotPreset(1, "loudness"), -1);
    EXPECT_EQ(p.chosenPotPreset(-1, "Volume"), -1);
    EXPECT_EQ(p.chosenPotPreset(3, ""), -1);
}

TEST(PresetLibrary, ReadsEntriesByThePlatformIniRules) {
    PresetFolder f;
    auto &p = f.load("B0000000=before any section\n[ potPresets ]\r\n"
                     "  B001007F  =   \"  Mod  \"  \r\n"
                     "B002007F='Breath'\rB004007F=\"Foot'\nB005007F\nB006007F=\nB007007F=\"\"\n"
                     "; B008007F=comment\n=no key\n[OTHER]\nB009007F=other section\n"
                     "[POTPRESETS\nB00A007F=broken header\n[PotPresets]\nB00B007F=second block\n");
    EXPECT_EQ(p.PotPresetKeys(), QStringList({"B001007F", "B002007F", "B004007F", "B005007F",
                                              "B006007F", "B007007F", "B00B007F"}));
    EXPECT_EQ(p.PotPresetNames(),
              QStringList({"  Mod  ", "Breath", "\"Foot'", "Untitled", "", "", "second block"}));
    EXPECT_EQ(p.ButtPresetKeys(), Empty);

    // UTF-8, and 8-bit text that is not UTF-8.
    EXPECT_EQ(f.load("[POTPRESETS]\nB0=L\xC3\xA4rm\n").PotPresetNames()[0],
              QStringLiteral("L\u00E4rm"));
    EXPECT_EQ(f.load("[POTPRESETS]\nB0=L\xE4rm\n").PotPresetNames()[0],
              QStringLiteral("L\u00E4rm"));
}

TEST(PresetLibrary, ParsesKeysLikeHexadecimalInput) {
    EXPECT_EQ(PresetLibrary::parseKey(u" \t0Xb007007f"), 0xB007007Fu);
    EXPECT_EQ(PresetLibrary::parseKey(u"+B0"), 0xB0u);
    EXPECT_EQ(PresetLibrary::parseKey(u"-1"), 0xFFFFFFFFu);
    EXPECT_EQ(PresetLibrary::parseKey(u"0xZ"), 0u);                // the 0 is the number
    EXPECT_EQ(PresetLibrary::parseKey(u"1B007007F"), 0xB007007Fu); // top digits pushed out
    EXPECT_EQ(PresetLibrary::parseKey(u""), std::nullopt);
    EXPECT_EQ(PresetLibrary::parseKey(u"x1"), std::nullopt);
    EXPECT_EQ(PresetLibrary::parseKey(u"-"), std::nullopt);
    const QString longKey = QString(1015, u'0') + "B007007F" + "12345678"; // parsed to 1023
    EXPECT_EQ(PresetLibrary::parseKey(longKey), 0xB007007Fu);
}

TEST(PresetLibrary, KeyBlockAndNameSizesAreLimited) {
    PresetFolder f;
    const auto keysListed = [&f](const QByteArray &lastKey) {
        QByteArray text = "[BUTTONPRESETS]\n";
        for (int i = 0; i < 1820; ++i) // 1820 keys of 8 characters with terminators: 16380
            text += QByteArray::number(0x90000000 + i, 16) + "=n\n";
        return f.load(text + lastKey + "\n[POTPRESETS]\nB0\n").ButtPresetKeys().size();
    };
    EXPECT_EQ(keysListed("AB"), 1821); // with the block's closing terminator: 16384
    EXPECT_EQ(keysListed("ABC"), 1820);
    EXPECT_EQ(f.presets.PotPresetKeys().size(), 1); // each section has a block of its own

    auto &p = f.load("[POTPRESETS]\nB007007F=" + QByteArray(3000, 'v') +
                     "\nB00A007F=" + QByteArray(2046, 'w') + "\xF0\x9F\x98\x80\n");
    EXPECT_EQ(p.PotPresetNames()[0], QString(2047, u'v'));
    EXPECT_EQ(p.PotPresetNames()[1], QString(2046, u'w')); // no half character kept
}

TEST(PresetLibrary, NoUsableFileLeavesTheListsEmpty) {
    PresetFolder f;
    f.load("[POTPRESETS]\nB007007F=Volume\n");
    f.presets.LoadPresets(f.dir.filePath("missing"));
    EXPECT_EQ(f.presets.PotPresetKeys(), Empty);
    EXPECT_EQ(f.presets.potPresetName(u"B007007F"), "Unknown");
    EXPECT_EQ(f.presets.chosenPotPreset(0, "Volume"), -1);

    QTemporaryDir other; // a folder where the file should be
    ASSERT_TRUE(QDir(other.path()).mkdir(PresetLibrary::FileName));
    f.presets.LoadPresets(other.path());
    EXPECT_EQ(f.presets.PotPresetKeys(), Empty);

    std::mt19937 random(7);
    QByteArray noise(65536, '\0');
    for (char &c : noise)
        c = static_cast<char>(random());
    auto &p = f.load(noise);
    EXPECT_EQ(p.PotPresetKeys(), Empty);
    EXPECT_EQ(p.ButtPresetKeys(), Empty);
    // Damaged lines are skipped; the good ones around them stay.
    const QByteArray damaged("B0\x00\x01\x1B=x\n", 8);
    f.load("[POTPRESETS]\nB007007F=Volume\n" + damaged + "B00A007F=Pan\n" + noise.left(300));
    EXPECT_EQ(p.PotPresetNames().mid(0, 2), QStringList({"Volume", "Pan"}));
}

TEST(PresetLibrary, ShippedFileHasUniqueWholeKeys) {
    const QString resources = QFileInfo(QStringLiteral(__FILE__)).dir().filePath("../../resources");
    if (!QFile::exists(PresetLibrary::presetFilePath(resources)))
        GTEST_SKIP() << "no shipped preset file beside the sources";
    PresetLibrary p;
    p.LoadPresets(resources);
    ASSERT_GT(p.PotPresetKeys().size(), 20);
    ASSERT_GT(p.ButtPresetKeys().size(), 20);
    // Each preset, applied to a record, is the first one found for it again: no clamping,
    // no duplicate hides another.
    vkv::ConfigImage image;
    for (int i = 0; i < p.PotPresetKeys().size(); ++i) {
        ASSERT_TRUE(p.applyPotPreset(i, image, 0));
        EXPECT_EQ(p.potPresetName(image, 0), p.PotPresetNames()[i]) << i;
        EXPECT_EQ(p.PotPresetKeys()[i].size(), 8) << i;
    }
    for (int i = 0; i < p.ButtPresetKeys().size(); ++i) {
        ASSERT_TRUE(p.applyButtPreset(i, image, 127));
        EXPECT_EQ(p.buttPresetName(image, 127), p.ButtPresetNames()[i]) << i;
        EXPECT_EQ(p.ButtPresetKeys()[i].size(), 6) << i;
    }
}
