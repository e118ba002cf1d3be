// Many records at a time, without a window: the record sheet written and read back, the table of
// sheets users write, the bulk edits each as one step of the history, the records that send the
// same message, and the words the printed sheet labels records with.
#include "BulkEdit.h"
#include "ConfigImage.h"
#include "Conflicts.h"
#include "ImageHistory.h"
#include "RecordEditor.h"
#include "RecordSheet.h"
#include "SheetCases.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace vkv::records {

namespace {

using image::ConfigImage;
using image::DumpBytes;
using Column = RecordWords::Column;

ConfigImage defaults() {
    ConfigImage image;
    EXPECT_TRUE(image::loadDefaultImage(image));
    return image;
}

// Every record byte at random, the odd ones included: statuses below 0x90 or stored with bit 7
// set, data bytes above 127, modes above 2.
ConfigImage randomImage(std::mt19937 &random) {
    ConfigImage image = defaults();
    std::uniform_int_distribution<int> byte(0, 255);
    for (int at = image::PotRecordsOffset; at < image::EndByteOffset; ++at)
        image.bytes()[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(byte(random));
    return image;
}

QStringList lines(const QByteArray &text) {
    return QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts);
}

std::vector<int> errorLines(const RecordSheet::Read &sheet) {
    std::vector<int> lines;
    for (const SheetError &error : sheet.errors)
        lines.push_back(error.line);
    return lines;
}

} // namespace

TEST(RecordSheet, AWholeSheetReadsBackToTheSameBytesTheOddOnesIncluded) {
    std::mt19937 random(38);
    for (int run = 0; run < 50; ++run) {
        const ConfigImage original = randomImage(random);
        const QByteArray text = RecordSheet::write(original);
        ASSERT_EQ(lines(text).size(), 1 + RecordCount);
        const RecordSheet::Read sheet = RecordSheet::read(text);
        ASSERT_TRUE(sheet.ok()) << RecordEditor::errorLines(sheet.errors).toStdString();
        ASSERT_EQ(sheet.rows.size(), static_cast<std::size_t>(RecordCount));

        ConfigImage onItself = original;
        BulkEdit::apply(onItself, sheet.rows);
        EXPECT_EQ(onItself.bytes(), original.bytes()) << run;
        ConfigImage onDefaults = defaults();
        BulkEdit::apply(onDefaults, sheet.rows);
        EXPECT_EQ(BulkEdit::changedRecords(onDefaults.bytes(), original.bytes()), 0) << run;
    }
}

TEST(RecordSheet, WordsRecordsAsThePagesShowThem) {
    ConfigImage image = defaults();
    image.setButton(3, image::ButtonMode, 2);
    image.setPot(5, image::PotStatus, 0xFE);
    const QStringList sheet = lines(RecordSheet::write(image));
    EXPECT_EQ(sheet[0], "record,type,channel,number,min,max,value,mode");
    EXPECT_EQ(sheet[1], "pot 1.1,Controller,1,0,0,127,,");
    EXPECT_EQ(sheet[6], "pot 1.6,Meta Event,15,5,0,127,,");
    EXPECT_EQ(sheet[256], "pot 16.16,Controller,16,7,0,127,,");
    EXPECT_EQ(sheet[257 + 3], "button 1.4,Note On,1,51,,,127,TOGGLE");
    EXPECT_EQ(sheet[384], "button 16.8,Note On,8,48,,,127,ON/OFF");
}

TEST(RecordWords, TheSheetsWordsSayWhatEachRecordSends) {
    using Bytes = RecordWords::Bytes;
    const auto stored = [](int status, int number, int third, int fourth) {
        return Bytes{image::storeStatus(status), static_cast<std::uint8_t>(number),
                     static_cast<std::uint8_t>(third), static_cast<std::uint8_t>(fourth)};
    };
    const struct {
        Bytes bytes;
        const char *brief, *range, *buttonValue;
    } cases[] = {
        {stored(0xB0, 74, 0, 127), "CC 74 ch 1", "", "value 0"},
        {stored(0x99, 60, 100, 127), "Note C4 ch 10", "100-127", "vel 100"},
        {stored(0xC4, 5, 0, 127), "Prog 5 ch 5", "", ""},
        {stored(0xA1, 61, 20, 100), "Poly AT C#4 ch 2", "20-100", "value 20"},
        {stored(0xD0, 64, 127, 0), "Ch AT 64 ch 1", "127-0", ""},
        {stored(0xE2, 0, 0, 127), "Bend 0 ch 3", "", "value 0"},
        {stored(0xF0, 7, 0, 127), "Meta 7 ID 1", "", "value 0"},
        {stored(0x90, 0, 0, 126), "Note C-1 ch 1", "0-126", "vel 0"},
        {stored(0x90, 127, 0, 127), "Note G9 ch 1", "", "vel 0"},
        // Bytes the pages cannot show as they are.
        {{0x05, 60, 0, 127}, "Note Off C4 ch 6", "", "vel 0"},
        {{0xB0, 200, 0, 200}, "CC 0xC8 ch 1", "0-0xC8", "value 0"},
        {stored(0x9F, 130, 0x90, 127), "Note 0x82 ch 16", "0x90-127", "vel 0x90"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.brief);
        EXPECT_EQ(RecordWords::brief(c.bytes), c.brief);
        EXPECT_EQ(RecordWords::range(c.bytes), c.range);
        EXPECT_EQ(RecordWords::buttonValue(c.bytes), c.buttonValue);
    }
}

TEST(RecordSheet, ReadsTheSheetsOfTheTableAndNamesEveryBadLine) {
    for (const sheetcases::Case &c : sheetcases::cases()) {
        SCOPED_TRACE(c.name);
        const RecordSheet::Read sheet = RecordSheet::read(c.text);
        EXPECT_EQ(errorLines(sheet), c.errorLines)
            << RecordEditor::errorLines(sheet.errors).toStdString();
        if (!c.errorLines.empty())
            continue;
        ConfigImage image = defaults();
        BulkEdit::apply(image, sheet.rows);
        for (const auto &[record, bytes] : c.records)
            EXPECT_EQ(RecordWords::bytes(image, record), bytes)
                << RecordWords::name(record).toStdString();
        EXPECT_EQ(BulkEdit::changedRecords(defaults().bytes(), image.bytes()),
                  static_cast<int>(c.records.size()));
    }
}

TEST(RecordEditor, EachEditIsOneStepThatUndoTakesBackWhole) {
    const std::vector<RecordId> bank3 = BulkEdit::bank(3, true, false);
    DumpBytes other = defaults().bytes();
    other.fill(0x22);
    const struct {
        const char *name;
        int changed;
        std::function<RecordEditor::Outcome(RecordEditor &)> edit;
        std::function<void(const ConfigImage &)> check;
    } edits[] = {
        {"controllers 20 to 35 on channel 2 over bank 3", 16,
         [&](RecordEditor &e) {
             return e.fill(bank3, {.type = 0xB, .channel = 2, .numbers = BulkEdit::Series{20, 1}});
         },
         [](const ConfigImage &i) {
             EXPECT_EQ(i.pot(32, image::PotStatus), 0xB1);
             EXPECT_EQ(i.pot(32, image::PotByte1), 20);
             EXPECT_EQ(i.pot(47, image::PotByte1), 35);
         }},
        {"a field over a selection: the type keeps each channel", 16,
         [&](RecordEditor &e) { return e.set(BulkEdit::bank(9, true, false), Column::Type, 0x9); },
         [](const ConfigImage &i) { EXPECT_EQ(i.pot(128 + 3, image::PotStatus), 0x93); }},
        {"banks 1 and 2 swapped, pots and buttons (whose two banks are alike)", 32,
         [](RecordEditor &e) { return e.swapBanks(1, 2, true, true); },
         [](const ConfigImage &i) {
             EXPECT_EQ(i.pot(0, image::PotByte1), 16);
             EXPECT_EQ(i.pot(16, image::PotByte1), 0);
         }},
        {"bank 1 copied onto bank 9, buttons alone (the first of both alike)", 7,
         [](RecordEditor &e) { return e.copyBank(1, 9, false, true); },
         [](const ConfigImage &i) {
             EXPECT_EQ(i.button(65, image::ButtonStatus), 0x90);
             EXPECT_EQ(i.button(65, image::ButtonByte1), 49);
             EXPECT_EQ(i.pot(128, image::PotStatus), 0xB0);
         }},
        {"a paste of rows without names from pot 3.1 on", 2,
         [](RecordEditor &e) {
             return e.paste(",Note On,3,60,0,127,,\n,Note On,3,61,0,127,,\n",
                            RecordSheet::Nameless::Pots, 32, 0, true);
         },
         [](const ConfigImage &i) { EXPECT_EQ(i.pot(33, image::PotByte1), 61); }},
        {"bank 4's pots taken from another configuration", 16,
         [&](RecordEditor &e) { return e.take(other, BulkEdit::bank(4, true, false)); },
         [](const ConfigImage &i) { EXPECT_EQ(i.pot(48, image::PotMax), 0x22); }},
    };
    for (const auto &e : edits) {
        SCOPED_TRACE(e.name);
        image::ImageHistory history(defaults());
        RecordEditor editor(history);
        const DumpBytes before = history.image().bytes();
        const RecordEditor::Outcome outcome = e.edit(editor);
        EXPECT_TRUE(outcome.refused.isEmpty()) << outcome.refused.toStdString();
        EXPECT_EQ(outcome.changed, e.changed);
        e.check(history.image());
        EXPECT_EQ(history.undoSteps(), 1);
        ASSERT_TRUE(history.undo());
        EXPECT_EQ(history.image().bytes(), before);
    }
}

TEST(RecordEditor, ARefusedEditChangesNothingAndSaysWhy) {
    const std::vector<RecordId> bank1 = BulkEdit::bank(1, true, false);
    const struct {
        const char *name;
        std::function<RecordEditor::Outcome(RecordEditor &)> edit;
        const char *says;
    } refused[] = {
        {"a series past 127",
         [&](RecordEditor &e) {
             return e.fill(bank1, {.numbers = BulkEdit::Series{116, 1}});
         },
         "pot 1.13 would get 128, pot 1.14 would get 129, pot 1.15 would get 130, and 1 more"},
        {"a series below 0",
         [&](RecordEditor &e) {
             return e.fill(bank1, {.numbers = BulkEdit::Series{10, -5}});
         },
         "pot 1.4 would get -5"},
        {"a paste that does not parse",
         [](RecordEditor &e) {
             return e.paste("pot 1.1,Controller,1,0,0,127,,\npot 1.2,Controller,1,0,0,999,,\n",
                            RecordSheet::Nameless::Pots, 0, 0, true);
         },
         "Line 2: max \"999\" is not 0 to 127"},
        {"rows that run past the last pot",
         [](RecordEditor &e) {
             return e.paste(",Controller,1,0,0,127,,\n,Controller,1,0,0,127,,\n",
                            RecordSheet::Nameless::Pots, 255, 0, true);
         },
         "The 2 pot rows from pot 16.16 on run past pot 16.16, the last pot."},
        {"rows that name records and rows that do not",
         [](RecordEditor &e) {
             return e.paste("pot 1.2,Controller,1,0,0,127,,\n,Controller,1,0,0,127,,\n",
                            RecordSheet::Nameless::Pots, 0, 0, true);
         },
         "Line 1 names pot 1.2, line 2 names no record"},
    };
    for (const auto &r : refused) {
        SCOPED_TRACE(r.name);
        image::ImageHistory history(defaults());
        RecordEditor editor(history);
        const RecordEditor::Outcome outcome = r.edit(editor);
        EXPECT_TRUE(outcome.refused.contains(QString::fromUtf8(r.says)))
            << outcome.refused.toStdString();
        EXPECT_EQ(outcome.changed, 0);
        EXPECT_EQ(history.undoSteps(), 0);
        EXPECT_EQ(history.image().bytes(), defaults().bytes());
    }
}

TEST(BulkEdit, PlacesPastedRowsByTheirNamesOrFromTheCurrentRecordsOn) {
    const struct {
        const char *name;
        QByteArray text;
        int potFrom, buttonFrom;
        bool byNames;
        std::vector<RecordId> placed;
    } cases[] = {
        {"named rows keep their records",
         "button 2.1,Note On,1,0,,,0,ON/OFF\npot 1.5,Controller,1,0,0,127,,\n",
         40,
         3,
         true,
         {{false, 8}, {true, 4}}},
        {"named rows from the current rows on, each kind from its own",
         "pot 1.1,Controller,1,0,0,127,,\nbutton 1.1,Note On,1,0,,,0,ON/OFF\n"
         "pot 1.2,Controller,1,0,0,127,,\n",
         40,
         3,
         false,
         {{true, 40}, {false, 3}, {true, 41}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RecordSheet::Read sheet = RecordSheet::read(c.text);
        ASSERT_TRUE(sheet.ok());
        EXPECT_EQ(BulkEdit::place(sheet.rows, c.potFrom, c.buttonFrom, c.byNames), QString());
        std::vector<RecordId> placed;
        for (const SheetRow &row : sheet.rows)
            placed.push_back(*row.record);
        EXPECT_EQ(placed, c.placed);
    }
    // Where rows must name their records, as on the command line, one that does not is an error.
    EXPECT_EQ(errorLines(RecordSheet::read(",Controller,1,0,0,127,,\n")), std::vector<int>{1});
}

TEST(Conflicts, FindsTheRecordsThatSendTheSameMessage) {
    ConfigImage distinct = defaults();
    // Every record its own note or controller: the defaults share many.
    for (int p = 0; p < image::PotCount; ++p) {
        distinct.setPot(p, image::PotStatus, 0xB0 + p / 128);
        distinct.setPot(p, image::PotByte1, p % 128);
    }
    for (int b = 0; b < image::ButtonCount; ++b) {
        distinct.setButton(b, image::ButtonStatus, 0x9F);
        distinct.setButton(b, image::ButtonByte1, b);
    }
    const struct {
        const char *name;
        std::function<void(ConfigImage &)> change;
        QStringList groups;
    } cases[] = {
        {"none", [](ConfigImage &) {}, {}},
        {"two pots on one controller, whatever their ranges",
         [](ConfigImage &i) {
             i.setPot(40, image::PotByte1, 7);
             i.setPot(40, image::PotMax, 64);
         },
         {"Controller 7 on channel 1: pot 1.8, pot 3.9"}},
        {"a pot and a button, and a status stored with bit 7 set",
         [](ConfigImage &i) {
             i.bytes()[static_cast<std::size_t>(image::buttonOffset(5))] = 0x9F | 0x80;
             i.setPot(3, image::PotStatus, 0x9F);
             i.setPot(3, image::PotByte1, 5);
         },
         {"Note On 5 on channel 16: pot 1.4, button 1.6"}},
        {"the same number on another channel or type is another message",
         [](ConfigImage &i) {
             i.setPot(7, image::PotStatus, 0xB2);
             i.setPot(7, image::PotByte1, 100);
             i.setPot(8, image::PotStatus, 0xC0);
             i.setPot(8, image::PotByte1, 100);
         },
         {}},
        {"three records, and a status below 0x90",
         [](ConfigImage &i) {
             for (int p : {10, 20})
                 i.setPot(p, image::PotStatus, 0x85);
             i.setButton(0, image::ButtonStatus, 0x85);
             for (int p : {10, 20})
                 i.setPot(p, image::PotByte1, 9);
             i.setButton(0, image::ButtonByte1, 9);
         },
         {"Note Off 9 on channel 6: pot 1.11, pot 2.5, button 1.1"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ConfigImage image = distinct;
        c.change(image);
        QStringList found;
        for (const Conflicts::Group &group : Conflicts::find(image))
            found << Conflicts::line(image, group);
        EXPECT_EQ(found, c.groups);
    }
    EXPECT_EQ(Conflicts::sending(distinct, 0xB1, 0), (std::vector<RecordId>{{true, 128}}));
}

} // namespace vkv::records
