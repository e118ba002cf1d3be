// Recall in the main window over the tests' JACK server with the stand-in box: a DAW's program
// change on the program's own Motors port puts its set list slot's configuration into the box,
// verified, recorded once with its cause, while the DAW's other messages wait for the dump; the
// LCD, the status line and the monitor say what happened; MIDI IN's program changes never recall.
#include "JackBox.h"
#include "JackRecorder.h"
#include "JackTools.h"
#include "JackWindow.h"
#include "Library.h"
#include "MonitorWindow.h"
#include "OwnPorts.h"
#include "RecallDesk.h"
#include "Settings.h"
#include "TFaderDesk.h"
#include "TKnob.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Events = std::vector<JackRecorder::Event>;
using vkv::library::Library;

class WindowRecallJack : public JackWindowTest {};

QString name(const std::string &port) {
    return QString::fromStdString(port);
}

// The window's own port that `port` is connected to, as jack_lsp lists it.
QString connectedTo(const std::string &port) {
    const QStringList lines = jacktools::run("jack_lsp", {"-c", name(port)}).split(u'\n');
    return lines.size() > 1 ? lines[1].trimmed() : QString();
}

// The defaults with pot 1.1 sending controller 100.
vkv::image::DumpBytes gigConfiguration() {
    vkv::image::ConfigImage image;
    vkv::image::loadDefaultImage(image);
    image.setPot(0, vkv::image::PotByte1, 100);
    return image.bytes();
}

Bytes framed(vkv::image::DumpBytes dump) {
    vkv::image::frameDump(dump.data());
    return {dump.begin(), dump.end()};
}

bool red(const QLabel *label) {
    return label->palette().color(QPalette::WindowText) == QColor(255, 0, 0);
}

} // namespace

TEST_F(WindowRecallJack, AProgramChangeOnMotorsRecallsItsEntryVerifiedAndNothingElseTakesIt) {
    JackBox box(QStringLiteral(VKV_JACK_BOX), "vkvwinrecallbox", 4096, 0);
    ASSERT_TRUE(box.ready);
    JackRecorder wire("vkvwinrecallwire"); // what goes to the box, as it goes
    JackRecorder knobs("vkvwinrecallknobs");
    JackSender daw("vkvwinrecalldaw");
    JackSender buttons("vkvwinrecallbuttons"); // the box's own buttons, on MIDI IN
    // The set list, and recall on for it as a run before left it.
    Library library;
    ASSERT_TRUE(library.open(Library::defaultFolder()));
    const auto gig = gigConfiguration();
    ASSERT_TRUE(library.add(gig, "Gig for a long night out"));
    ASSERT_TRUE(library.addToSetList("Tour", 1, *library.named("Gig for a long night out")));
    vkv::app::Settings().setRecall("Tour", true);

    JackWindow w;
    EXPECT_TRUE(w.form.recallDesk().recallOn());
    EXPECT_EQ(w.form.recallDesk().recallList(), "Tour");
    auto &own = *w.form.findChild<vkv::ports::OwnPorts *>("OwnPorts");
    ASSERT_TRUE(testui::waitUntil([&] { return own.offered(); }, 5000));
    ASSERT_TRUE(jacktools::connect(name(own.knobsName()), name(knobs.portName())));
    ASSERT_TRUE(jacktools::connect(name(daw.portName()), name(own.motorsName())));
    w.chooseOut(w.outIndex(name(wire.portName())));
    w.chooseIn(w.inIndex(box.answers()));
    ASSERT_TRUE(jacktools::connect(connectedTo(wire.portName()), box.listens()));
    QTest::mouseClick(w.ui.VerifyAfterSend, Qt::LeftButton);
    testui::typeInto(w.ui.SysexSendSpeed, "1000");
    QTest::mouseClick(w.ui.ShowMidiMonitor, Qt::LeftButton);
    const auto &rows = w.form.CreateMonitorWindow()->model();
    // The box shown, its knobs 1.4 and 1.5 moved by controllers 7 and 8 from the DAW.
    w.form.history().change(vkv::image::ImageChange::received(), [](vkv::image::ConfigImage &i) {
        for (const int pot : {3, 4}) {
            i.setPot(pot, vkv::image::PotStatus, 0xB0);
            i.setPot(pot, vkv::image::PotByte1, static_cast<std::uint8_t>(pot + 4));
        }
    });
    const auto editor = w.form.image().bytes();
    w.ui.vMotPots->click();
    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    TFaderDesk *desk = w.form.faderDesk();
    ASSERT_TRUE(sendUntil(daw, {0xB0, 7, 0x40}, [&] { return desk->knob(3)->Position() == 0x40; }));
    testui::settle(300);
    wire.clear();
    knobs.clear();

    daw.send({0xC0, 1});
    const auto &lcd = desk->lcd();
    ASSERT_TRUE(testui::waitUntil([&] { return lcd.ownScreenShown(); }, 5000));
    EXPECT_EQ(lcd.line(0), "Recall 1 ch1    ");
    EXPECT_EQ(lcd.line(1), "Gig for a long  ");
    EXPECT_EQ(lcd.line(2), "night out       ");
    EXPECT_EQ(lcd.line(3), "1000 bytes/s    ");
    EXPECT_EQ(w.ui.StatusLabel->text(), "Recall of \u201cGig for a long night out\u201d, program "
                                        "change 1 on channel 1, 1000 bytes/s: sending");
    EXPECT_FALSE(red(w.ui.StatusLabel));
    // The DAW plays on during the dump: held, then in order after it, to the box and on Knobs.
    daw.send({0xB0, 7, 0x50});
    daw.send({0xB0, 8, 0x30});
    ASSERT_TRUE(testui::waitUntil([&] { return desk->knob(4)->Position() == 0x30; }, 3000));
    EXPECT_TRUE(lcd.ownScreenShown());
    ASSERT_TRUE(
        testui::waitUntil([&] { return w.ui.StatusLabel->text().endsWith(": verified"); }, 15000))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_EQ(box.holds(), framed(gig));
    const Events sent = wire.recorded();
    const std::vector<Bytes> after = afterDump(sent);
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(after[0], (Bytes{0xB0, 7, 0x50}));
    EXPECT_EQ(after[1], (Bytes{0xB0, 8, 0x30}));
    const auto dumpEnd = std::find_if(sent.begin(), sent.end(), [](const auto &e) {
        return !e.bytes.empty() && e.bytes.back() == 0xF7;
    });
    const Events played = knobs.recorded();
    ASSERT_EQ(played.size(), 2u);
    // Held until the dump's last slice was handed over: Knobs is another JACK client than the
    // MIDI OUT port, so its release may reach the server a few cycles before the wire shows the
    // dump's end (21 ms seen under the address sanitizer), never the 1.5 s of an unheld message.
    EXPECT_GE(played[0].usecs + 100000, dumpEnd->usecs);
    EXPECT_EQ(played[0].bytes, (Bytes{0xB0, 7, 0x50}));
    EXPECT_EQ(played[1].bytes, (Bytes{0xB0, 8, 0x30}));
    EXPECT_EQ(w.form.image().bytes(), editor);
    // The outcome for a while, then the box's own screen as the knobs left it.
    EXPECT_EQ(lcd.line(2), "verified        ");
    ASSERT_TRUE(testui::waitUntil([&] { return !lcd.ownScreenShown(); }, 5000));
    EXPECT_EQ(lcd.line(0).substr(0, 5), "Potme");
    // Recorded once, with its cause; the monitor has its lines.
    const auto sends = [&] {
        std::vector<Library::Event> found;
        for (const auto &event : library.history())
            if (event.direction == Library::Direction::Sent)
                found.push_back(event);
        return found;
    };
    ASSERT_EQ(sends().size(), 1u);
    EXPECT_EQ(sends()[0].text(), "sent to " + name(wire.portName()) +
                                     ", verified, recalled by program change 1 on channel 1 (set "
                                     "list Tour)");
    w.form.CreateMonitorWindow()->readTap();
    QStringList notes;
    for (int row = 0; row < rows.rowCount(); ++row)
        if (rows.rowText(row).contains("Recall of"))
            notes << rows.rowText(row).section(u'\t', 4);
    EXPECT_EQ(notes,
              (QStringList{"Recall of \u201cGig for a long night out\u201d, program change 1 "
                           "on channel 1, 1000 bytes/s: sending",
                           "Recall of \u201cGig for a long night out\u201d, program change 1 "
                           "on channel 1, 1000 bytes/s: verified"}));

    // While "Find Speed ..." searches, the box's sends are the search's: a recall sends nothing.
    QTest::mouseClick(w.ui.FindSpeed, Qt::LeftButton);
    auto *search = w.form.findChild<QDialog *>("FindSpeedDialog");
    ASSERT_TRUE(search && search->isVisible());
    daw.send({0xC0, 1});
    ASSERT_TRUE(testui::waitUntil(
        [&] { return w.ui.StatusLabel->text().contains("\u201cFind Speed\u201d is searching"); },
        3000))
        << w.ui.StatusLabel->text().toStdString();
    QTest::mouseClick(search->findChild<QPushButton *>("FindSpeedCancel"), Qt::LeftButton);
    ASSERT_TRUE(testui::waitUntil(
        [&] { return !w.ui.StatusLabel->text().contains("is searching"); }, 30000));
    search->close();
    const auto recalls = [&] {
        const auto history = library.history();
        return std::count_if(history.begin(), history.end(), [](const auto &event) {
            return event.text().contains("recalled by");
        });
    };
    EXPECT_EQ(recalls(), 1);

    // An empty slot sends nothing and says so; the program change is learnt no more than the
    // recalled one was.
    QTest::mouseClick(w.ui.LearnPot, Qt::LeftButton);
    const int dumps = box.dumps();
    daw.send({0xC0, 9});
    ASSERT_TRUE(testui::waitUntil([&] { return red(w.ui.StatusLabel); }, 3000));
    EXPECT_EQ(w.ui.StatusLabel->text(),
              "Recall, program change 9 on channel 1: the set list \"Tour\" has no slot for "
              "program 9; nothing was sent");
    EXPECT_EQ(lcd.line(2), "nothing sent    ");
    testui::settle(300);
    EXPECT_EQ(w.form.image().bytes(), editor);
    // MIDI IN's program change is the box's own: learnt, never recalled.
    w.chooseIn(w.inIndex(name(buttons.portName())));
    ASSERT_TRUE(sendUntil(buttons, {0xC0, 1}, [&] { return w.form.image().bytes() != editor; }));
    EXPECT_EQ(w.ui.PageControl1->currentWidget(), w.ui.PotSettings);
    testui::settle(500);
    // With no MIDI OUT port, nothing is sent, and that is said.
    w.chooseOut(w.noneOut());
    daw.send({0xC0, 1});
    ASSERT_TRUE(testui::waitUntil(
        [&] { return w.ui.StatusLabel->text().contains("no MIDI OUT port is open"); }, 3000))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_TRUE(red(w.ui.StatusLabel));
    testui::settle(500);
    EXPECT_EQ(box.dumps(), dumps);
    EXPECT_EQ(recalls(), 1);

    // The Library window's Set Lists tab shows the list that recalls and the last recall, and
    // switches recall off for good.
    QTest::mouseClick(w.form.findChild<QPushButton *>("ShowLibrary"), Qt::LeftButton);
    auto *tab = w.form.findChild<QWidget *>("SetListsTab");
    ASSERT_NE(tab, nullptr);
    auto *recallBox = tab->findChild<QCheckBox *>("SetListRecall");
    EXPECT_TRUE(recallBox->isChecked());
    EXPECT_TRUE(
        tab->findChild<QLabel *>("SetListLastRecall")->text().contains("no MIDI OUT port is open"));
    QTest::mouseClick(recallBox, Qt::LeftButton, {}, QPoint(5, recallBox->height() / 2));
    EXPECT_FALSE(w.form.recallDesk().recallOn());
    const int said = w.ui.StatusLabel->text().size();
    daw.send({0xC0, 1});
    testui::settle(500);
    EXPECT_EQ(w.ui.StatusLabel->text().size(), said) << "a program change recalled with recall off";
}
