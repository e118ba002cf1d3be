// Undo and redo through the real main window: every change of the configuration is one step that
// Ctrl+Z takes back and Ctrl+Shift+Z or Ctrl+Y make again, the whole image byte for byte, with the
// caption, the pages and a shown virtual box following, wherever the focus is.
#include "ConfigImage.h"
#include "JackRecorder.h"
#include "JackWindow.h"
#include "QuietWindow.h"
#include "TFaderDesk.h"
#include "TKnob.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using vkv::image::ConfigImage;
using vkv::image::DumpBytes;
using Bytes = std::vector<unsigned char>;
using Events = std::vector<JackRecorder::Event>;

class UndoJack : public JackWindowTest {};

using Window = QuietWindow;

void undo(QWidget *at) {
    QTest::keyClick(at, Qt::Key_Z, Qt::ControlModifier);
}
void redo(QWidget *at) {
    QTest::keyClick(at, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
}
void redoY(QWidget *at) {
    QTest::keyClick(at, Qt::Key_Y, Qt::ControlModifier);
}

ConfigImage defaults() {
    ConfigImage image;
    EXPECT_TRUE(vkv::image::loadDefaultImage(image));
    return image;
}

Bytes bytesOf(const DumpBytes &image, int count = vkv::image::DumpSize) {
    return Bytes(image.begin(), image.begin() + count);
}

void writeFile(const QString &path, const Bytes &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
}

// The pages show the records of the pot and the button they show as the image holds them.
void expectPagesShow(const Ui::TForm1 &ui, const ConfigImage &image, const std::string &when) {
    using namespace vkv::image;
    const int p = ui.PotNumber->value(), b = ui.ButtNumber->value();
    EXPECT_EQ(ui.PotByte0->value(), image.pot(p, PotStatus)) << when;
    EXPECT_EQ(ui.PotByte1->value(), image.pot(p, PotByte1)) << when;
    EXPECT_EQ(ui.PotMin->value(), image.pot(p, PotMin)) << when;
    EXPECT_EQ(ui.PotMax->value(), image.pot(p, PotMax)) << when;
    EXPECT_EQ(ui.ButtByte0->value(), image.button(b, ButtonStatus)) << when;
    EXPECT_EQ(ui.ButtByte1->value(), image.button(b, ButtonByte1)) << when;
    EXPECT_EQ(ui.ButtByte2->value(), image.button(b, ButtonByte2)) << when;
    EXPECT_EQ(ui.ButtMode->currentIndex(), image.button(b, ButtonMode)) << when;
}

} // namespace

TEST_F(UndoJack, EveryChangeIsOneStepAndUndoAndRedoWalkThemWithCaptionPagesAndBox) {
    JackRecorder box("vkvundobox");
    JackSender source("vkvundosrc");
    JackWindow w;
    w.chooseOut(w.outIndex(QString::fromStdString(box.portName())));
    w.chooseIn(w.inIndex(QString::fromStdString(source.portName())));
    ASSERT_TRUE(w.requestEnabled());
    QTemporaryDir dir;
    std::optional<TForm1::FileChoice> answer;
    w.form.setFileChooser([&](QFileDialog *) { return answer; });
    const auto showBox = [&] {
        QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
        ASSERT_EQ(box.waitUntil([](const Events &e) { return e.size() >= 48; }).size(), 48u);
        box.clear();
    };
    const auto open = [&](const QString &name, const Bytes &bytes) {
        writeFile(dir.filePath(name), bytes);
        answer = TForm1::FileChoice{dir.filePath(name), 0};
        w.ui.PageControl1->setCurrentWidget(w.ui.FileSheet);
        QTest::mouseClick(w.ui.OpenSysex, Qt::LeftButton);
        // Opening loads the hidden box, whose knobs send their events, and shows it no more.
        ASSERT_EQ(box.waitUntil([](const Events &e) { return e.size() >= 48; }).size(), 48u);
        box.clear();
        showBox();
    };
    const QString built = w.form.windowTitle();
    showBox();

    struct Step {
        std::string name;
        DumpBytes image;
        QString caption;
        bool reloadsBox; // a file or a dump: a shown box is loaded anew
    };
    std::vector<Step> steps{{"the start", w.form.image().bytes(), built, false}};
    const auto keep = [&](const std::string &name, bool reloadsBox = false) {
        steps.push_back({name, w.form.image().bytes(), w.form.windowTitle(), reloadsBox});
        ASSERT_NE(steps.back().image, steps[steps.size() - 2].image) << name;
    };
    EXPECT_EQ(steps[0].image, defaults().bytes());

    w.ui.PageControl1->setCurrentWidget(w.ui.PotSettings);
    testui::typeInto(w.ui.PotMax, "100");
    keep("a field typed");
    testui::chooseItem(w.ui.PotByte0A, 3);
    keep("an event type chosen");
    w.ui.PageControl1->setCurrentWidget(w.ui.ButtSettings);
    testui::chooseItem(w.ui.ButtMode, 2);
    keep("a mode chosen");
    testui::chooseItem(w.ui.ButtPresetName, w.ui.ButtPresetName->findText("Note C2 (36)"));
    keep("a preset applied");
    w.ui.PageControl1->setCurrentWidget(w.ui.PotSettings);
    QTest::mouseClick(w.ui.LearnPot, Qt::LeftButton);
    ASSERT_TRUE(sendUntil(source, {0x92, 0x05, 0x40}, [&] { return w.ui.PotByte1->value() == 5; }));
    QTest::mouseClick(w.ui.LearnPot, Qt::LeftButton);
    keep("a message learnt");

    ConfigImage file = defaults();
    file.setPot(0, vkv::image::PotStatus, 0xB3);
    file.setPot(0, vkv::image::PotByte1, 9);
    file.setButton(0, vkv::image::ButtonMode, 1);
    open("undo.syx", bytesOf(file.bytes()));
    keep("a file opened", true);
    ConfigImage shortFile = file;
    shortFile.setPot(0, vkv::image::PotStatus, 0xA4);
    open("short.syx", bytesOf(shortFile.bytes(), vkv::image::potOffset(1)));
    keep("a short file opened", true);

    ConfigImage dump = defaults();
    dump.bytes()[4] = 0x43; // another device's header
    dump.setPot(0, vkv::image::PotStatus, 0xE5);
    dump.setPot(0, vkv::image::PotMin, 3);
    dump.setButton(0, vkv::image::ButtonByte2, 99);
    ASSERT_TRUE(sendUntil(source, bytesOf(dump.bytes()),
                          [&] { return w.ui.SysexReceiveCount->text() == "Done !!"; }));
    keep("a dump received", true);
    EXPECT_EQ(bytesOf(steps.back().image), bytesOf(dump.bytes()));

    // Storing and sending frame the image and are no steps.
    answer = TForm1::FileChoice{dir.filePath("stored.syx"), 0};
    w.ui.PageControl1->setCurrentWidget(w.ui.FileSheet);
    QTest::mouseClick(w.ui.StoreSysex, Qt::LeftButton);
    QTest::mouseClick(w.ui.SendToKorvane, Qt::LeftButton);
    box.waitUntil([](const Events &e) { return !e.empty(); });
    testui::settle(200);
    box.clear();
    steps.back().image = w.form.image().bytes();
    EXPECT_EQ(steps.back().image[4], 0x42);

    // Each undo puts the image before the step back, byte for byte; a file or a dump taken back
    // loads the shown box anew, with the knobs' events of the image it brings back.
    w.ui.PageControl1->setCurrentWidget(w.ui.PotSettings);
    QWidget *keys = w.ui.PotNumber;
    keys->setFocus();
    const auto expectBoxFollows = [&](const Step &change, const ConfigImage &now,
                                      const std::string &when) {
        if (!change.reloadsBox) {
            testui::settle(300);
            EXPECT_TRUE(box.recorded().empty()) << when;
            return;
        }
        const Events events = box.waitUntil([](const Events &e) { return e.size() >= 48; });
        testui::settle(100);
        ASSERT_EQ(box.recorded().size(), 48u) << when;
        for (int k = 0; k < 16; ++k) {
            const Bytes &sent = events[3 * k].bytes;
            ASSERT_GE(sent.size(), 2u) << when;
            EXPECT_EQ(sent[0], now.pot(k, vkv::image::PotStatus)) << when << ", knob " << k;
            EXPECT_EQ(sent[1], now.pot(k, vkv::image::PotByte1)) << when << ", knob " << k;
        }
        EXPECT_EQ(w.form.faderDesk()->lcd().line(0), "  Initialized   ") << when;
        EXPECT_TRUE(w.form.faderDesk()->isVisible()) << when;
    };
    for (std::size_t n = steps.size() - 1; n > 0; --n) {
        const std::string when = "undoing " + steps[n].name;
        undo(keys);
        EXPECT_EQ(w.form.image().bytes(), steps[n - 1].image) << when;
        EXPECT_EQ(w.form.windowTitle(), steps[n - 1].caption) << when;
        expectPagesShow(w.ui, w.form.image(), when);
        expectBoxFollows(steps[n], w.form.image(), when);
        box.clear();
    }
    undo(keys); // nothing left to undo
    EXPECT_EQ(w.form.image().bytes(), defaults().bytes());
    EXPECT_EQ(w.form.windowTitle(), built);

    for (std::size_t n = 1; n < steps.size(); ++n) {
        const std::string when = "redoing " + steps[n].name;
        n % 2 ? redo(keys) : redoY(keys);
        EXPECT_EQ(w.form.image().bytes(), steps[n].image) << when;
        EXPECT_EQ(w.form.windowTitle(), steps[n].caption) << when;
        expectPagesShow(w.ui, w.form.image(), when);
        expectBoxFollows(steps[n], w.form.image(), when);
        box.clear();
    }
    redo(keys); // nothing left to redo
    EXPECT_EQ(w.form.image().bytes(), steps.back().image);
}

TEST(Undo, ASpinEditHeldDownIsOneStep) {
    Window w;
    w.ui.PageControl1->setCurrentWidget(w.ui.PotSettings);
    testui::typeInto(w.ui.PotNumber, "20");
    const DumpBytes before = w.form.image().bytes();
    // Twenty steps as fast as a held key repeats them.
    w.ui.PotMin->setFocus();
    for (int n = 0; n < 20; ++n)
        QTest::keyClick(w.ui.PotMin, Qt::Key_Up);
    ASSERT_EQ(w.form.image().pot(20, vkv::image::PotMin), 20);
    const DumpBytes held = w.form.image().bytes();

    undo(w.ui.PotMin);
    EXPECT_EQ(w.form.image().bytes(), before);
    EXPECT_EQ(w.ui.PotMin->value(), 0);
    redo(w.ui.PotMin);
    EXPECT_EQ(w.form.image().bytes(), held);
    EXPECT_EQ(w.ui.PotMin->value(), 20);
}

TEST(Undo, CtrlZInAFocusedSpinEditTakesBackTheLastChangeNotTheEditsText) {
    Window w;
    w.ui.PageControl1->setCurrentWidget(w.ui.ButtSettings);
    const DumpBytes start = w.form.image().bytes();
    testui::typeInto(w.ui.ButtByte2, "100");
    const DumpBytes typed = w.form.image().bytes();
    testui::typeInto(w.ui.ButtByte1, "7");
    const DumpBytes both = w.form.image().bytes();
    w.ui.ButtByte2->setFocus();

    // The last change was byte 1's; byte 2's own text undo would have put back its 127.
    undo(w.ui.ButtByte2);
    EXPECT_EQ(w.form.image().bytes(), typed);
    EXPECT_EQ(w.ui.ButtByte1->value(), 48);
    EXPECT_EQ(w.ui.ButtByte2->text(), "100");
    undo(w.ui.ButtByte2);
    EXPECT_EQ(w.form.image().bytes(), start);
    EXPECT_EQ(w.ui.ButtByte2->text(), "127");
    redoY(w.ui.ButtByte2);
    redo(w.ui.ButtByte2);
    EXPECT_EQ(w.form.image().bytes(), both);
    EXPECT_EQ(w.ui.ButtByte1->value(), 7);
    EXPECT_EQ(w.ui.ButtByte2->value(), 100);
}

TEST(Undo, TheKeysWorkWhereverTheFocusIsAndTheVirtualBoxPassesThemOn) {
    Window w;
    EXPECT_EQ(w.ui.PotNumber->toolTip(), "Ctrl+Z undo, Ctrl+Shift+Z redo");
    EXPECT_EQ(w.ui.ButtNumber->toolTip(), "Ctrl+Z undo, Ctrl+Shift+Z redo");
    w.form.ShowFaderDeskClick(nullptr);
    TFaderDesk *desk = w.form.faderDesk();
    QPushButton *bankUp = nullptr;
    for (auto *b : desk->findChildren<QPushButton *>())
        if (b->text() == "Bank +")
            bankUp = b;
    ASSERT_NE(bankUp, nullptr);

    const struct {
        const char *name;
        QWidget *page; // null: the virtual box
        QWidget *focus;
    } places[] = {
        {"the Pot ID", w.ui.PotSettings, w.ui.PotNumber},
        {"the pot preset name", w.ui.PotSettings, w.ui.PotPresetName},
        {"the event type list", w.ui.PotSettings, w.ui.PotByte0A},
        {"the button mode list", w.ui.ButtSettings, w.ui.ButtMode},
        {"the send speed", w.ui.FileSheet, w.ui.SysexSendSpeed},
        {"the MIDI IN list", w.ui.FileSheet, w.ui.MIDIInComboBox},
        {"the Open Sysex File button", w.ui.FileSheet, w.ui.OpenSysex},
        {"a knob of the virtual box", nullptr, desk->knob(3)},
        {"a bank button of the virtual box", nullptr, bankUp},
    };
    int mode = 0;
    for (const auto &place : places) {
        if (place.page)
            w.ui.PageControl1->setCurrentWidget(place.page);
        place.focus->setFocus();
        const DumpBytes before = w.form.image().bytes();
        mode = mode % 2 + 1;
        w.form.history().change(
            vkv::image::ImageChange::choice(vkv::image::ImageChange::Record::Button, 0,
                                            vkv::image::ButtonMode),
            [&](ConfigImage &image) { image.setButton(0, vkv::image::ButtonMode, mode); });
        const DumpBytes after = w.form.image().bytes();

        undo(place.focus);
        EXPECT_EQ(w.form.image().bytes(), before) << place.name;
        EXPECT_EQ(w.ui.ButtMode->currentIndex(),
                  before[vkv::image::buttonOffset(0, vkv::image::ButtonMode)])
            << place.name;
        redo(place.focus);
        EXPECT_EQ(w.form.image().bytes(), after) << place.name;
        undo(place.focus);
        redoY(place.focus);
        EXPECT_EQ(w.form.image().bytes(), after) << place.name;
    }
    EXPECT_EQ(desk->knob(3)->Position(), 0); // the keys never turned it
    EXPECT_EQ(desk->engine().currentBank, 1);
}
