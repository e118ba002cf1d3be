// The image's history without a window: its steps, how field steps merge, how many are kept, and
// what a new change does to the steps undone before it. Time comes from a clock the test moves.
#include "ConfigImage.h"
#include "ImageHistory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace vkv::image {

namespace {

using namespace std::chrono_literals;
using Kind = ImageChange::Kind;
using Record = ImageChange::Record;

struct Rig {
    std::chrono::steady_clock::time_point now{};
    ImageHistory history{start(), [this] { return now; }};
    std::vector<ImageChange> restored;

    Rig() {
        QObject::connect(&history, &ImageHistory::restored,
                         [this](const ImageChange &change) { restored.push_back(change); });
    }
    static ConfigImage start() {
        ConfigImage image;
        EXPECT_TRUE(loadDefaultImage(image));
        return image;
    }
    const DumpBytes &bytes() const { return history.image().bytes(); }
    void setPot(int pot, int field, int value, std::chrono::milliseconds after = 0ms) {
        now += after;
        history.change(ImageChange::fieldEdit(Record::Pot, pot, field),
                       [&](ConfigImage &image) { image.setPot(pot, field, value); });
    }
};

} // namespace

TEST(ImageHistory, UndoAndRedoPutBackTheWholeImageAndItsFileStepByStep) {
    Rig rig;
    std::vector<DumpBytes> images{rig.bytes()};
    std::vector<QString> files{rig.history.fileName()};
    DumpBytes fromFile{};
    fromFile.fill(0x11);
    const std::vector<std::pair<ImageChange, std::function<void(ConfigImage &)>>> changes{
        {ImageChange::fieldEdit(Record::Pot, 3, PotByte1),
         [](ConfigImage &i) { i.setPot(3, PotByte1, 99); }},
        {ImageChange::choice(Record::Button, 5, ButtonMode),
         [](ConfigImage &i) { i.setButton(5, ButtonMode, 2); }},
        {ImageChange::preset(Record::Pot, 7),
         [](ConfigImage &i) {
             i.setPot(7, PotStatus, 0xC0);
             i.setPot(7, PotMax, 50);
         }},
        {ImageChange::learnt(Record::Button, 1),
         [](ConfigImage &i) { i.setButton(1, ButtonStatus, 0xA3); }},
        {ImageChange::opened("a.syx"), [&](ConfigImage &i) { i.bytes() = fromFile; }},
        {ImageChange::opened("short.syx"), [](ConfigImage &i) { i.bytes()[0] = 0xF0; }},
        {ImageChange::received(), [](ConfigImage &i) { i.setPot(0, PotMin, 1); }},
    };
    for (const auto &[change, edit] : changes) {
        rig.history.change(change, edit);
        images.push_back(rig.bytes());
        files.push_back(rig.history.fileName());
    }
    ASSERT_EQ(rig.history.undoSteps(), 7);
    EXPECT_EQ(files.back(), "short.syx");

    for (int n = 7; n > 0; --n) {
        ASSERT_TRUE(rig.history.undo());
        EXPECT_EQ(rig.bytes(), images[n - 1]) << n;
        EXPECT_EQ(rig.history.fileName(), files[n - 1]) << n;
        EXPECT_EQ(rig.restored.back().kind, changes[n - 1].first.kind) << n;
    }
    EXPECT_FALSE(rig.history.undo());
    for (int n = 1; n <= 7; ++n) {
        ASSERT_TRUE(rig.history.redo());
        EXPECT_EQ(rig.bytes(), images[n]) << n;
        EXPECT_EQ(rig.history.fileName(), files[n]) << n;
        EXPECT_EQ(rig.restored.back().kind, changes[n - 1].first.kind) << n;
    }
    EXPECT_FALSE(rig.history.redo());
    EXPECT_EQ(rig.restored.size(), 14u);
}

TEST(ImageHistory, AChangeWithinAChangeIsPartOfItsStepAndNeitherNothingNorFramingIsAStep) {
    Rig rig;
    const DumpBytes start = rig.bytes();
    // A preset applied through a page: each field the page sets asks for a change of its own.
    rig.history.change(ImageChange::preset(Record::Pot, 2), [&](ConfigImage &) {
        for (int field = 0; field < 4; ++field)
            rig.setPot(2, field, 0x20 + field);
    });
    EXPECT_EQ(rig.history.undoSteps(), 1);

    rig.setPot(2, PotMin, 0x22); // the value it holds
    rig.history.change(ImageChange::opened(""), [](ConfigImage &) {});
    DumpBytes framed = rig.bytes();
    rig.history.change(ImageChange::received(), [](ConfigImage &i) { i.bytes()[4] = 0x43; });
    framed[4] = 0x43;
    rig.history.frame();
    framed[4] = 0x42;
    EXPECT_EQ(rig.bytes(), framed);
    EXPECT_EQ(rig.history.undoSteps(), 2);

    ASSERT_TRUE(rig.history.undo());
    ASSERT_TRUE(rig.history.undo());
    EXPECT_EQ(rig.bytes(), start);
}

TEST(ImageHistory, StepsOfTheSameFieldOfTheSameRecordWithinASecondMergeIntoOne) {
    struct Case {
        std::string name;
        std::function<void(Rig &)> second; // after pot 4's byte 1 set to 10
        int steps;
    };
    const auto field = [](Record record, int index, int f, int value, auto after) {
        return [=](Rig &rig) {
            rig.now += after;
            rig.history.change(ImageChange::fieldEdit(record, index, f), [&](ConfigImage &i) {
                record == Record::Pot ? i.setPot(index, f, value) : i.setButton(index, f, value);
            });
        };
    };
    const std::vector<Case> cases{
        {"the same field 0.999 s later", field(Record::Pot, 4, PotByte1, 11, 999ms), 1},
        {"the same field 1 s later", field(Record::Pot, 4, PotByte1, 11, 1000ms), 1},
        {"the same field 1.001 s later", field(Record::Pot, 4, PotByte1, 11, 1001ms), 2},
        {"another field", field(Record::Pot, 4, PotMax, 11, 10ms), 2},
        {"another pot", field(Record::Pot, 5, PotByte1, 11, 10ms), 2},
        {"a button's field", field(Record::Button, 4, ButtonByte1, 11, 10ms), 2},
        {"a choice on the same field",
         [](Rig &rig) {
             rig.history.change(ImageChange::choice(Record::Pot, 4, PotByte1),
                                [](ConfigImage &i) { i.setPot(4, PotByte1, 11); });
         },
         2},
        {"held down for 2 s, a step every 0.1 s",
         [](Rig &rig) {
             for (int v = 11; v < 31; ++v)
                 rig.setPot(4, PotByte1, v, 100ms);
         },
         1},
        {"stepped back to where it began", field(Record::Pot, 4, PotByte1, 4, 200ms), 0},
        {"after an undo and a redo",
         [](Rig &rig) {
             rig.history.undo();
             rig.history.redo();
             rig.setPot(4, PotByte1, 11, 10ms);
         },
         2},
    };
    for (const Case &c : cases) {
        Rig rig;
        const DumpBytes start = rig.bytes();
        rig.setPot(4, PotByte1, 10);
        c.second(rig);
        EXPECT_EQ(rig.history.undoSteps(), c.steps) << c.name;
        while (rig.history.undo()) {
        }
        EXPECT_EQ(rig.bytes(), start) << c.name;
    }
}

TEST(ImageHistory, KeepsTheLastThousandSteps) {
    Rig rig;
    std::vector<DumpBytes> images{rig.bytes()};
    for (int n = 0; n < 1005; ++n) {
        rig.setPot(n % 256, PotMax, n % 100, 2s);
        images.push_back(rig.bytes());
    }
    EXPECT_EQ(rig.history.undoSteps(), 1000);
    while (rig.history.undo()) {
    }
    EXPECT_EQ(rig.bytes(), images[5]); // the five oldest went first
    EXPECT_EQ(rig.restored.size(), 1000u);
}

TEST(ImageHistory, ANewChangeDropsTheStepsUndoneBeforeIt) {
    Rig rig;
    rig.setPot(1, PotMax, 1);
    rig.setPot(2, PotMax, 2);
    rig.setPot(3, PotMax, 3);
    rig.history.undo();
    rig.history.undo();
    EXPECT_EQ(rig.history.redoSteps(), 2);
    rig.setPot(9, PotMax, 9);
    const DumpBytes now = rig.bytes();
    EXPECT_EQ(rig.history.redoSteps(), 0);
    EXPECT_FALSE(rig.history.redo());
    EXPECT_EQ(rig.bytes(), now);
    EXPECT_EQ(rig.history.undoSteps(), 2);
}

} // namespace vkv::image
