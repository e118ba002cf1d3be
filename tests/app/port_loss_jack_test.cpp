// What the main window does when the other end goes away for real: a JACK peer process that is
// killed while our port is connected to it, and a JACK server that stops while the program runs.
// The peers run in processes of their own (support/jack_peer.cpp).
#include "ChildProgram.h"
#include "JackWindow.h"
#include "TTempoTimer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
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

// jack_peer in a process of its own, on the server libjack would use now.
class Peer {
public:
    Peer(const char *role, const QString &client) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(VKV_JACK_PEER), {role, client});
        ready = testui::waitUntil([this] { return output().contains("ready\n"); }, 30000);
        port = client + (QLatin1StringView(role) == "recv" ? ":in" : ":out");
    }
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

// Chooses both ports, then shows they carry MIDI both ways: a dump request reaches `box`, and a
// dump from `source` replaces the image.
void chooseAndCheck(JackWindow &w, Peer &box, Peer &source) {
    w.chooseOut(w.outIndex(box.port));
    w.chooseIn(w.inIndex(source.port));
    ASSERT_TRUE(w.requestEnabled()) << w.ui.StatusLabel->text().toStdString();
    for (int tries = 0; tries < 20 && !box.received(Request); ++tries) {
        QTest::mouseClick(w.ui.RequestSysexDump, Qt::LeftButton);
        testui::waitUntil([&] { return box.received(Request); }, 500);
    }
    EXPECT_TRUE(box.received(Request));
    const Bytes dump = foreignDump();
    for (int tries = 0; tries < 20 && w.ui.SysexReceiveCount->text() != "Done !!"; ++tries) {
        source.send(dump);
        testui::waitUntil([&] { return w.ui.SysexReceiveCount->text() == "Done !!"; }, 500);
    }
    EXPECT_EQ(w.ui.SysexReceiveCount->text(), "Done !!");
    EXPECT_EQ(Bytes(w.form.image().bytes().begin(), w.form.image().bytes().end()), dump);
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
        stop();
        qputenv("JACK_DEFAULT_SERVER", shared);
    }
    bool start() { return runScript("start", name, state) == 0; }
    bool stop() { return runScript("stop", name, state) == 0; }
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
    testui::typeInto(w.ui.SysexSendSpeed, "1000");
    QTest::mouseClick(w.ui.SlowSendToKorvane, Qt::LeftButton);
    testui::settle(800);
    box->quit();
    ASSERT_TRUE(testui::waitUntil([&] { return !w.form.pacedSend().sending(); }, 10000));
    EXPECT_EQ(w.ui.BytesToSend->text(), "0");
    testui::settle(500);
    EXPECT_EQ(w.form.image().bytes(), before);

    // Both come back under the same names: chosen again, the ports work, and the broken half
    // dump never joins the whole one that follows.
    box = std::make_unique<Peer>("recv", "vkvlossbox");
    source = std::make_unique<Peer>("send", "vkvlosssrc");
    ASSERT_TRUE(box->ready && source->ready);
    chooseAndCheck(w, *box, *source);
}

TEST_F(PortLossJack, AServerThatStopsIsReportedAndAPortChosenAgainWorksOnceItIsBack) {
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

    // Chosen again while there is no server: refused, and said so.
    w.chooseOut(w.outIndex(box->port));
    EXPECT_EQ(w.ui.StatusLabel->text(), "MIDI OUT Port not ready!");

    // Once the server and the peers are back, choosing the ports again is all it takes.
    box.reset();
    source.reset();
    ASSERT_TRUE(server.start());
    box = std::make_unique<Peer>("recv", "vkvlossbox2");
    source = std::make_unique<Peer>("send", "vkvlosssrc2");
    ASSERT_TRUE(box->ready && source->ready);
    chooseAndCheck(w, *box, *source);
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
