// The user's settings: what one run leaves for the next, read value by value from whatever the
// file holds, and the main window and the program starting as the user left them.
#include "FileTroubles.h"
#include "LogCapture.h"
#include "MonitorWindow.h"
#include "Settings.h"
#include "TForm1.h"
#include "TTempoTimer.h"
#include "UiDriver.h"
#include "WindowControls.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>

using vkv::app::Settings;
using Dialog = Settings::Dialog;

namespace {

struct Values {
    QString in, out;
    int speed = Settings::DefaultSpeed;
    QString openFolder;
    int openFilter = 0;
    QString storeFolder;
    int storeFilter = 0;
    QRect monitor;
    bool own = true;
    QString library;
    QRect overview;
    bool follow = false;
    QString recallList;
    bool recallOn = false;
    bool operator==(const Values &) const = default;
};

void PrintTo(const Values &v, std::ostream *out) {
    *out << "in \"" << v.in.left(40).toStdString() << "\", out \"" << v.out.left(40).toStdString()
         << "\", speed " << v.speed << ", open \"" << v.openFolder.toStdString() << "\" "
         << v.openFilter << ", store \"" << v.storeFolder.toStdString() << "\" " << v.storeFilter
         << ", monitor " << v.monitor.x() << " " << v.monitor.y() << " " << v.monitor.width() << " "
         << v.monitor.height() << ", own ports " << v.own << ", library \""
         << v.library.toStdString() << "\", overview " << v.overview.x() << " " << v.overview.y()
         << " " << v.overview.width() << " " << v.overview.height() << ", follow " << v.follow
         << ", recall \"" << v.recallList.toStdString() << "\" " << v.recallOn;
}

Values valuesOf(const Settings &s) {
    return {s.inPort(),
            s.outPort(),
            s.speed(),
            s.folder(Dialog::Open),
            s.filter(Dialog::Open),
            s.folder(Dialog::Store),
            s.filter(Dialog::Store),
            s.monitorPlace(),
            s.ownPorts(),
            s.libraryFolder(),
            s.overviewPlace(),
            s.followBox(),
            s.recallList(),
            s.recallOn()};
}

// What the next run reads from the file at `path`. Read from a copy: QSettings keeps what it read
// of a path for the next object on it, which would answer for the disk.
Values nextRun(const QString &path) {
    QTemporaryDir dir;
    const QString copy = dir.filePath("vkvela.conf");
    if (!QFile::copy(path, copy))
        return {};
    return valuesOf(Settings(copy));
}

void writeFile(const QString &path, const QByteArray &bytes) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

} // namespace

TEST(Settings, EachValueOfTheFileIsTakenOnItsOwnAndWhatIsWrongReadsAsTheDefault) {
    QTemporaryDir files;
    const QString dir = files.path(); // a folder that is there, for the files to name
    const QByteArray d = QFile::encodeName(dir);
    const Values defaults;
    const Values all{
        "Box In",     "Box Out",          250,  dir,    1,   dir, 1, {10, 20, 800, 400}, false,
        dir + "/lib", {30, 40, 780, 540}, true, "Tour", true};
    Values outOnly;
    outOnly.out = "Box Out";
    Values goneFolders = outOnly; // looked for only as a dialog opens
    goneFolders.openFolder = dir + "/gone";
    goneFolders.storeFolder = "/nowhere";
    goneFolders.library = "/nowhere/library"; // made again when the library is first used
    const QByteArray good =
        "[midi]\nin=Box In\nout=Box Out\nown=0\n[send]\nspeed=250\n[open]\nfolder=" + d +
        "\nfilter=1\n[store]\nfolder=" + d +
        "\nfilter=1\n[monitor]\nplace=10 20 800 400\n[library]\nfolder=" + d +
        "/lib\n[overview]\nplace=30 40 780 540\nfollow=1\n[recall]\nlist=Tour\non=1\n";
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 131 + i / 256) & 0xFF);
    enum class Form { Text, Unreadable, Folder };
    const struct {
        const char *what;
        QByteArray bytes;
        Values expected;
        Form form = Form::Text;
    } cases[] = {
        {"every value good", good, all},
        {"nothing", "", defaults},
        {"a speed of 99999", "[midi]\nout=Box Out\n[send]\nspeed=99999\n", outOnly},
        {"a speed of 1", "[midi]\nout=Box Out\n[send]\nspeed=1\n", outOnly},
        {"a speed that is no number", "[midi]\nout=Box Out\n[send]\nspeed=fast\n", outOnly},
        {"own ports neither on nor off", "[midi]\nout=Box Out\nown=2\n", outOnly},
        {"a port name of 10,000 characters",
         "[midi]\nin=" + QByteArray(10000, 'a') + "\nout=Box Out\n", outOnly},
        {"a port name with a control character", "[midi]\nin=Box\aIn\nout=Box Out\n", outOnly},
        {"folders that are not there",
         "[midi]\nout=Box Out\n[open]\nfolder=" + d +
             "/gone\n[store]\nfolder=/nowhere\n[library]\nfolder=/nowhere/library\n",
         goneFolders},
        {"a folder named from wherever the program runs",
         "[midi]\nout=Box Out\n[open]\nfolder=.\n[store]\nfolder=..\n[library]\nfolder=lib\n",
         outOnly},
        {"filter entries out of range",
         "[midi]\nout=Box Out\n[open]\nfilter=2\n[store]\nfilter=-1\n", outOnly},
        {"a monitor place too small", "[midi]\nout=Box Out\n[monitor]\nplace=10 20 30 40\n",
         outOnly},
        {"a monitor place with commas", "[midi]\nout=Box Out\n[monitor]\nplace=10,20,800,400\n",
         outOnly},
        {"a monitor place of three numbers", "[midi]\nout=Box Out\n[monitor]\nplace=10 20 800\n",
         outOnly},
        {"recall on for a list no file can be named",
         "[midi]\nout=Box Out\n[recall]\nlist=Tour\aB\non=1\n", outOnly},
        {"recall on for no list", "[midi]\nout=Box Out\n[recall]\non=1\n", outOnly},
        {"binary junk", junk, defaults},
        {"a file nobody may read", good, defaults, Form::Unreadable},
        {"a folder in the file's place", "", defaults, Form::Folder},
    };
    for (const auto &c : cases) {
        QTemporaryDir config;
        const QString path = config.filePath("vkvela/vkvela.conf");
        if (c.form == Form::Folder)
            ASSERT_TRUE(QDir().mkpath(path));
        else
            writeFile(path, c.bytes);
        if (c.form == Form::Unreadable)
            QFile::setPermissions(path, QFileDevice::Permissions());
        const testfiles::NoReadOverride asAnyUser;
        EXPECT_EQ(valuesOf(Settings(path)), c.expected) << c.what;
    }
}

TEST(Settings, EachChangeIsOnDiskAtOnceAndNoneForgetsAPort) {
    QTemporaryDir dir;
    const QString path = dir.filePath("config/vkvela/vkvela.conf"); // made by the first change
    Settings s(path);
    s.setInPort("Box In");
    s.setOutPort("Box Out");
    s.setSpeed(250);
    s.setFolder(Dialog::Open, dir.path());
    s.setFilter(Dialog::Open, 1);
    s.setFolder(Dialog::Store, dir.path());
    s.setFilter(Dialog::Store, 1);
    s.setMonitorPlace({10, 20, 800, 400});
    s.setOwnPorts(false);
    s.setLibraryFolder(dir.filePath("lib"));
    s.setOverviewPlace({30, 40, 780, 540});
    s.setFollowBox(true);
    s.setRecall("Tour", true);
    const Values all{"Box In",
                     "Box Out",
                     250,
                     dir.path(),
                     1,
                     dir.path(),
                     1,
                     {10, 20, 800, 400},
                     false,
                     dir.filePath("lib"),
                     {30, 40, 780, 540},
                     true,
                     "Tour",
                     true};
    EXPECT_EQ(valuesOf(s), all);
    EXPECT_EQ(nextRun(path), all);

    // "None" forgets a port, and so does a name that could not be read back; the rest takes only
    // what it could read back.
    s.setOutPort("");
    s.setInPort(QString(300, 'x'));
    s.setSpeed(5000);
    s.setFolder(Dialog::Open, dir.filePath("gone"));
    s.setFilter(Dialog::Store, 2);
    s.setMonitorPlace({0, 0, 10, 10});
    s.setOverviewPlace({0, 0, 10, 10});
    s.setLibraryFolder("relative/lib");
    s.setRecall("Tour\aB", false);
    Values forgotten = all;
    forgotten.in.clear();
    forgotten.out.clear();
    forgotten.openFolder = dir.filePath("gone"); // it is looked for as the dialog opens
    EXPECT_EQ(valuesOf(s), forgotten);
    EXPECT_EQ(nextRun(path), forgotten);
}

TEST(Settings, AFileWithJunkGivesWhatCouldBeReadAndIsMendedAtTheNextChange) {
    QTemporaryDir dir;
    const QString path = dir.filePath("vkvela.conf");
    writeFile(path, QByteArray("\x01\xFF[midi\n\x00junk=\x02\n", 16) + "[send]\nspeed=250\n");
    LogCapture log("vkv.settings");
    Settings s(path);
    EXPECT_EQ(s.speed(), 250);
    s.setFilter(Dialog::Open, 1);
    Values expected;
    expected.speed = 250;
    expected.openFilter = 1;
    EXPECT_EQ(nextRun(path), expected);
    // Said once, as it was read; the write worked, and the file holds settings alone now.
    ASSERT_EQ(LogCapture::said().size(), 1) << LogCapture::said().join('\n').toStdString();
    EXPECT_TRUE(LogCapture::said()[0].contains("holds what is no setting"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("junk"));
}

TEST(Settings, AWriteThatFailsIsLoggedAndHoldsForTheRun) {
    testfiles::FolderWithoutNewFiles home("other", "other");
    if (!home.ready())
        GTEST_SKIP() << home.reason();
    const QString path = home.filePath("vkvela/vkvela.conf");
    Settings s(path);
    LogCapture log("vkv.settings");
    s.setSpeed(250);
    EXPECT_EQ(s.speed(), 250);
    ASSERT_EQ(LogCapture::said().size(), 1);
    EXPECT_TRUE(LogCapture::said()[0].startsWith("cannot write send/speed to " + path))
        << LogCapture::said()[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(path));
}

// The main window of one run, and of the next, in this process.
TEST(SettingsWindow, StartsWithTheSpeedTheDialogsAndTheMonitorAsTheUserLeftThem) {
    QTemporaryDir dir;
    const QString syx = dir.filePath("opened/a.syx");
    writeFile(syx, QByteArray("\xF0\x00\x00\x7E\x42\x02", 6));
    ASSERT_TRUE(QDir(dir.path()).mkdir("stored"));
    int tempo = 0;
    {
        TForm1 form{vkv::backendapi::Backend::None};
        std::optional<TForm1::FileChoice> answer;
        form.setFileChooser([&answer](QFileDialog *) { return answer; });
        form.show();
        testui::typeInto(form.ui->SysexSendSpeed, "250");
        // Written once it settles, not key by key.
        EXPECT_EQ(Settings().speed(), Settings::DefaultSpeed);
        EXPECT_TRUE(
            testui::waitUntil([] { return Settings().speed() == 250; }, Settings::SettleMs + 1000));
        answer = TForm1::FileChoice{syx, 1};
        QTest::mouseClick(form.ui->OpenSysex, Qt::LeftButton);
        answer = TForm1::FileChoice{dir.filePath("stored/b.INI"), 1};
        QTest::mouseClick(form.ui->StoreSysex, Qt::LeftButton);
        tempo = form.SysexTimer->Tempo();
        QTest::mouseClick(form.ui->ShowMidiMonitor, Qt::LeftButton);
        form.CreateMonitorWindow()->setGeometry(20, 40, 780, 300);
        testui::settle(vkv::monitor::MonitorWindow::PlaceSettleMs + 200);
        EXPECT_TRUE(form.ui->OfferOwnPorts->isChecked());
        QTest::mouseClick(form.ui->OfferOwnPorts, Qt::LeftButton);
    }
    TForm1 next{vkv::backendapi::Backend::None};
    EXPECT_EQ(next.ui->SysexSendSpeed->value(), 250);
    EXPECT_EQ(next.SysexTimer->Tempo(), tempo); // the send goes at that speed too
    EXPECT_EQ(next.SysexOpenDialog()->directory().absolutePath(), dir.filePath("opened"));
    EXPECT_EQ(next.SysexOpenDialog()->selectedNameFilter(), QString("Any File (*)"));
    EXPECT_EQ(next.SysexSaveDialog()->directory().absolutePath(), dir.filePath("stored"));
    EXPECT_EQ(next.SysexSaveDialog()->selectedNameFilter(), QString("dumpgen INI file (*.INI)"));
    EXPECT_EQ(next.CreateMonitorWindow()->geometry(), QRect(20, 40, 780, 300));
    EXPECT_FALSE(next.ui->OfferOwnPorts->isChecked());
    // A folder gone since: the dialog starts in the program's folder.
    ASSERT_TRUE(QDir(dir.filePath("stored")).removeRecursively());
    TForm1 third{vkv::backendapi::Backend::None};
    EXPECT_EQ(QDir(third.SysexSaveDialog()->directory()), QDir(third.programFolder()));
}

// The program itself: a file opened at start moves the open dialog's folder, which is on disk
// while it runs; ending it with SIGTERM keeps that and what the file held before.
TEST(SettingsProgram, AChangeIsOnDiskWhileItRunsAndItsEndKeepsTheRest) {
    QTemporaryDir dir;
    const QString conf = dir.filePath("config/vkvela/vkvela.conf");
    writeFile(conf, "[midi]\nout=Box Out\n[send]\nspeed=250\n");
    const QString syx = dir.filePath("files/a.syx");
    writeFile(syx, QByteArray("\xF0\x00\x00\x7E\x42\x02", 6));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("JACK_DEFAULT_SERVER", "vkvnosuchserver"); // no ports: none are needed
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VKV_PROGRAM), {syx});
    ASSERT_TRUE(program.waitForStarted());
    Values expected;
    expected.out = "Box Out";
    expected.speed = 250;
    expected.openFolder = dir.filePath("files");
    const bool written = testui::waitUntil([&] { return nextRun(conf) == expected; }, 20000);
    EXPECT_EQ(program.state(), QProcess::Running);
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_TRUE(written) << program.readAllStandardError().toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(nextRun(conf), expected);
}
