// "Open Sysex File" and "Store Sysex File" through the main window, with the file dialogs answered
// by the test through the window's file-chooser seam, on real files.
#include "ConfigImage.h"
#include "FileTroubles.h"
#include "TFaderDesk.h"
#include "TForm1.h"
#include "TKnob.h"
#include "UiDriver.h"
#include "WindowControls.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>

namespace {

using Bytes = QByteArray;

// The main window with no MIDI service, whose file dialogs take the answers given here.
struct FilesWindow {
    TForm1 form{vkv::backendapi::Backend::None};
    Ui::TForm1 &ui = *form.ui;
    QTemporaryDir dir;
    std::optional<TForm1::FileChoice> answer; // nothing: the dialog is cancelled
    QFileDialog *shown = nullptr;

    FilesWindow() {
        form.setFileChooser([this](QFileDialog *dialog) {
            shown = dialog;
            return answer;
        });
        form.show();
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    void open(const QString &file, int filter = 0) {
        answer = TForm1::FileChoice{file, filter};
        QTest::mouseClick(ui.OpenSysex, Qt::LeftButton);
    }
    void store(const QString &file, int filter = 0) {
        answer = TForm1::FileChoice{file, filter};
        QTest::mouseClick(ui.StoreSysex, Qt::LeftButton);
    }
    Bytes image() const {
        const auto &b = const_cast<TForm1 &>(form).image().bytes();
        return Bytes(reinterpret_cast<const char *>(b.data()), vkv::image::DumpSize);
    }
};

Bytes readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : Bytes();
}

void writeAll(const QString &path, const Bytes &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

Bytes defaultImage() {
    vkv::image::ConfigImage image;
    EXPECT_TRUE(vkv::image::loadDefaultImage(image));
    return Bytes(reinterpret_cast<const char *>(image.raw()), vkv::image::DumpSize);
}

} // namespace

TEST(Files, TheDialogsAreSetUpAsTheUserExpectsThem) {
    FilesWindow w;
    w.answer.reset();
    QTest::mouseClick(w.ui.OpenSysex, Qt::LeftButton);
    ASSERT_EQ(w.shown, w.form.SysexOpenDialog());
    EXPECT_EQ(w.shown->windowTitle(), "Open Sysex File");
    EXPECT_EQ(w.shown->defaultSuffix(), "syx");
    EXPECT_EQ(w.shown->nameFilters(),
              QStringList({"KORVANE Vela sysex file (*.syx)", "Any File (*)"}));
    EXPECT_EQ(w.shown->directory().absolutePath(),
              QDir(QCoreApplication::applicationDirPath()).absolutePath());
    QTest::mouseClick(w.ui.StoreSysex, Qt::LeftButton);
    ASSERT_EQ(w.shown, w.form.SysexSaveDialog());
    EXPECT_EQ(w.shown->windowTitle(), "Save Sysex File To ...");
    EXPECT_EQ(w.shown->defaultSuffix(), "syx");
    EXPECT_EQ(w.shown->nameFilters(),
              QStringList({"KORVANE Vela sysex file (*.syx)", "dumpgen INI file (*.INI)"}));
    EXPECT_TRUE(w.shown->testOption(QFileDialog::DontConfirmOverwrite));

    // The open dialog follows the last file opened; each dialog keeps the filter last chosen.
    QDir(w.dir.path()).mkdir("kept");
    const QString file = w.dir.filePath("kept/a.syx");
    writeAll(file, defaultImage());
    w.open(file, 1);
    EXPECT_EQ(w.form.SysexOpenDialog()->directory().absolutePath(), w.dir.filePath("kept"));
    EXPECT_EQ(w.form.SysexOpenDialog()->selectedNameFilter(), "Any File (*)");
    w.store(w.path("b.INI"), 1);
    EXPECT_EQ(w.form.SysexSaveDialog()->selectedNameFilter(), "dumpgen INI file (*.INI)");
}

TEST(Files, StoreAndOpenRoundTripAndFrameTheImage) {
    FilesWindow w;
    const QString stored = w.path("custom.syx");
    w.store(stored);
    EXPECT_EQ(readAll(stored), defaultImage()); // 1543 bytes, framed, byte for byte

    // Open what was stored: nothing changes but the caption; the box is rebuilt, hidden.
    w.ui.PotNumber->setValue(37);
    w.ui.ButtNumber->setValue(5);
    w.open(stored);
    EXPECT_EQ(w.image(), defaultImage());
    EXPECT_EQ(w.form.windowTitle(), "Virtual Korvane Vela : custom.syx");
    ASSERT_NE(w.form.faderDesk(), nullptr);
    EXPECT_FALSE(w.form.faderDesk()->isVisible());
    EXPECT_NE(w.form.faderDesk()->knob(15), nullptr);
    EXPECT_EQ(w.ui.PotNumber->value(), 37);
    EXPECT_EQ(w.ui.ButtNumber->value(), 5);

    // Another device identifier is taken as it is, and framed again on the way out, also when
    // the store is then cancelled.
    Bytes foreign = defaultImage();
    foreign[4] = 0x43;
    foreign[vkv::image::potOffset(37, vkv::image::PotMax)] = 0x50;
    writeAll(w.path("foreign.syx"), foreign);
    w.open(w.path("foreign.syx"));
    EXPECT_EQ(w.image()[4], 0x43);
    EXPECT_EQ(w.ui.PotMax->value(), 0x50); // the same pot number shows the new record
    w.answer.reset();
    QTest::mouseClick(w.ui.StoreSysex, Qt::LeftButton);
    EXPECT_EQ(w.image()[4], 0x42);
    w.store(w.path("again.syx"));
    Bytes expected = foreign;
    expected[4] = 0x42;
    EXPECT_EQ(readAll(w.path("again.syx")), expected);
}

TEST(Files, ShortAndLongFilesAndTheFormTheFilterChooses) {
    FilesWindow w;
    // Ten bytes replace bytes 0..9 only.
    writeAll(w.path("ten.syx"), Bytes(10, '\x15'));
    w.open(w.path("ten.syx"));
    Bytes expected = defaultImage();
    expected.replace(0, 10, Bytes(10, '\x15'));
    EXPECT_EQ(w.image(), expected);

    // A longer file gives its first 1543 bytes.
    Bytes longer(5000, '\x00');
    for (int i = 0; i < longer.size(); ++i)
        longer[i] = static_cast<char>(i % 113);
    writeAll(w.path("long.syx"), longer);
    w.open(w.path("long.syx"));
    EXPECT_EQ(w.image(), longer.left(vkv::image::DumpSize));

    // The INI entry writes text, whatever the name's extension; the .syx entry the dump.
    w.store(w.path("named.syx"), 1);
    const Bytes text = readAll(w.path("named.syx"));
    EXPECT_TRUE(text.startsWith(
        "# Export from vkorvaneQ2X : " + w.ui.TestReleaseLabel->text().toLatin1() + "\r\n"));
    EXPECT_EQ(text.count("\r\n"), 395);
    w.store(w.path("named.INI"), 0);
    EXPECT_EQ(readAll(w.path("named.INI")).size(), vkv::image::DumpSize);

    // An export leaves the pages where they were.
    w.ui.PotNumber->setValue(16);
    w.ui.ButtNumber->setValue(8);
    w.store(w.path("pages.INI"), 1);
    EXPECT_EQ(w.ui.PotNumber->value(), 16);
    EXPECT_EQ(w.ui.ButtNumber->value(), 8);
}

TEST(Files, AFileThatCannotBeReadChangesNothingAndSaysSo) {
    FilesWindow w;
    w.open(w.path("untouched.syx")); // missing: nothing happens, no message
    writeAll(w.path("empty.syx"), {});
    const QString caption = w.form.windowTitle();
    w.ui.PotNumber->setValue(3);
    w.ui.PotMax->setValue(99);
    const Bytes before = w.image();
    const QString fifo = w.path("pipe.syx");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    testfiles::NoReadOverride asAnyUser; // root too is held to the file's mode
    for (const QString &bad : {w.path("empty.syx"), w.dir.path(), fifo, QString("/proc/self/mem"),
                               testfiles::unreadableFile(w.dir, "locked.syx")}) {
        QString title, text;
        const bool shown = testui::whileModal([&] { w.open(bad); },
                                              [&](QWidget *modal) {
                                                  auto *box = qobject_cast<QMessageBox *>(modal);
                                                  ASSERT_NE(box, nullptr);
                                                  title = box->windowTitle();
                                                  text = box->text();
                                                  box->reject();
                                              });
        EXPECT_TRUE(shown) << bad.toStdString();
        EXPECT_EQ(title, "File Error");
        EXPECT_EQ(text, "Can't perform Sysex File Read...");
        EXPECT_EQ(w.image(), before) << bad.toStdString();
        EXPECT_EQ(w.form.windowTitle(), caption);
        EXPECT_EQ(w.ui.PotMax->value(), 99);
    }
}

TEST(Files, AFailedStoreKeepsTheFileAndSaysSo) {
    FilesWindow w;
    const QString existing = w.path("mine.syx");
    writeAll(existing, "yesterday's configuration");
    // Where nothing may be written, and on a disk that fills up half-way, both forms fail alike:
    // an error box, the text on stderr, and the file there before is kept as it was.
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the test
    for (const auto &[target, filter] : {std::pair{QString("/proc/self/mine.syx"), 0},
                                         {QString("/proc/self/mine.INI"), 1},
                                         {existing, 0},
                                         {existing, 1}}) {
        rlimit full = unlimited;
        full.rlim_cur = target == existing ? 1000 : unlimited.rlim_cur; // less than either form
        setrlimit(RLIMIT_FSIZE, &full);
        QString text;
        testing::internal::CaptureStderr();
        const bool shown = testui::whileModal([&] { w.store(target, filter); },
                                              [&](QWidget *modal) {
                                                  text = static_cast<QMessageBox *>(modal)->text();
                                                  modal->close();
                                              });
        const std::string err = testing::internal::GetCapturedStderr();
        setrlimit(RLIMIT_FSIZE, &unlimited);
        EXPECT_TRUE(shown);
        EXPECT_TRUE(text.startsWith("Cannot open output file.")) << text.toStdString();
        EXPECT_NE(err.find("Cannot open output file.\n"), std::string::npos);
    }
    EXPECT_EQ(readAll(existing), "yesterday's configuration");
}

TEST(Files, AStoreOntoAFullDiskKeepsTheFileAndTheImage) {
    const Bytes before("yesterday's configuration");
    testfiles::SmallFullDisk disk({{"mine.syx", before}});
    if (!disk.ready())
        GTEST_SKIP() << disk.reason();
    FilesWindow w;
    const Bytes image = w.image();
    for (int filter : {0, 1}) {
        QString text;
        const bool shown = testui::whileModal([&] { w.store(disk.filePath("mine.syx"), filter); },
                                              [&](QWidget *modal) {
                                                  text = static_cast<QMessageBox *>(modal)->text();
                                                  modal->close();
                                              });
        EXPECT_TRUE(shown) << filter;
        EXPECT_TRUE(text.contains("Nothing was written")) << text.toStdString();
    }
    EXPECT_EQ(readAll(disk.filePath("mine.syx")), before);
    EXPECT_EQ(disk.files(), QStringList({"filler", "mine.syx"}));
    EXPECT_EQ(w.image(), image);
}
