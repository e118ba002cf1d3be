// The library's window through the real main window: a requested dump lands in History over the
// tests' JACK server, a named configuration goes to a stand-in box byte for byte and is verified,
// and Open in Editor is one step that Ctrl+Z takes back.
#include "JackRecorder.h"
#include "JackWindow.h"
#include "Library.h"
#include "LibraryWindow.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Events = std::vector<JackRecorder::Event>;
using vkv::librarywindow::LibraryWindow;

const Bytes Request(vkv::image::DumpRequest.begin(), vkv::image::DumpRequest.end());

class LibraryJack : public JackWindowTest {};

// "Library ..." on the File page, and the window it shows.
LibraryWindow *showLibrary(TForm1 &form) {
    auto *button = form.findChild<QPushButton *>("ShowLibrary");
    EXPECT_NE(button, nullptr);
    EXPECT_EQ(button->geometry(), QRect(208, 268, 89, 25));
    EXPECT_EQ(button->text(), "Library ...");
    QTest::mouseClick(button, Qt::LeftButton);
    auto *window = form.findChild<LibraryWindow *>();
    EXPECT_TRUE(window && window->isVisible());
    return window;
}

QTableView *view(LibraryWindow *window, const char *name) {
    return window->findChild<QTableView *>(name);
}

// The text of a cell of a view's row `row`.
QString cell(QTableView *table, int row, int column) {
    return table->model()->index(row, column).data().toString();
}

// Clicks the row of the view whose first cell is `text`, as the user would.
bool clickRow(QTableView *table, const QString &text) {
    for (int row = 0; row < table->model()->rowCount(); ++row) {
        const QModelIndex index = table->model()->index(row, 0);
        if (index.data().toString() != text)
            continue;
        table->scrollTo(index);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(index).center());
        return true;
    }
    return false;
}

void click(LibraryWindow *window, const char *button) {
    QTest::mouseClick(window->findChild<QPushButton *>(button), Qt::LeftButton);
}

vkv::image::DumpBytes otherThanDefaults() {
    vkv::image::ConfigImage image;
    vkv::image::loadDefaultImage(image);
    for (int pot = 0; pot < 16; ++pot)
        image.setPot(pot, vkv::image::PotByte1, 100 + pot);
    return image.bytes();
}

// "Request Sysex Dump", and the box's answer with `dump` once the request reached it; false when
// it never did.
bool requestAndAnswer(JackWindow &w, JackRecorder &box, JackSender &boxOut,
                      const vkv::image::DumpBytes &dump) {
    QTest::mouseClick(w.ui.RequestSysexDump, Qt::LeftButton);
    const bool asked = testui::waitUntil([&] {
        const Events got = box.recorded();
        return std::any_of(got.begin(), got.end(),
                           [](const auto &e) { return e.bytes == Request; });
    });
    if (asked)
        boxOut.send(Bytes(dump.begin(), dump.end()));
    return asked;
}

} // namespace

TEST_F(LibraryJack, ARequestedDumpLandsInHistory) {
    JackRecorder box("vkvlibbox");
    JackSender boxOut("vkvlibboxsrc");
    JackWindow w;
    w.chooseOut(w.outIndex(QString::fromStdString(box.portName())));
    w.chooseIn(w.inIndex(QString::fromStdString(boxOut.portName())));
    LibraryWindow *library = showLibrary(w.form);
    ASSERT_NE(library, nullptr);
    QTableView *history = view(library, "LibraryHistory");
    ASSERT_EQ(history->model()->rowCount(), 0);

    const auto dump = otherThanDefaults();
    ASSERT_TRUE(requestAndAnswer(w, box, boxOut, dump));
    ASSERT_TRUE(testui::waitUntil([&] { return history->model()->rowCount() == 1; }));
    EXPECT_EQ(w.ui.SysexReceiveCount->text(), "Done !!");
    EXPECT_EQ(cell(history, 0, 1), "received from " + QString::fromStdString(boxOut.portName()));
    EXPECT_EQ(cell(history, 0, 2), "captured, unnamed");
    // Its content is the dump, kept once in the folder, and can be kept under a name.
    const auto events = library->library().history();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(library->library().content(events[0].key), dump);
}

TEST_F(LibraryJack, ADumpTheLibraryCannotRecordIsTakenAllTheSameAndTheStatusLineSaysSo) {
    // The library's folder cannot be made: a file stands where its parent would be.
    QTemporaryDir dir;
    QFile blocker(dir.filePath("data"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
    JackRecorder box("vkvlibfail");
    JackSender boxOut("vkvlibfailsrc");
    JackWindow w;
    w.chooseOut(w.outIndex(QString::fromStdString(box.portName())));
    w.chooseIn(w.inIndex(QString::fromStdString(boxOut.portName())));
    const auto dump = otherThanDefaults();
    ASSERT_TRUE(requestAndAnswer(w, box, boxOut, dump));
    const QString said = "The library could not record the dump received from " +
                         QString::fromStdString(boxOut.portName()) + ": The library folder ";
    ASSERT_TRUE(testui::waitUntil([&] { return w.ui.StatusLabel->text().contains(said); }))
        << w.ui.StatusLabel->text().toStdString();
    // After what the port choice said, which stays.
    EXPECT_TRUE(w.ui.StatusLabel->text().startsWith("MIDI IN Port Selected ...\n"))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_EQ(w.ui.SysexReceiveCount->text(), "Done !!");
    EXPECT_EQ(w.form.image().bytes(), dump);
}

TEST_F(LibraryJack, ANamedConfigurationSentToTheBoxArrivesByteForByteAndIsVerified) {
    JackRecorder box("vkvlibsend");
    JackSender boxOut("vkvlibsendsrc");
    JackWindow w;
    w.chooseOut(w.outIndex(QString::fromStdString(box.portName())));
    w.chooseIn(w.inIndex(QString::fromStdString(boxOut.portName())));
    QTest::mouseClick(w.ui.VerifyAfterSend, Qt::LeftButton);
    testui::typeInto(w.ui.SysexSendSpeed, "1000");
    LibraryWindow *library = showLibrary(w.form);
    ASSERT_NE(library, nullptr);
    const auto gig = otherThanDefaults();
    ASSERT_TRUE(library->library().add(gig, "Gig"));
    library->reload();
    const auto editor = w.form.image().bytes();

    QTableView *configurations = view(library, "LibraryConfigurations");
    ASSERT_TRUE(clickRow(configurations, "Gig"));
    click(library, "LibrarySend");
    // The box answers the verify's request with what it took.
    Bytes taken;
    ASSERT_TRUE(testui::waitUntil(
        [&] {
            const Events got = box.recorded();
            const bool asked = std::any_of(got.begin(), got.end(),
                                           [](const auto &e) { return e.bytes == Request; });
            if (asked && taken.empty()) {
                Events dump = got;
                std::erase_if(dump, [](const auto &e) { return e.bytes == Request; });
                taken = JackRecorder::sysExBytes(dump);
                boxOut.send(taken);
            }
            return w.ui.StatusLabel->text() == "Verified: the box holds what was sent";
        },
        15000))
        << w.ui.StatusLabel->text().toStdString();
    EXPECT_EQ(taken, Bytes(gig.begin(), gig.end()));
    EXPECT_EQ(w.form.image().bytes(), editor); // the editor kept its own
    QTableView *history = view(library, "LibraryHistory");
    ASSERT_TRUE(testui::waitUntil([&] {
        return history->model()->rowCount() == 2 && cell(history, 1, 1).endsWith(", verified");
    }));
    EXPECT_EQ(cell(history, 1, 1),
              "sent to " + QString::fromStdString(box.portName()) + ", verified");
    EXPECT_EQ(cell(history, 1, 2), "Gig");
    EXPECT_EQ(cell(history, 0, 1), "received from " + QString::fromStdString(boxOut.portName()));

    // What the box held a minute from now: "Gig", sent to it.
    const QString soon = QDateTime::currentDateTime().addSecs(60).toString("yyyy-MM-dd HH:mm");
    library->setAsk([&](const QString &, const QString &, const QString &, bool) {
        return std::optional<QString>(soon);
    });
    click(library, "LibraryHeldAt");
    const QString status = library->findChild<QLabel *>("LibraryStatus")->text();
    EXPECT_TRUE(
        status.contains(QString::fromStdString(box.portName()) + ": \u201cGig\u201d (sent "))
        << status.toStdString();
}

TEST(LibraryWindow, OpenIsOneStepThatCtrlZTakesBackAndADeleteComesBackWithCtrlZ) {
    TForm1 form{vkv::midi::Backend::None};
    form.show();
    const QString caption = form.windowTitle();
    const auto editor = form.image().bytes();
    // Ctrl+L shows the library as "Library ..." does.
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_L, Qt::ControlModifier);
    auto *library = form.findChild<LibraryWindow *>();
    ASSERT_TRUE(library && library->isVisible());
    const auto gig = otherThanDefaults();
    ASSERT_TRUE(library->library().add(gig, "Gig"));
    library->reload();
    QTableView *configurations = view(library, "LibraryConfigurations");

    ASSERT_TRUE(clickRow(configurations, "Gig"));
    click(library, "LibraryOpen");
    EXPECT_EQ(form.image().bytes(), gig);
    EXPECT_EQ(form.windowTitle(), "Virtual Korvane Vela : Gig");
    EXPECT_EQ(form.ui->PotByte1->value(), form.image().pot(form.ui->PotNumber->value(), 1));
    form.activateWindow();
    QTest::keyClick(form.ui->OpenSysex, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form.image().bytes(), editor);
    EXPECT_EQ(form.windowTitle(), caption);

    // Delete puts the file in the trash; Ctrl+Z in the library's window brings it back.
    const QString file = library->library().path("Gig.syx");
    ASSERT_TRUE(clickRow(configurations, "Gig"));
    click(library, "LibraryDelete");
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(configurations->model()->rowCount(), 0);
    library->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(library));
    QTest::keyClick(configurations, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(QFileInfo::exists(file));
    ASSERT_EQ(configurations->model()->rowCount(), 1);
    EXPECT_EQ(cell(configurations, 0, 0), "Gig");
}
