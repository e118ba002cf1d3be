#include "PageRig.h"
#include "PresetLibrary.h"
#include "UiDriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace vkv::editor {

using testui::chooseItem;

namespace {

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

TEST(PresetLibrary, LooksUpBothDirectionsForPotsAndButtons) {
    PresetFolder f;
    auto &p = f.load("[POTPRESETS]\nB007007F=Volume\n[BUTTONPRESETS]\n903C7F=Middle C\n");
    EXPECT_EQ(p.potPresetName(u"B007007F"), "Volume");
    EXPECT_EQ(p.potPresetName(u"B0070064"), "Unknown");
    EXPECT_EQ(p.buttPresetName(u"903C7F"), "Middle C");
    EXPECT_EQ(p.buttPresetName(u"903C7F00"), "Unknown"); // whole texts only

    // Choosing a name applies its values through the page into the selected record.
    Pots pots(p);
    pots.c.PotNumber->setValue(37);
    write(pots.history,
          [](image::ConfigImage &records) { records.setPot(37, image::PotMax, 100); });
    pots.page->UpdatePotPropsExecute(nullptr);
    chooseItem(pots.c.PotPresetName, 0);
    EXPECT_EQ(pots.image.pot(37, image::PotStatus), 0xB0);
    EXPECT_EQ(pots.image.pot(37, image::PotByte1), 7);
    EXPECT_EQ(pots.image.pot(37, image::PotMax), 127);
    pots.page->FindPotPresetName();
    EXPECT_EQ(pots.c.PotPresetName->currentText(), "Volume");

    Buttons buttons(p, 0x90, 48, 127, 2);
    chooseItem(buttons.c.ButtPresetName, 0);
    EXPECT_EQ(buttons.image.button(0, image::ButtonByte1), 0x3C);
    EXPECT_EQ(buttons.image.button(0, image::ButtonMode), 2); // the mode is no part of a preset
    buttons.page->FindButtPresetName();
    EXPECT_EQ(buttons.c.ButtPresetName->currentText(), "Middle C");
}

TEST(PresetLibrary, ApplyClampsIntoThePageRangesAndWritesOnlyThatRecord) {
    PresetFolder f;
    auto &p = f.load("[POTPRESETS]\n0580FFC8\nB007007F;x\n0xB00A007F\nVolume\n"
                     "[BUTTONPRESETS]\n12A13C64\nC0\n");
    Pots pots(p);
    pots.c.PotNumber->setValue(37);
    write(pots.history, [](image::ConfigImage &records) {
        records.bytes()[image::potOffset(37)] = 0x05; // reads 0x85, which no page can show
    });
    pots.page->UpdatePotPropsExecute(nullptr);
    image::DumpBytes expected = pots.image.bytes();
    for (int field = 0; field < 4; ++field)
        expected[image::potOffset(37, field)] = std::array{0x10, 0x80, 127, 127}[field];
    chooseItem(pots.c.PotPresetName, 0);
    EXPECT_EQ(pots.image.bytes(), expected);

    // Keys are read up to their first non-digit, yet found only by their whole text.
    const auto record = [&pots] {
        return std::array{pots.image.pot(37, image::PotStatus), pots.image.pot(37, image::PotByte1),
                          pots.image.pot(37, image::PotMin), pots.image.pot(37, image::PotMax)};
    };
    chooseItem(pots.c.PotPresetName, 1);
    EXPECT_EQ(record(), (std::array<std::uint8_t, 4>{0xB0, 7, 0, 127}));
    chooseItem(pots.c.PotPresetName, 2);
    EXPECT_EQ(record(), (std::array<std::uint8_t, 4>{0xB0, 10, 0, 127}));
    EXPECT_EQ(p.findPotPreset(u"B007007F"), -1);
    EXPECT_EQ(p.findPotPreset(u"B00A007F"), -1);

    Buttons buttons(p, 0x90, 48, 127);
    chooseItem(buttons.c.ButtPresetName, 0); // top two of eight digits unused
    EXPECT_EQ(buttons.image.button(0, image::ButtonStatus), 0xA1);
    EXPECT_EQ(buttons.image.button(0, image::ButtonByte1), 0x3C);
    EXPECT_EQ(buttons.image.button(0, image::ButtonByte2), 0x64);
    chooseItem(buttons.c.ButtPresetName, 1);
    EXPECT_EQ(buttons.image.button(0, image::ButtonStatus), 0x90);
    EXPECT_EQ(buttons.image.button(0, image::ButtonByte1), 0x00);
    EXPECT_EQ(buttons.image.button(0, image::ButtonByte2), 0xC0);

    // A key without a number writes nothing.
    const image::DumpBytes before = pots.image.bytes();
    chooseItem(pots.c.PotPresetName, 3);
    EXPECT_EQ(pots.image.bytes(), before);
}

TEST(PresetLibrary, DuplicateKeysKeepOwnNamesAndTheFirstIsFound) {
    PresetFolder f;
    auto &p = f.load("[POTPRESETS]\nB007007F=Volume\nb007007f=Loudness\nB00A007F=Pan\n");
    EXPECT_EQ(p.PotPresetKeys(), QStringList({"B007007F", "b007007f", "B00A007F"}));
    EXPECT_EQ(p.PotPresetNames(), QStringList({"Volume", "Loudness", "Pan"}));
    EXPECT_EQ(p.findPotPreset(u"B007007F"), 0);
    EXPECT_EQ(p.findPotPreset(u"b00a007F"), 2); // letter case plays no part
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

TEST(PresetLibrary, HugeAndOddFilesGiveWhatFits) {
    PresetFolder f;
    QByteArray many = "[POTPRESETS]\n";
    for (int i = 0; i < 20000; ++i)
        many += QByteArray::number(0xB0000000 + i, 16) + "=n" + QByteArray::number(i) + "\n";
    auto &p = f.load(many);
    ASSERT_EQ(p.PotPresetKeys().size(), 1820); // as many as the key block holds
    EXPECT_EQ(p.PotPresetNames().last(), "n1819");

    const QString longKey(5000, u'B');
    f.load("[POTPRESETS]\n" + longKey.toLatin1() + "=Long\nB007007F=Volume\n");
    EXPECT_EQ(p.PotPresetKeys(), QStringList({longKey, "B007007F"}));
    EXPECT_EQ(p.potPresetName(longKey), "Long");
    EXPECT_EQ(PresetLibrary::parseKey(longKey), 0xBBBBBBBBu);

    f.load("B007007F=Volume\n903C7F=Note\n"); // no sections
    EXPECT_EQ(p.PotPresetKeys(), Empty);
    EXPECT_EQ(p.ButtPresetKeys(), Empty);

    const QByteArray lf = "[POTPRESETS]\nB007007F=Volume\n[BUTTONPRESETS]\n903C7F=Note\n";
    QByteArray crlf = lf;
    crlf.replace("\n", "\r\n");
    for (const QByteArray &text : {lf, crlf}) {
        f.load(text);
        EXPECT_EQ(p.PotPresetKeys(), QStringList{"B007007F"});
        EXPECT_EQ(p.PotPresetNames(), QStringList{"Volume"});
        EXPECT_EQ(p.ButtPresetNames(), QStringList{"Note"});
    }
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
    // Each preset, applied to a record through the page, is the first one found for it again:
    // no clamping, no duplicate hides another.
    Pots pots(p);
    for (int i = 0; i < p.PotPresetKeys().size(); ++i) {
        chooseItem(pots.c.PotPresetName, i);
        pots.page->FindPotPresetName();
        EXPECT_EQ(pots.c.PotPresetName->currentText(), p.PotPresetNames()[i]) << i;
        EXPECT_EQ(p.PotPresetKeys()[i].size(), 8) << i;
    }
    Buttons buttons(p, 0x90, 48, 127);
    buttons.c.ButtNumber->setValue(127);
    for (int i = 0; i < p.ButtPresetKeys().size(); ++i) {
        chooseItem(buttons.c.ButtPresetName, i);
        buttons.page->FindButtPresetName();
        EXPECT_EQ(buttons.c.ButtPresetName->currentText(), p.ButtPresetNames()[i]) << i;
        EXPECT_EQ(p.ButtPresetKeys()[i].size(), 6) << i;
    }
}

} // namespace vkv::editor
