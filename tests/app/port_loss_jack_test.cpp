// What the main window does when the other end goes away for real: a JACK peer process that is
// killed while our port is connected to it, and a JACK server that stops while the program runs.
// The peers run in processes of their own (support/jack_peer.cpp).
#include "JackWindow.h"
#include "TTempoTimer.h"

#include <QProcess>
#include <QStringList>
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
    // A server of this test's own, so stopping it never disturbs the other JACK tests. Its name
    // is the same at every run from this build: JACK keeps a machine-wide table of at most eight
    // server names, and a server that did not end cleanly holds its entry until a server of the
    // same name starts again.
    const QString server = QStringLiteral(VKV_TEST_JACK_SERVER "loss");
    const QString state = QCoreApplication::applicationDirPath() + "/jack-loss";
    const QByteArray shared = qgetenv("JACK_DEFAULT_SERVER");
    qputenv("JACK_DEFAULT_SERVER", server.toLatin1());
    struct Restore {
        QByteArray env;
        QString server, dir;
        ~Restore() {
            runScript("stop", server, dir);
            qputenv("JACK_DEFAULT_SERVER", env);
        }
    } restore{shared, server, state};
    ASSERT_EQ(runScript("start", server, state), 0);

    auto box = std::make_unique<Peer>("recv", "vkvlossbox2");
    auto source = std::make_unique<Peer>("send", "vkvlosssrc2");
    ASSERT_TRUE(box->ready && source->ready);
    JackWindow w;
    chooseAndCheck(w, *box, *source);
    const vkv::image::DumpBytes image = w.form.image().bytes();

    // The server stops during a paced send: the window says so and stops the send, and the
    // program goes on.
    testui::typeInto(w.ui.SysexSendSpeed, "1000");
    QTest::mouseClick(w.ui.SlowSendToKorvane, Qt::LeftButton);
    testui::settle(600);
    ASSERT_EQ(runScript("stop", server, state), 0);
    EXPECT_TRUE(testui::waitUntil(
        [&] { return w.ui.StatusLabel->text().contains("lost: JACK stopped!"); }, 10000))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_EQ(testui::textColour(w.ui.StatusLabel), QColor(255, 0, 0));
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
    ASSERT_EQ(runScript("start", server, state), 0);
    box = std::make_unique<Peer>("recv", "vkvlossbox2");
    source = std::make_unique<Peer>("send", "vkvlosssrc2");
    ASSERT_TRUE(box->ready && source->ready);
    chooseAndCheck(w, *box, *source);
}
