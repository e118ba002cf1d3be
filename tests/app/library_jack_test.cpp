// The library's window through the real main window: a requested dump lands in History over the
// tests' JACK server, a named configuration goes to a stand-in box byte for byte and is verified,
// Open in Editor is one step that Ctrl+Z takes back, and Export as MIDI file writes the paced send
// at the speed set.
#include "JackRecorder.h"
#include "JackWindow.h"
#include "Library.h"
#include "LibraryWindow.h"
#include "MidiFile.h"
#include "MidiFileEvents.h"
#include "PacedSchedule.h"
#include "TestFiles.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Events = std::vector<JackRecorder::Event>;
using vkv::library::Library;
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

QString status(LibraryWindow *window) {
    return window->findChild<QLabel *>("LibraryStatus")->text();
}

// The row of the view whose first cell begins with `text`, clicked; false when there is none.
bool clickRowStarting(QTableView *table, const QString &text) {
    for (int row = 0; row < table->model()->rowCount(); ++row)
        if (cell(table, row, 0).startsWith(text))
            return clickRow(table, cell(table, row, 0));
    return false;
}

// Ctrl+Z in the library's window, as the user presses it.
void undo(LibraryWindow *window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->findChild<QTableView *>("LibraryConfigurations"), Qt::Key_Z,
                    Qt::ControlModifier);
}

// The defaults with pot 1.1 sending controller `n`.
vkv::image::DumpBytes numbered(int n) {
    vkv::image::ConfigImage image;
    vkv::image::loadDefaultImage(image);
    image.setPot(0, vkv::image::PotByte1, n);
    return image.bytes();
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

    // What the box held a minute from now: "Gig", sent to it, named once for both its ports.
    const QString soon = QDateTime::currentDateTime().addSecs(60).toString("yyyy-MM-dd HH:mm");
    library->setAsk([&](const QString &, const QString &, const QString &, bool) {
        return std::optional<QString>(soon);
    });
    click(library, "LibraryHeldAt");
    const QString status = library->findChild<QLabel *>("LibraryStatus")->text();
    EXPECT_EQ(status, "At " + soon + ": " + QString::fromStdString(box.portName()) + ", " +
                          QString::fromStdString(boxOut.portName()) +
                          ": \u201cGig\u201d (received " + cell(history, 0, 0).left(16) + ")");

    // Gig again, slowly, and the MIDI OUT port changed half-way: the box holds a broken
    // configuration, and what was being sent is named.
    testui::typeInto(w.ui.SysexSendSpeed, "50");
    click(library, "LibrarySend");
    ASSERT_TRUE(testui::waitUntil([&] { return w.ui.BytesToSend->text().toInt() < 1500; }, 5000));
    w.chooseOut(0);
    ASSERT_TRUE(testui::waitUntil([&] { return history->model()->rowCount() == 3; }));
    click(library, "LibraryHeldAt");
    EXPECT_TRUE(library->findChild<QLabel *>("LibraryStatus")
                    ->text()
                    .endsWith("(what was sent: \u201cGig\u201d, not verified)"))
        << library->findChild<QLabel *>("LibraryStatus")->text().toStdString();
}

TEST(LibraryWindow, OpenIsOneStepThatCtrlZTakesBackAndADeleteComesBackWithCtrlZ) {
    TForm1 form{vkv::backendapi::Backend::None};
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

TEST(LibraryWindow, SortingKeepsTheSelectionOnItsConfiguration) {
    TForm1 form{vkv::backendapi::Backend::None};
    form.show();
    LibraryWindow *library = showLibrary(form);
    ASSERT_NE(library, nullptr);
    auto &lib = library->library();
    ASSERT_TRUE(lib.add(numbered(1), "Alpha"));
    ASSERT_TRUE(lib.setFavourite(*lib.named("Alpha"), true));
    ASSERT_TRUE(lib.add(numbered(2), "Beta"));
    library->reload();
    QTableView *configurations = view(library, "LibraryConfigurations");
    ASSERT_TRUE(clickRow(configurations, "Beta"));
    QHeaderView *header = configurations->horizontalHeader();
    const int favourite = 3;
    ASSERT_EQ(configurations->model()->headerData(favourite, Qt::Horizontal), "Favourite");
    for (int clicks = 0; clicks < 2; ++clicks)
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(favourite) + header->sectionSize(favourite) / 2,
                   header->height() / 2));
    ASSERT_EQ(cell(configurations, 0, 0), "Beta"); // it moved
    std::vector<std::pair<QString, vkv::image::DumpBytes>> sent;
    QObject::connect(library, &LibraryWindow::sendToBox,
                     [&](const vkv::image::DumpBytes &dump, const QString &name) {
                         sent.emplace_back(name, dump);
                     });
    click(library, "LibrarySend");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].first, "Beta");
    EXPECT_EQ(sent[0].second, numbered(2));
}

TEST(LibraryWindow, ExportAsMidiFileWritesTheConfigurationPacedAtTheSpeedSet) {
    QTemporaryDir dir;
    TForm1 form{vkv::backendapi::Backend::None};
    form.show();
    testui::typeInto(form.ui->SysexSendSpeed, "250");
    QString offered, chosen;
    form.setFileChooser([&](QFileDialog *dialog) -> std::optional<vkv::app::FileChoice> {
        offered = QFileInfo(dialog->selectedFiles().value(0)).fileName();
        return vkv::app::FileChoice{chosen, 0};
    });
    LibraryWindow *library = showLibrary(form);
    ASSERT_NE(library, nullptr);
    ASSERT_TRUE(library->library().add(numbered(7), "Gig"));
    library->reload();
    auto *button = library->findChild<QPushButton *>("LibraryExportMidi");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Export as MIDI file ...");
    EXPECT_FALSE(button->isEnabled()); // nothing selected

    ASSERT_TRUE(clickRow(view(library, "LibraryConfigurations"), "Gig"));
    chosen = dir.filePath("song.mid");
    click(library, "LibraryExportMidi");
    EXPECT_EQ(offered, "Gig.mid");
    EXPECT_EQ(status(library), "\u201cGig\u201d written to " + chosen +
                                   " as a MIDI file that sends it at 250 bytes/s.");
    const QByteArray file = readFile(chosen);
    const vkv::midifile::MidiFile::Read read = vkv::midifile::MidiFile::read(file);
    ASSERT_EQ(read.sysex.size(), 1u);
    const auto gig = numbered(7);
    EXPECT_EQ(read.sysex[0],
              QByteArray(reinterpret_cast<const char *>(gig.data()), vkv::image::DumpSize));
    // Its last piece goes when a paced send at 250 bytes/s sends its last slice.
    int division = 0;
    const std::vector<MidiFileEvent> events = midiFileEvents(file, &division);
    const auto slices = vkv::transfer::PacedSchedule::of(250);
    ASSERT_EQ(events.size(), slices.size() + 2);
    EXPECT_DOUBLE_EQ(static_cast<double>(events[events.size() - 2].tick) * 500 / division,
                     static_cast<double>(slices.back().microseconds) / 1000);

    chosen = dir.filePath("no folder/song.mid");
    click(library, "LibraryExportMidi");
    EXPECT_TRUE(status(library).startsWith("Not written: " + chosen + ": "))
        << status(library).toStdString();
    EXPECT_FALSE(QFile::exists(chosen));
}

TEST(LibraryWindow, EveryDeleteComesBackAndOneThatCannotSaysWhyAndLeavesTheOthers) {
    TForm1 form{vkv::backendapi::Backend::None};
    form.show();
    LibraryWindow *library = showLibrary(form);
    ASSERT_NE(library, nullptr);
    auto &lib = library->library();
    QTableView *configurations = view(library, "LibraryConfigurations");
    const auto remove = [&](const QString &title) {
        library->reload();
        ASSERT_TRUE(clickRowStarting(configurations, title)) << title.toStdString();
        click(library, "LibraryDelete");
    };
    ASSERT_TRUE(lib.add(numbered(1), "A"));
    ASSERT_TRUE(lib.setNotes(*lib.named("A"), "the first"));
    remove("A");
    const Library::Capture captured{QDateTime::currentDateTimeUtc(), Library::Direction::Received,
                                    "box:out", numbered(3), 1543};
    ASSERT_TRUE(lib.capture(captured));
    remove("Captured: ");
    ASSERT_TRUE(lib.add(numbered(2), "Gig"));
    ASSERT_TRUE(lib.setNotes(*lib.named("Gig"), "old"));
    ASSERT_TRUE(lib.setFavourite(*lib.named("Gig"), true));
    remove("Gig");
    // The editor's configuration takes the name, and the capture comes again.
    library->setAsk([](const QString &, const QString &, const QString &, bool) {
        return std::optional<QString>("Gig");
    });
    click(library, "LibraryAdd");
    ASSERT_TRUE(lib.capture(captured));
    library->reload();

    undo(library);
    EXPECT_EQ(status(library), "\u201cGig\u201d is back as \u201cGig (restored)\u201d: a "
                               "configuration called \u201cGig\u201d is in the library now.");
    ASSERT_TRUE(lib.named("Gig (restored)"));
    EXPECT_EQ(lib.named("Gig (restored)")->notes, "old");
    EXPECT_TRUE(lib.named("Gig (restored)")->favourite);
    EXPECT_EQ(lib.read(*lib.named("Gig")), form.image().bytes());
    undo(library);
    EXPECT_EQ(status(library), "The captured configuration cannot come back: it was captured "
                               "again since, and is in the library.");
    undo(library);
    EXPECT_EQ(status(library), "\u201cA\u201d is back.");
    EXPECT_EQ(lib.named("A")->notes, "the first");
    undo(library);
    EXPECT_EQ(status(library), "Nothing deleted here to bring back.");
    QStringList rows;
    for (int row = 0; row < configurations->model()->rowCount(); ++row)
        rows << cell(configurations, row, 0);
    EXPECT_EQ(rows.size(), 4);
    EXPECT_EQ(rows.mid(0, 3), (QStringList{"A", "Gig", "Gig (restored)"}));
}

TEST(LibraryWindow, ShowsWhatTheLibraryHasToSayWhenItSaysIt) {
    TForm1 form{vkv::backendapi::Backend::None};
    form.show();
    LibraryWindow *library = showLibrary(form);
    ASSERT_NE(library, nullptr);
    {
        // Another program holds the index's write: the file is kept, and the index takes it in
        // later.
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "holder");
        other.setDatabaseName(library->library().path("index/library.sqlite"));
        ASSERT_TRUE(other.open());
        QSqlQuery hold(other);
        ASSERT_TRUE(hold.exec("BEGIN IMMEDIATE"));
        library->setAsk([](const QString &, const QString &, const QString &, bool) {
            return std::optional<QString>("Held");
        });
        click(library, "LibraryAdd");
        ASSERT_TRUE(hold.exec("ROLLBACK"));
        hold.finish();
        other.close();
    }
    QSqlDatabase::removeDatabase("holder");
    EXPECT_TRUE(status(library).startsWith("The editor's configuration is in the library as "
                                           "\u201cHeld\u201d.\n\"Held\" is in the library folder, "
                                           "but its index could not take it now ("))
        << status(library).toStdString();
}

TEST(LibraryWindow, HistoryMarksTestCopiesAndHeldAtNamesEachBoxOnce) {
    TForm1 form{vkv::backendapi::Backend::None};
    form.show();
    LibraryWindow *library = showLibrary(form);
    ASSERT_NE(library, nullptr);
    auto &lib = library->library();
    ASSERT_TRUE(lib.add(numbered(1), "Gig"));
    ASSERT_TRUE(lib.add(numbered(2), "Studio"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto capture = [&](int seconds, Library::Direction direction, const QString &port,
                             const QString &paired, vkv::image::DumpBytes dump, bool test) {
        Library::Capture c{now.addSecs(seconds), direction, port, dump, 1543};
        c.paired = paired;
        c.test = test;
        ASSERT_TRUE(lib.capture(c)) << lib.error().toStdString();
    };
    using D = Library::Direction;
    capture(-120, D::Sent, "vela-box:in", "vela-box:out", numbered(1), false);
    ASSERT_TRUE(lib.verified("vela-box:in", numbered(1), true));
    capture(-110, D::Received, "vela-box:out", "vela-box:in", numbered(1), false);
    capture(-100, D::Sent, "other:in", "", numbered(2), false);
    capture(-60, D::Sent, "vela-box:in", "vela-box:out", numbered(9), true);
    capture(-50, D::Received, "vela-box:out", "vela-box:in", numbered(9), true);
    library->reload();

    QTableView *history = view(library, "LibraryHistory");
    ASSERT_EQ(history->model()->rowCount(), 5);
    EXPECT_EQ(cell(history, 0, 1), "received from vela-box:out (test copy)");
    EXPECT_EQ(cell(history, 1, 1), "sent to vela-box:in (test copy)");
    for (int row : {0, 1})
        EXPECT_EQ(cell(history, row, 2), "a test copy, not a configuration of the library");
    EXPECT_EQ(cell(history, 2, 2), "Studio");
    // A test copy was never kept: nothing to open.
    library->findChild<QTabWidget *>("LibraryViews")->setCurrentWidget(history);
    QTest::mouseClick(history->viewport(), Qt::LeftButton, {},
                      history->visualRect(history->model()->index(1, 0)).center());
    EXPECT_FALSE(library->findChild<QPushButton *>("LibraryOpen")->isEnabled());

    const QString soon = QDateTime::currentDateTime().addSecs(60).toString("yyyy-MM-dd HH:mm");
    library->setAsk([&](const QString &, const QString &, const QString &, bool) {
        return std::optional<QString>(soon);
    });
    click(library, "LibraryHeldAt");
    EXPECT_EQ(status(library),
              "At " + soon + ": other:in: \u201cStudio\u201d, not verified (sent " +
                  now.addSecs(-100).toLocalTime().toString("yyyy-MM-dd HH:mm") +
                  "); vela-box:in, vela-box:out: a broken or unknown configuration since " +
                  now.addSecs(-60).toLocalTime().toString("yyyy-MM-dd HH:mm:ss") +
                  " (what was sent: a test copy of a search for the speed, not a configuration "
                  "of the library, not verified)");
}
