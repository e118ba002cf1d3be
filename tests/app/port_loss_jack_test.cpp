// What the main window does when the other end goes away for real: a JACK peer process that is
// killed while our port is connected to it, and a JACK server that stops while the program runs.
// The peers run in processes of their own (support/jack_peer.cpp).
#include "ChildProgram.h"
#include "JackKeptClients.h"
#include "JackTools.h"
#include "JackWindow.h"
#include "LogCapture.h"
#include "MonitorWindow.h"
#include "OwnPorts.h"
#include "TFaderDesk.h"
#include "TKnob.h"
#include "TTempoTimer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

QString hex(const Bytes &bytes) {
    QStringList parts;
    for (unsigned char b : bytes)
        parts << QString::asprintf("%02x", b);
    return parts.join(' ');
}

// A dump unlike the default image.
Bytes foreignDump() {
    Bytes dump(vkv::image::DumpSize);
    for (int i = 0; i < vkv::image::DumpSize; ++i)
        dump[i] = static_cast<unsigned char>((i * 5 + 3) & 0x7F);
    std::copy(vkv::image::DumpHeader.begin(), vkv::image::DumpHeader.end(), dump.begin());
    dump.back() = 0xF7;
    return dump;
}

// jack_peer in a process of its own, on the server libjack would use now. A late one registers
// its port `lateMs` before its client is active; it is made once the port is there.
class Peer {
public:
    Peer(const char *role, const QString &client, int lateMs = -1) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList arguments = {role, client};
        if (lateMs >= 0)
            arguments << QString::number(lateMs);
        process.start(QStringLiteral(VKV_JACK_PEER), arguments);
        const char *word = lateMs >= 0 ? "registered\n" : "ready\n";
        ready = testui::waitUntil([&] { return output().contains(word); }, 30000);
        port = client + (QLatin1StringView(role) == "recv" ? ":in" : ":out");
    }
    bool active() { return output().contains("ready\n"); }
    ~Peer() { quit(); }
    // Quits as a crash would: the process is killed, its client vanishes from the server.
    void quit() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.kill();
        process.waitForFinished(5000);
    }
    QString output() {
        text += QString::fromLatin1(process.readAllStandardOutput());
        return text;
    }
    bool received(const Bytes &message) { return output().contains(hex(message) + " \n"); }
    void send(const Bytes &message) {
        process.write((hex(message) + "\n").toLatin1());
        process.waitForBytesWritten(1000);
    }

    bool ready = false;
    QString port;

private:
    QProcess process;
    QString text;
};

const Bytes Request(vkv::image::DumpRequest.begin(), vkv::image::DumpRequest.end());

// Shows that the open ports carry MIDI both ways: a dump request reaches `box`, and a dump from
// `source` replaces the image.
void check(JackWindow &w, Peer &box, Peer &source) {
    ASSERT_TRUE(testui::waitUntil([&] { return w.requestEnabled(); }, 1000))
        << w.ui.StatusLabel->text().toStdString();
    for (int tries = 0; tries < 20 && !box.received(Request); ++tries) {
        QTest::mouseClick(w.ui.RequestSysexDump, Qt::LeftButton);
        testui::waitUntil([&] { return box.received(Request); }, 500);
    }
    EXPECT_TRUE(box.received(Request)) << w.ui.StatusLabel->text().toStdString()
                                       << "; the box heard: " << box.output().toStdString();
    const Bytes dump = foreignDump();
    for (int tries = 0; tries < 20 && w.ui.SysexReceiveCount->text() != "Done !!"; ++tries) {
        source.send(dump);
        testui::waitUntil([&] { return w.ui.SysexReceiveCount->text() == "Done !!"; }, 500);
    }
    EXPECT_EQ(w.ui.SysexReceiveCount->text(), "Done !!");
    EXPECT_EQ(Bytes(w.form.image().bytes().begin(), w.form.image().bytes().end()), dump);
}

// Chooses both ports once they are listed, then checks them.
void chooseAndCheck(JackWindow &w, Peer &box, Peer &source) {
    ASSERT_TRUE(testui::waitUntil(
        [&] { return w.outIndex(box.port) >= 0 && w.inIndex(source.port) >= 0; }, 1000));
    w.chooseOut(w.outIndex(box.port));
    w.chooseIn(w.inIndex(source.port));
    check(w, box, source);
}

// How long a peer's quitting may take to reach the window. Plainly it comes at once; under the
// thread sanitizer the test server runs synchronously and waits a whole second for the killed
// peer's cycle before it lets the peer go. The paced sends cut off by a quit run at 100 bytes a
// second, so they are still under way when it comes.
constexpr int LossNoticedMs = 10000;

// Waits until a paced send's slices are going out, past the header's pause.
bool sendUnderWay(JackWindow &w) {
    return testui::waitUntil(
        [&] { return w.form.pacedSend().bytesLeft() < vkv::image::DumpSize - 20; }, 5000);
}

// What `work` writes on the standard error stream (libjack's words among it).
QString standardErrorOf(const std::function<void()> &work) {
    QTemporaryFile file;
    if (!file.open())
        return "no temporary file";
    std::fflush(stderr);
    const int kept = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    work();
    std::fflush(stderr);
    ::dup2(kept, STDERR_FILENO);
    ::close(kept);
    file.seek(0);
    return QString::fromLocal8Bit(file.readAll());
}

// Once the window watches the system's ports (its watch's own client made and announced), shows
// the virtual box; its first knob, or null when the window watches nothing.
TKnob *watchedWithBoxShown(JackWindow &w) {
    if (!testui::waitUntil([&] { return w.form.portWatch() != nullptr; }))
        return nullptr;
    testui::settle(300);
    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    return w.form.faderDesk()->knob(0);
}

int runScript(const QString &action, const QString &server, const QString &dir) {
    return QProcess::execute(QStringLiteral(VKV_JACK_SERVER_SCRIPT), {action, server, dir});
}

// A server of the test's own, so stopping it never disturbs the other JACK tests, made the one
// libjack connects to while the test runs. Its name is the same at every run from this build:
// JACK keeps a machine-wide table of at most eight server names, and a server that did not end
// cleanly holds its entry until a server of the same name starts again.
struct OwnServer {
    const QString name = QStringLiteral(VKV_TEST_JACK_SERVER "loss");
    const QString state = QCoreApplication::applicationDirPath() + "/jack-loss";
    const QByteArray shared = qgetenv("JACK_DEFAULT_SERVER");
    OwnServer() { qputenv("JACK_DEFAULT_SERVER", name.toLatin1()); }
    ~OwnServer() {
        thaw();
        stop();
        qputenv("JACK_DEFAULT_SERVER", shared);
    }
    bool start() { return runScript("start", name, state) == 0; }
    bool stop() { return runScript("stop", name, state) == 0; }
    // The server hangs (stopped by a signal): it keeps every client's connection and answers none.
    bool freeze() { return tell(SIGSTOP); }
    bool thaw() { return tell(SIGCONT); }

private:
    bool tell(int signal) {
        QFile pidFile(state + "/jackd.pid");
        if (!pidFile.open(QIODevice::ReadOnly))
            return false;
        const pid_t pid = static_cast<pid_t>(pidFile.readAll().trimmed().toLong());
        return pid > 0 && ::kill(pid, signal) == 0;
    }
};

} // namespace

class PortLossJack : public JackWindowTest {};

TEST_F(PortLossJack, PeersThatQuitMidDumpLoseNothingAndTheSamePortsWorkAgain) {
    auto box = std::make_unique<Peer>("recv", "vkvlossbox");
    auto source = std::make_unique<Peer>("send", "vkvlosssrc");
    ASSERT_TRUE(box->ready && source->ready);
    JackWindow w;
    w.chooseOut(w.outIndex(box->port));
    w.chooseIn(w.inIndex(source->port));
    ASSERT_TRUE(w.requestEnabled());
    const vkv::image::DumpBytes before = w.form.image().bytes();

    // The source quits half-way through a dump; the box quits half-way through a paced send.
    Bytes half = foreignDump();
    half.resize(1000);
    source->send(half);
    testui::settle(300);
    source->quit();
    testui::typeInto(w.ui.SysexSendSpeed, "100");
    QTest::mouseClick(w.ui.SlowSendToKorvane, Qt::LeftButton);
    ASSERT_TRUE(sendUnderWay(w));
    box->quit();
    // The send ends where it was, as the box went.
    ASSERT_TRUE(testui::waitUntil([&] { return !w.form.pacedSend().sending(); }, LossNoticedMs));
    EXPECT_GT(w.ui.BytesToSend->text().toInt(), 0);
    testui::settle(500);
    EXPECT_EQ(w.form.image().bytes(), before);

    // Both come back under the same names: open again by themselves, the ports work, and the
    // broken half dump never joins the whole one that follows.
    box = std::make_unique<Peer>("recv", "vkvlossbox");
    source = std::make_unique<Peer>("send", "vkvlosssrc");
    ASSERT_TRUE(box->ready && source->ready);
    check(w, *box, *source);
}

TEST_F(PortLossJack, AServerThatStopsIsReportedAndTheChosenPortsOpenAgainOnceItIsBack) {
    OwnServer server;
    ASSERT_TRUE(server.start());

    auto box = std::make_unique<Peer>("recv", "vkvlossbox2");
    auto source = std::make_unique<Peer>("send", "vkvlosssrc2");
    ASSERT_TRUE(box->ready && source->ready);
    JackWindow w;
    chooseAndCheck(w, *box, *source);
    const vkv::image::DumpBytes image = w.form.image().bytes();

    // The server stops during a paced send: the window says so and ends the send where it was,
    // and the program goes on.
    testui::typeInto(w.ui.SysexSendSpeed, "1000");
    QTest::mouseClick(w.ui.SlowSendToKorvane, Qt::LeftButton);
    testui::settle(600);
    ASSERT_TRUE(server.stop());
    EXPECT_TRUE(testui::waitUntil(
        [&] { return w.ui.StatusLabel->text().contains("lost: JACK stopped!"); }, 10000))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), QColor(255, 0, 0));
    EXPECT_FALSE(w.form.pacedSend().sending());
    EXPECT_FALSE(w.form.MidiOut1->holdingMessages());
    EXPECT_EQ(w.ui.BytesToSend->text().toInt(), w.form.pacedSend().bytesLeft());
    EXPECT_GT(w.form.pacedSend().bytesLeft(), 0);
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentIndex(), w.noneOut());
    EXPECT_EQ(w.ui.MIDIInComboBox->currentIndex(), w.noneIn());
    EXPECT_FALSE(w.sendEnabled());
    EXPECT_FALSE(w.requestEnabled());
    EXPECT_FALSE(w.form.SysexTimer->Enabled());
    testui::settle(500);
    EXPECT_EQ(w.form.image().bytes(), image);
    // Without a server there is nothing to offer.
    EXPECT_EQ(w.ui.MIDIOutComboBox->count(), 1);
    EXPECT_EQ(w.ui.MIDIInComboBox->count(), 1);

    // Once the server and the peers are back, the ports chosen before are open again by
    // themselves.
    box.reset();
    source.reset();
    ASSERT_TRUE(server.start());
    box = std::make_unique<Peer>("recv", "vkvlossbox2");
    source = std::make_unique<Peer>("send", "vkvlosssrc2");
    ASSERT_TRUE(box->ready && source->ready);
    check(w, *box, *source);
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentText(), box->port);
    EXPECT_EQ(w.ui.MIDIInComboBox->currentText(), source->port);
}

TEST_F(PortLossJack, TheCommandLinesSendFailsLoudlyWhenTheServerStopsMidSend) {
    OwnServer server;
    ASSERT_TRUE(server.start());
    Peer box("recv", "vkvlossbox3");
    ASSERT_TRUE(box.ready);
    QTemporaryDir dir;
    const QString syx = dir.filePath("backup.syx");
    QFile file(syx);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const Bytes dump = foreignDump();
    file.write(reinterpret_cast<const char *>(dump.data()), static_cast<qint64>(dump.size()));
    file.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("JACK_DEFAULT_SERVER", server.name);
    QElapsedTimer clock;
    clock.start();
    bool stopped = false;
    const ChildRun sent = runChild(QStringLiteral(VKV_PROGRAM),
                                   {"--send", syx, "--out", "vkvlossbox3", "--speed", "300"},
                                   environment, 30000, [&] {
                                       if (!stopped && clock.elapsed() > 1500)
                                           stopped = server.stop();
                                   });
    EXPECT_TRUE(stopped);
    EXPECT_EQ(sent.code, 1) << sent.err.toStdString();
    const int went = bytesSentBeforeTheLoss(sent.err);
    // Stopped about 1.25 s into a send of 300 bytes a second.
    EXPECT_GT(went, 100) << sent.err.toStdString();
    EXPECT_LT(went, 1000);
    // Well before the 5.4 s the whole send would take.
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(PortLossJack, APortThatComesAndGoesIsFollowedByItsName) {
    JackWindow w;
    TKnob *knob = watchedWithBoxShown(w);
    ASSERT_NE(knob, nullptr);
    const auto turn = [&] {
        knob->setFocus();
        QTest::keyClick(knob, Qt::Key_Up);
    };
    const auto status = [&] { return w.ui.StatusLabel->text(); };

    // A box plugged in while the window shows is offered within a second.
    auto box = std::make_unique<Peer>("recv", "vkvlivebox");
    ASSERT_TRUE(box->ready);
    QElapsedTimer listed;
    listed.start();
    ASSERT_TRUE(testui::waitUntil([&] { return w.outIndex(box->port) >= 0; }, 1000));
    std::printf("a new JACK port was offered %lld ms after its peer said it was ready\n",
                static_cast<long long>(listed.elapsed()));
    w.chooseOut(w.outIndex(box->port));
    ASSERT_EQ(status(), "MIDI OUT Port Selected ...");
    turn();
    EXPECT_TRUE(testui::waitUntil([&] { return box->received({0xB0, 0x00, 0x01}); }, 3000));
    // What reading both lists again costs the GUI thread.
    QElapsedTimer reread;
    reread.start();
    w.form.PortsChanged();
    std::printf("both port lists read again in %.2f ms\n", reread.nsecsElapsed() / 1e6);

    // It goes during a paced send: said in red, the send ends there, and it leaves the list. The
    // monitor's row of the send says it broke off.
    QTest::mouseClick(w.ui.ShowMidiMonitor, Qt::LeftButton);
    const vkv::monitor::MonitorModel &rows = w.form.CreateMonitorWindow()->model();
    testui::typeInto(w.ui.SysexSendSpeed, "100");
    QTest::mouseClick(w.ui.SlowSendToKorvane, Qt::LeftButton);
    ASSERT_TRUE(sendUnderWay(w));
    box->quit();
    EXPECT_TRUE(
        testui::waitUntil([&] { return status().startsWith("MIDI OUT Port lost"); }, LossNoticedMs))
        << status().toStdString();
    EXPECT_EQ(status(), "MIDI OUT Port lost: vkvlivebox:in gone");
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), QColor(255, 0, 0));
    EXPECT_FALSE(w.form.pacedSend().sending());
    EXPECT_GT(w.form.pacedSend().bytesLeft(), 0);
    EXPECT_FALSE(w.form.MidiOut1->Using());
    EXPECT_LT(w.outIndex(box->port), 0);
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentIndex(), w.noneOut());
    EXPECT_FALSE(w.sendEnabled());
    const auto lastWords = [&] {
        return rows.data(rows.index(rows.rowCount() - 1, vkv::monitor::MonitorModel::WordsColumn))
            .toString();
    };
    EXPECT_TRUE(testui::waitUntil([&] { return lastWords().startsWith("Broken SysEx: "); }, 1000))
        << lastWords().toStdString();

    // Back under the same name: open again by itself, and the next turn reaches it.
    box = std::make_unique<Peer>("recv", "vkvlivebox");
    ASSERT_TRUE(box->ready);
    EXPECT_TRUE(testui::waitUntil([&] { return status() == "MIDI OUT Port Selected ..."; }, 1000))
        << status().toStdString();
    EXPECT_EQ(w.ui.MIDIOutComboBox->currentText(), box->port);
    EXPECT_TRUE(w.sendEnabled());
    turn();
    EXPECT_TRUE(testui::waitUntil([&] { return box->received({0xB0, 0x00, 0x02}); }, 3000));
}

TEST_F(PortLossJack, TheOwnPortsOutliveAPeerThatQuitsAndComeBackWithTheServerUnderTheSameNames) {
    OwnServer server;
    ASSERT_TRUE(server.start());
    JackWindow w;
    auto &own = *w.form.findChild<vkv::ports::OwnPorts *>("OwnPorts");
    ASSERT_TRUE(testui::waitUntil([&] { return own.offered(); }, 5000));
    const QString knobs = QString::fromStdString(own.knobsName());
    EXPECT_EQ(knobs, "Virtual Korvane Vela:Knobs");
    QTest::mouseClick(w.ui.ShowFaderDesk, Qt::LeftButton);
    TKnob *knob = w.form.faderDesk()->knob(0);
    int value = 0;
    const auto turn = [&] {
        knob->setFocus();
        QTest::keyClick(knob, Qt::Key_Up);
        return Bytes{0xB0, 0x00, static_cast<unsigned char>(++value)};
    };
    const auto reaches = [&](Peer &daw) {
        if (!jacktools::connect(knobs, daw.port))
            return false;
        const Bytes sent = turn();
        return testui::waitUntil([&] { return daw.received(sent); }, 3000);
    };

    // A DAW that quits while connected: the ports stay, and the next DAW gets the knobs.
    auto daw = std::make_unique<Peer>("recv", "vkvowndaw");
    ASSERT_TRUE(daw->ready);
    ASSERT_TRUE(reaches(*daw));
    daw->quit();
    turn();
    daw = std::make_unique<Peer>("recv", "vkvowndaw2");
    ASSERT_TRUE(daw->ready);
    EXPECT_TRUE(reaches(*daw));

    // The server stops: the ports go with it, and the knobs turn on.
    daw.reset();
    ASSERT_TRUE(server.stop());
    EXPECT_TRUE(testui::waitUntil([&] { return !own.offered(); }, LossNoticedMs));
    turn();
    // It comes back: so do the ports, by themselves and under the same names.
    ASSERT_TRUE(server.start());
    EXPECT_TRUE(testui::waitUntil([&] { return own.offered(); }, 10000));
    EXPECT_EQ(QString::fromStdString(own.knobsName()), knobs);
    EXPECT_EQ(jacktools::portsWithProperties("Virtual Korvane Vela").toStdString(),
              "Virtual Korvane Vela:Knobs\n\tproperties: output,physical,terminal,\n"
              "Virtual Korvane Vela:Motors\n\tproperties: input,physical,terminal,\n");
    daw = std::make_unique<Peer>("recv", "vkvowndaw3");
    ASSERT_TRUE(daw->ready);
    EXPECT_TRUE(reaches(*daw));
}

// JACK lists a port as soon as it is registered, refuses to connect it until its program is
// active, and announces it only then. A program that registers before it activates leaves a gap
// in which the window may find the port by itself, when any other port comes or goes meanwhile.
TEST_F(PortLossJack, APortBackBeforeItsProgramIsActiveIsSelectedOnlyOnceItAnswers) {
    JackWindow w;
    TKnob *knob = watchedWithBoxShown(w);
    ASSERT_NE(knob, nullptr);
    const auto status = [&] { return w.ui.StatusLabel->text(); };
    auto box = std::make_unique<Peer>("recv", "vkvlatebox");
    ASSERT_TRUE(box->ready);
    ASSERT_TRUE(testui::waitUntil([&] { return w.outIndex(box->port) >= 0; }, 1000));
    w.chooseOut(w.outIndex(box->port));
    ASSERT_EQ(status(), "MIDI OUT Port Selected ...");
    box->quit();
    ASSERT_TRUE(testui::waitUntil([&] { return status().startsWith("MIDI OUT Port lost"); },
                                  LossNoticedMs));

    // Back with its port there 3 s before its program is active; meanwhile another program's
    // port comes, and the window finds the box's port: not ready, never selected.
    box = std::make_unique<Peer>("recv", "vkvlatebox", 3000);
    ASSERT_TRUE(box->ready);
    Peer other("send", "vkvotherprogram");
    ASSERT_TRUE(other.ready);
    EXPECT_TRUE(testui::waitUntil([&] { return !status().startsWith("MIDI OUT Port lost"); },
                                  LossNoticedMs));
    EXPECT_EQ(status(), "MIDI OUT Port not ready!");
    EXPECT_FALSE(box->active());
    EXPECT_FALSE(w.sendEnabled());
    // Active: it is opened again, and the next turn reaches it.
    EXPECT_TRUE(testui::waitUntil([&] { return status() == "MIDI OUT Port Selected ..."; }, 10000))
        << status().toStdString();
    EXPECT_TRUE(testui::waitUntil([&] { return box->active(); }, 1000));
    knob->setFocus();
    QTest::keyClick(knob, Qt::Key_Up);
    EXPECT_TRUE(testui::waitUntil([&] { return box->received({0xB0, 0x00, 0x01}); }, 3000));
}

// The program's own ports on a server that hangs (it keeps the connections and answers nothing):
// neither taking them away nor letting go of a client still being made waits for it for more
// than a few seconds, and the log says what was given up. A server that never answers again
// would otherwise hold the program at its end for ever.
TEST_F(PortLossJack, TheOwnPortsGoWithinSecondsFromAServerThatStopsAnswering) {
    OwnServer server;
    ASSERT_TRUE(server.start());
    // Code that waits for the server until it answers is let go after 20 s at most.
    std::atomic<bool> done{false};
    std::thread thawer([&] {
        for (int i = 0; i < 400 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        server.thaw();
    });
    {
        LogCapture log("vkv.midi");
        const auto said = [](const char *what) {
            return LogCapture::said().filter(what).size() == 1;
        };
        auto own = std::make_unique<vkv::ports::OwnPorts>();
        own->offer(vkv::backendapi::Backend::Jack, true);
        ASSERT_TRUE(testui::waitUntil([&] { return own->offered(); }, 5000));
        ASSERT_TRUE(server.freeze());
        QElapsedTimer clock;
        clock.start();
        own.reset();
        EXPECT_LT(clock.elapsed(), 6000);
        EXPECT_TRUE(said("own ports: taking the JACK ports away took longer than 3000 ms"))
            << LogCapture::said().join('\n').toStdString();

        own = std::make_unique<vkv::ports::OwnPorts>();
        own->offer(vkv::backendapi::Backend::Jack, true);
        clock.restart();
        own.reset();
        EXPECT_LT(clock.elapsed(), 6000);
        EXPECT_TRUE(said("own ports: making the client took longer than 3000 ms"))
            << LogCapture::said().join('\n').toStdString();
    }
    done = true;
    thawer.join();
    testui::settle(2000); // what was left to end on its own ends before the server goes
}

// A JACK server that goes away after the program let its own ports go: the client kept until
// the end knows, and is never closed against the server that is gone (libjack then tries to reach
// it, says "Server is not running" and has faulted).
TEST_F(PortLossJack, TheOwnPortsClientIsNeverClosedOnceItsServerWent) {
    OwnServer server;
    ASSERT_TRUE(server.start());
    auto own = std::make_unique<vkv::ports::OwnPorts>();
    own->offer(vkv::backendapi::Backend::Jack, true);
    ASSERT_TRUE(testui::waitUntil([&] { return own->offered(); }, 5000));
    own.reset(); // its client is kept until the end
    ASSERT_TRUE(server.stop());
    testui::settle(500);
    // What closing the kept clients says, as the program's end does.
    const QString said = standardErrorOf([] { vkv::jack::closeKeptPorts(0); });
    EXPECT_FALSE(said.contains("Server is not running")) << said.toStdString();
}
