// Soak: the real main window over a JACK server of its own for MINUTES minutes (scripts/soak).
// Random user actions on every page and the virtual box (undo and redo keys among them) go in as
// real Qt events, random MIDI comes in at the MIDI IN port, files are stored, exported and opened
// again and again, and every 20 s a paced send at speed 1000 goes to a JACK receiver that must get
// the dump byte for byte.
// Resident memory is sampled every 10 s and must not grow after the first minute.
// Prints "name: value unit" lines; exits non-zero on any failure.
#include "JackRecorder.h"
#include "JackSender.h"
#include "MidiMessage.h"
#include "TFaderDesk.h"
#include "TForm1.h"
#include "TKnob.h"
#include "TLCDLabel.h"
#include "UiDriver.h"
#include "WindowControls.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

long residentKiB() {
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int failures = 0;
void fail(const char *what) {
    std::printf("FAILED: %s\n", what);
    std::fflush(stdout);
    ++failures;
}

struct Soak {
    TForm1 &form;
    Ui::TForm1 &ui;
    JackRecorder &box;
    JackSender &source;
    std::mt19937 random{12};
    QTemporaryDir dir;
    std::optional<TForm1::FileChoice> answer;
    int actions = 0, sends = 0, stores = 0, opens = 0, midiIn = 0, undoKeys = 0;

    Soak(TForm1 &f, JackRecorder &b, JackSender &s) : form(f), ui(*f.ui), box(b), source(s) {
        form.setFileChooser([this](QFileDialog *) { return answer; });
    }

    int pick(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }

    void clickTab(QWidget *page) {
        QTabBar *bar = ui.PageControl1->tabBar();
        const QRect r = bar->tabRect(ui.PageControl1->indexOf(page));
        QTest::mouseClick(bar, Qt::LeftButton, {}, r.center());
    }
    void type(QSpinBox *box, int low, int high) {
        testui::typeInto(box, QString::number(low + pick(high - low + 1)));
        QTest::keyClick(box, Qt::Key_Tab);
    }
    void choose(QComboBox *list) {
        if (list->count() > 0)
            testui::chooseItem(list, pick(list->count()));
    }

    // Actions that leave the image as it is: safe while a paced send reads from it.
    void viewAction() {
        TFaderDesk *desk = form.faderDesk();
        switch (pick(6)) {
        case 0:
            clickTab(pick(2) ? ui.PotSettings : ui.ButtSettings);
            QTest::keyClick(pick(2) ? ui.PotNumber : ui.ButtNumber,
                            pick(2) ? Qt::Key_PageUp : Qt::Key_PageDown);
            break;
        case 1:
            type(ui.PotNumber, 0, 255);
            break;
        case 2:
            type(ui.ButtNumber, 0, 127);
            break;
        case 3: // turn a knob by keys or by dragging
            if (desk && desk->isVisible()) {
                if (TKnob *knob = desk->knob(pick(16))) {
                    if (pick(2)) {
                        knob->setFocus();
                        const Qt::Key keys[] = {Qt::Key_Up,       Qt::Key_Down, Qt::Key_PageUp,
                                                Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
                        QTest::keyClick(knob, keys[pick(6)]);
                    } else {
                        const QPoint c = knob->rect().center();
                        QTest::mousePress(knob, Qt::LeftButton, {}, c);
                        QTest::mouseMove(knob, c + QPoint(pick(30) - 15, pick(30) - 15));
                        QTest::mouseRelease(knob, Qt::LeftButton, {}, c + QPoint(3, -4));
                    }
                }
            }
            break;
        case 4: // bank buttons and the LCD
            if (desk && desk->isVisible()) {
                const auto buttons = desk->findChildren<QPushButton *>();
                const auto lcds = desk->findChildren<TLCDLabel *>();
                if (pick(2) && !buttons.isEmpty()) {
                    QTest::mouseClick(buttons[pick(static_cast<int>(buttons.size()))],
                                      Qt::LeftButton);
                } else {
                    for (TLCDLabel *lcd : lcds)
                        if (lcd->isVisible()) {
                            QTest::mouseClick(lcd, Qt::LeftButton);
                            break;
                        }
                }
            }
            break;
        default: // motorized knobs on or off (greyed while a learn box is on)
            clickTab(ui.PotSettings);
            if (ui.vMotPots->isEnabled())
                QTest::mouseClick(ui.vMotPots, Qt::LeftButton);
            break;
        }
    }

    // A few undo and redo keys in a row, on the page shown or on a knob of the shown box.
    void undoOrRedo() {
        for (int n = 1 + pick(4); n > 0; --n, ++undoKeys) {
            // Picked anew for each key: a file or a dump undone builds the box's knobs anew, and
            // the knob a key was pressed on may be gone when the key is let go.
            TFaderDesk *desk = form.faderDesk();
            QPointer<QWidget> at = ui.PageControl1->currentWidget();
            if (desk && desk->isVisible() && pick(3) == 0 && desk->knob(0))
                at = desk->knob(pick(16));
            const int kind = pick(4);
            const Qt::Key key = kind == 3 ? Qt::Key_Y : Qt::Key_Z;
            const Qt::KeyboardModifiers modifiers =
                kind == 2 ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier;
            QTest::keyPress(at, key, modifiers);
            if (at)
                QTest::keyRelease(at, key, modifiers);
        }
    }

    void editAction() {
        switch (pick(13)) {
        case 0:
            clickTab(ui.PotSettings);
            type(ui.PotByte0, 0, 255);
            break;
        case 1:
            clickTab(ui.PotSettings);
            type(pick(2) ? ui.PotByte1 : (pick(2) ? ui.PotMin : ui.PotMax), 0, 127);
            break;
        case 2:
            clickTab(ui.PotSettings);
            choose(pick(2) ? ui.PotByte0A : ui.PotPresetName);
            break;
        case 3:
            clickTab(ui.ButtSettings);
            type(ui.ButtByte0, 0, 255);
            break;
        case 4:
            clickTab(ui.ButtSettings);
            type(pick(2) ? ui.ButtByte1 : ui.ButtByte2, 0, 127);
            break;
        case 5:
            clickTab(ui.ButtSettings);
            choose(pick(3) == 0 ? ui.ButtByte0A : (pick(2) ? ui.ButtMode : ui.ButtPresetName));
            break;
        case 6: // a learn box on or off; learning takes what comes in
            clickTab(pick(2) ? ui.PotSettings : ui.ButtSettings);
            QTest::mouseClick(pick(2) ? ui.LearnPot : ui.LearnButt, Qt::LeftButton);
            break;
        case 7:
            storeAndOpen();
            break;
        case 8:
            clickTab(ui.FileSheet);
            QTest::mouseClick(ui.ShowFaderDesk, Qt::LeftButton);
            break;
        case 9:
            clickTab(ui.FileSheet);
            QTest::mouseClick(ui.RequestSysexDump, Qt::LeftButton);
            break;
        case 10:
            undoOrRedo();
            break;
        default:
            viewAction();
            break;
        }
    }

    // Stores the image as a .syx file and as INI text, then opens the .syx file: it must hold
    // the image, framed, byte for byte.
    void storeAndOpen() {
        clickTab(ui.FileSheet);
        const QString syx = dir.filePath(QString("soak%1.syx").arg(stores % 4));
        answer = TForm1::FileChoice{syx, 0};
        QTest::mouseClick(ui.StoreSysex, Qt::LeftButton);
        const auto &image = form.image().bytes();
        QFile file(syx);
        if (!file.open(QIODevice::ReadOnly) ||
            file.readAll() != QByteArray(reinterpret_cast<const char *>(image.data()),
                                         static_cast<int>(image.size())))
            fail("a stored file holds the image");
        file.close();
        answer = TForm1::FileChoice{dir.filePath("soak.INI"), 1};
        QTest::mouseClick(ui.StoreSysex, Qt::LeftButton);
        QFile ini(dir.filePath("soak.INI"));
        if (!ini.open(QIODevice::ReadOnly) || ini.readAll().count("\r\n") != 395)
            fail("an export holds every record");
        ++stores;
        const vkv::image::DumpBytes before = image;
        answer = TForm1::FileChoice{syx, 0};
        QTest::mouseClick(ui.OpenSysex, Qt::LeftButton);
        if (form.image().bytes() != before)
            fail("opening a stored file gives the image back");
        ++opens;
    }

    // What comes in at MIDI IN: short messages (which learn or move knobs), real-time bytes, and
    // now and then a SysEx, some of them whole dumps that replace the image.
    void midiInput(bool shortOnly) {
        ++midiIn;
        const int kind = shortOnly ? pick(2) : pick(4);
        if (kind == 0) {
            const unsigned char status = static_cast<unsigned char>(0x80 + pick(0x70));
            const int length = vkv::midi::shortMessageLength(status);
            Bytes m{status, static_cast<unsigned char>(pick(128)),
                    static_cast<unsigned char>(pick(128))};
            m.resize(static_cast<std::size_t>(length));
            source.send(m);
        } else if (kind == 1) {
            source.send({static_cast<unsigned char>(0xF8 + pick(8))});
        } else {
            const bool dump = kind == 3;
            Bytes m(dump ? vkv::image::DumpSize : 2 + pick(2000));
            for (auto &b : m)
                b = static_cast<unsigned char>(pick(128));
            m.front() = 0xF0;
            m.back() = 0xF7;
            if (dump)
                std::copy(vkv::image::DumpHeader.begin(), vkv::image::DumpHeader.end(), m.begin());
            source.send(m);
        }
    }

    // A paced send at the set speed, with knob turns and short messages going on meanwhile: the
    // receiver must get the image as it was, byte for byte, and then the held knob messages.
    void pacedSend() {
        clickTab(ui.PotSettings);
        for (QCheckBox *learn : {ui.LearnPot, ui.LearnButt})
            if (learn->isChecked()) {
                clickTab(learn == ui.LearnPot ? ui.PotSettings : ui.ButtSettings);
                QTest::mouseClick(learn, Qt::LeftButton);
            }
        testui::settle(300); // nothing under way may reach the receiver after the clear
        box.clear();
        clickTab(ui.FileSheet);
        QTest::mouseClick(ui.SlowSendToKorvane, Qt::LeftButton); // frames the image, then sends
        const vkv::image::DumpBytes expected = form.image().bytes();
        QElapsedTimer took;
        took.start();
        while (form.pacedSend().sending() && took.elapsed() < 20000) {
            viewAction();
            if (pick(3) == 0)
                midiInput(true);
            testui::settle(pick(40));
        }
        const auto events = box.waitUntil(
            [&](const auto &e) {
                return JackRecorder::sysExBytes(e).size() >= vkv::image::DumpSize;
            },
            5000);
        if (JackRecorder::sysExBytes(events) != Bytes(expected.begin(), expected.end())) {
            const Bytes got = JackRecorder::sysExBytes(events);
            std::size_t at = 0;
            while (at < got.size() && at < expected.size() && got[at] == expected[at])
                ++at;
            std::printf("send %d: %zu of %d bytes, the first %zu right; %zu events:", sends,
                        got.size(), vkv::image::DumpSize, at, events.size());
            for (std::size_t i = 0; i < events.size() && i < 8; ++i)
                std::printf(" [%zu bytes, first %02x]", events[i].bytes.size(),
                            events[i].bytes.empty() ? 0 : events[i].bytes[0]);
            std::printf("\n");
            fail("a paced send arrives byte for byte");
        }
        ++sends;
    }
};

} // namespace

// The offscreen platform says on every window shown that it cannot raise it or grab the keyboard.
void quietPlatform(QtMsgType type, const QMessageLogContext &, const QString &text) {
    if (text.startsWith("This plugin does not support"))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
    if (type == QtFatalMsg)
        std::abort();
}

int main(int argc, char **argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    qInstallMessageHandler(&quietPlatform);
    QApplication app(argc, argv);
    JackRecorder box("vkvsoakbox");
    JackSender source("vkvsoaksrc");
    TForm1 form(vkv::backendapi::Backend::Jack);
    form.show();
    Soak soak(form, box, source);
    Ui::TForm1 &ui = *form.ui;

    testui::chooseItem(ui.MIDIOutComboBox,
                       ui.MIDIOutComboBox->findText(QString::fromStdString(box.portName())));
    testui::chooseItem(ui.MIDIInComboBox,
                       ui.MIDIInComboBox->findText(QString::fromStdString(source.portName())));
    if (!ui.SlowSendToKorvane->isEnabled() || !ui.RequestSysexDump->isEnabled()) {
        std::printf("FAILED: the ports did not open\n");
        return 1;
    }
    testui::typeInto(ui.SysexSendSpeed, "1000");
    QTest::keyClick(ui.SysexSendSpeed, Qt::Key_Tab);
    QTest::mouseClick(ui.ShowFaderDesk, Qt::LeftButton);

    std::vector<std::pair<int, long>> samples; // seconds, KiB
    QElapsedTimer clock;
    clock.start();
    qint64 nextSample = 0, nextSend = 5000;
    while (clock.elapsed() < minutes * 60000) {
        if (clock.elapsed() >= nextSample) {
            samples.emplace_back(static_cast<int>(clock.elapsed() / 1000), residentKiB());
            std::printf("rss_at_%ds: %ld KiB\n", samples.back().first, samples.back().second);
            std::fflush(stdout);
            nextSample += 10000;
        }
        if (clock.elapsed() >= nextSend) {
            soak.pacedSend();
            nextSend = clock.elapsed() + 20000;
            continue;
        }
        soak.editAction();
        ++soak.actions;
        if (soak.pick(2) == 0)
            soak.midiInput(false);
        testui::settle(soak.pick(30));
    }
    samples.emplace_back(static_cast<int>(clock.elapsed() / 1000), residentKiB());
    std::printf("rss_at_%ds: %ld KiB\n", samples.back().first, samples.back().second);

    // Growth after the first minute: the last samples against the first one past a minute.
    long afterMinute = -1, last = samples.back().second, peak = 0;
    for (const auto &[at, kib] : samples)
        if (at >= 60) {
            if (afterMinute < 0)
                afterMinute = kib;
            peak = std::max(peak, kib);
        }
    std::printf("actions: %d\npaced_sends: %d\nstores_and_opens: %d\nmidi_inputs: %d\n"
                "undo_and_redo_keys: %d\n",
                soak.actions, soak.sends, soak.opens, soak.midiIn, soak.undoKeys);
    if (afterMinute >= 0) {
        std::printf(
            "rss_growth_after_first_minute: %ld KiB\nrss_peak_after_first_minute: %ld KiB\n",
            last - afterMinute, peak);
        // Allocator slack and Qt's bounded caches move a little; a leak grows without end.
        if (last - afterMinute > 4096)
            fail("no memory growth after the first minute");
    }
    if (soak.sends == 0)
        fail("a paced send ran");
    std::printf(failures ? "soak: FAILED\n" : "soak: passed\n");
    return failures ? 1 : 0;
}
