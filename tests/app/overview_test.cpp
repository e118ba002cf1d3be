// The overview over the real main window, driven by real Qt events: opened with Ctrl+G, a fill of
// a bank's pots that is one step Ctrl+Z in the main window takes back, a cell edited over every
// selected row, Copy and Paste as rows of the record sheet (on the table the command line is
// tested on), and, over JACK, "Follow the box" selecting the records that send what a peer sends.
#include "ConfigImage.h"
#include "FillDialog.h"
#include "JackWindow.h"
#include "Library.h"
#include "LibraryChoice.h"
#include "OverviewWindow.h"
#include "QuietWindow.h"
#include "RecordSheet.h"
#include "SheetCases.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

using vkv::image::ConfigImage;
using vkv::overview::OverviewWindow;
using vkv::records::RecordId;
using vkv::records::RecordWords;

using Window = QuietWindow;

ConfigImage defaults() {
    ConfigImage image;
    EXPECT_TRUE(vkv::image::loadDefaultImage(image));
    return image;
}

// Makes `window` the active window: on the offscreen platform a pop-up list that closed, or a
// window shown over another, can keep the activation from it.
void activate(QWidget *window) {
    window->activateWindow();
    EXPECT_TRUE(testui::waitUntil([&] { return QApplication::activeWindow() == window; }, 2000));
}

// Ctrl+G in the main window, and the overview it opens, active.
OverviewWindow *openOverview(TForm1 &form) {
    activate(&form);
    QTest::keyClick(&form, Qt::Key_G, Qt::ControlModifier);
    auto *overview = form.findChild<OverviewWindow *>();
    if (!overview)
        return nullptr;
    EXPECT_TRUE(QTest::qWaitForWindowExposed(overview));
    activate(overview);
    return overview;
}

// Chooses an entry of the overview's filter with the keys. (Through its pop-up list, the
// offscreen platform leaves the closed list the active window, and the window's keys go nowhere.)
void showRows(OverviewWindow *overview, int entry) {
    auto *filter = overview->findChild<QComboBox *>("OverviewFilter");
    QTest::keyClick(filter, Qt::Key_Home);
    for (int n = 0; n < entry; ++n)
        QTest::keyClick(filter, Qt::Key_Down);
    EXPECT_EQ(filter->currentIndex(), entry);
}

QString cell(const QTableView *view, int row, int column) {
    return view->model()->index(row, column).data().toString();
}

// Clicks a row's cell, with `modifiers` (Shift extends the selection).
void clickCell(QTableView *view, int row, int column, Qt::KeyboardModifiers modifiers = {}) {
    const QModelIndex at = view->model()->index(row, column);
    view->scrollTo(at);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(at).center());
}

std::vector<RecordId> pots(int first, int count) {
    std::vector<RecordId> records;
    for (int p = first; p < first + count; ++p)
        records.push_back({true, p});
    return records;
}

constexpr int NumberColumn = 3, SameColumn = 6; // of the Pots tab

} // namespace

TEST(Overview, OpensWithCtrlGAndAFillOfSixteenPotsIsOneStepThatCtrlZInTheMainWindowTakesBack) {
    Window w;
    w.ui.PageControl1->setCurrentWidget(w.ui.PotSettings);
    w.ui.PotNumber->setValue(33);
    OverviewWindow *overview = openOverview(w.form);
    ASSERT_NE(overview, nullptr);
    EXPECT_EQ(overview->windowTitle(), "Overview");
    QTableView *view = overview->view(true);
    EXPECT_EQ(view->model()->rowCount(), 256);
    EXPECT_EQ(overview->view(false)->model()->rowCount(), 128);

    // Bank 3's pots, all of them.
    showRows(overview, 3);
    ASSERT_EQ(view->model()->rowCount(), 16);
    clickCell(view, 0, 0);
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(overview->selected(), pots(32, 16));

    // Controllers 20 to 35 on channel 2.
    const int steps = w.form.history().undoSteps();
    QTest::keyClick(view, Qt::Key_D, Qt::ControlModifier);
    QPointer<vkv::overview::FillDialog> fill = overview->findChild<vkv::overview::FillDialog *>();
    ASSERT_TRUE(fill && fill->isVisible());
    testui::chooseItem(fill->findChild<QComboBox *>("FillType"), 2);
    testui::typeInto(fill->findChild<QSpinBox *>("FillChannel"), "2");
    testui::typeInto(fill->findChild<QSpinBox *>("FillStart"), "20");
    QTest::mouseClick(fill->findChild<QPushButton *>("FillButton"), Qt::LeftButton);
    testui::waitUntil([&] { return !fill || !fill->isVisible(); }, 2000);
    EXPECT_TRUE(!fill || !fill->isVisible());

    for (int p = 32; p < 48; ++p) {
        EXPECT_EQ(w.form.image().pot(p, vkv::image::PotStatus), 0xB1) << p;
        EXPECT_EQ(w.form.image().pot(p, vkv::image::PotByte1), 20 + p - 32) << p;
    }
    EXPECT_EQ(w.form.history().undoSteps(), steps + 1);
    EXPECT_EQ(w.ui.PotByte0->value(), 0xB1); // the page follows, on pot 33
    EXPECT_EQ(w.ui.PotByte0B->value(), 2);
    EXPECT_EQ(w.ui.PotByte1->value(), 21);
    EXPECT_EQ(cell(view, 1, NumberColumn), "21");

    activate(&w.form);
    QTest::keyClick(w.ui.PotByte1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.form.image().bytes(), defaults().bytes());
    EXPECT_EQ(w.ui.PotByte1->value(), 33);
    EXPECT_EQ(cell(view, 1, NumberColumn), "33");
    // The undo keys are the configuration's in the overview too.
    activate(overview);
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(w.form.image().pot(33, vkv::image::PotByte1), 21);
    EXPECT_EQ(w.ui.PotByte1->value(), 21);
}

TEST(Overview, EditsACellOverEverySelectedRowAndShowsAtOnceWhoSendsTheSame) {
    Window w;
    OverviewWindow *overview = openOverview(w.form);
    ASSERT_NE(overview, nullptr);
    QTableView *view = overview->view(true);
    EXPECT_EQ(cell(view, 9, SameColumn), "");

    // Pots 1.9 to 1.12 selected; the number typed into pot 1.12's cell goes to all four.
    clickCell(view, 8, 0);
    clickCell(view, 11, NumberColumn, Qt::ShiftModifier);
    const int steps = w.form.history().undoSteps();
    QTest::keyClick(view, Qt::Key_F2);
    auto *editor = qobject_cast<QSpinBox *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->maximum(), 255); // the page's bounds for byte 1
    testui::typeInto(editor, "20");
    QTest::keyClick(editor, Qt::Key_Return); // taken once the event loop runs
    testui::waitUntil([&] { return w.form.image().pot(8, vkv::image::PotByte1) == 20; }, 2000);
    for (int p = 8; p < 12; ++p)
        EXPECT_EQ(w.form.image().pot(p, vkv::image::PotByte1), 20) << p;
    EXPECT_EQ(w.form.history().undoSteps(), steps + 1);
    EXPECT_EQ(cell(view, 9, SameColumn), "pot 1.9, pot 1.11, pot 1.12, pot 2.5");

    // A change on the Pots page shows at once, and so does the filter of records that send the
    // same (the defaults' pots 1.1 to 1.8 send what pots 9.1 to 16.1 send).
    w.ui.PotNumber->setValue(12);
    testui::typeInto(w.ui.PotByte1, "20");
    EXPECT_EQ(cell(view, 12, NumberColumn), "20");
    EXPECT_EQ(cell(view, 8, SameColumn), "pot 1.10, pot 1.11, pot 1.12, pot 1.13, pot 2.5");
    showRows(overview, 17);
    QStringList shown;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        shown << cell(view, row, 0);
    EXPECT_EQ(shown.size(), 22);
    EXPECT_EQ(shown.mid(8, 6),
              (QStringList{"pot 1.9", "pot 1.10", "pot 1.11", "pot 1.12", "pot 1.13", "pot 2.5"}));
}

TEST(Overview, CopiesRowsAsTheSheetAndPastesTheSheetsOfTheTableOrRefusesThemWithTheirLines) {
    Window w;
    OverviewWindow *overview = openOverview(w.form);
    ASSERT_NE(overview, nullptr);
    QTableView *view = overview->view(true);
    auto *status = overview->findChild<QLabel *>("OverviewStatus");
    const ConfigImage start = defaults();
    for (const sheetcases::Case &c : sheetcases::cases()) {
        SCOPED_TRACE(c.name);
        QGuiApplication::clipboard()->setText(QString::fromUtf8(c.text));
        const int steps = w.form.history().undoSteps();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
        if (c.errorLines.empty()) {
            for (const auto &[record, bytes] : c.records)
                EXPECT_EQ(RecordWords::bytes(w.form.image(), record), bytes);
            EXPECT_EQ(w.form.history().undoSteps(), steps + 1);
            EXPECT_TRUE(status->text().startsWith("Pasted")) << status->text().toStdString();
            ASSERT_TRUE(w.form.history().undo());
            continue;
        }
        EXPECT_EQ(w.form.image().bytes(), start.bytes());
        EXPECT_EQ(w.form.history().undoSteps(), steps);
        for (const int line : c.errorLines)
            EXPECT_TRUE(status->text().contains(QStringLiteral("Line %1: ").arg(line)))
                << status->text().toStdString();
    }

    // Bank 2's pots copied, and pasted from pot 5.1 on.
    showRows(overview, 2);
    clickCell(view, 0, 0);
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toUtf8(),
              vkv::records::RecordSheet::write(start, pots(16, 16)));
    showRows(overview, 0);
    clickCell(view, 64, 0);
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    for (int n = 0; n < 16; ++n)
        EXPECT_EQ(RecordWords::bytes(w.form.image(), {true, 64 + n}),
                  RecordWords::bytes(start, {true, 16 + n}));
}

TEST(Overview, TakesABanksPotsFromAConfigurationOfTheLibraryInOneStep) {
    vkv::image::DumpBytes studio = defaults().bytes();
    for (int p = 16; p < 32; ++p)
        studio[static_cast<std::size_t>(vkv::image::potOffset(p, vkv::image::PotMax))] = 64;
    {
        vkv::library::Library library;
        ASSERT_TRUE(library.open(vkv::library::Library::defaultFolder()));
        ASSERT_TRUE(library.add(studio, "Studio rack"));
    }
    Window w;
    OverviewWindow *overview = openOverview(w.form);
    ASSERT_NE(overview, nullptr);
    QTest::keyClick(overview->view(true), Qt::Key_T, Qt::ControlModifier);
    auto *choice = overview->findChild<vkv::overview::LibraryChoice *>();
    ASSERT_NE(choice, nullptr);
    auto *list = choice->findChild<QListWidget *>("TakeConfigurations");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), "Studio rack");
    testui::typeInto(choice->findChild<QSpinBox *>("TakeBankNumber"), "2");
    QTest::mouseClick(choice->findChild<QCheckBox *>("TakeButtons"), Qt::LeftButton);
    QTest::mouseClick(choice->findChild<QPushButton *>("TakeGo"), Qt::LeftButton);

    EXPECT_EQ(w.form.history().undoSteps(), 1);
    for (int p = 0; p < vkv::image::PotCount; ++p)
        EXPECT_EQ(w.form.image().pot(p, vkv::image::PotMax), p >= 16 && p < 32 ? 64 : 127) << p;
    EXPECT_EQ(cell(overview->view(true), 16, 5), "64");
    ASSERT_TRUE(w.form.history().undo());
    EXPECT_EQ(w.form.image().bytes(), defaults().bytes());
}

class OverviewJack : public JackWindowTest {};

TEST_F(OverviewJack, FollowTheBoxSelectsTheRecordsThatSendWhatAPeerSends) {
    JackSender sender("vkvfollowsrc");
    JackWindow w;
    w.chooseIn(w.inIndex(QString::fromStdString(sender.portName())));
    ASSERT_TRUE(w.form.MidiIn1->Using());
    OverviewWindow *overview = openOverview(w.form);
    ASSERT_NE(overview, nullptr);
    QTest::mouseClick(overview->findChild<QCheckBox *>("FollowTheBox"), Qt::LeftButton);
    ASSERT_TRUE(overview->following());
    EXPECT_TRUE(w.form.settings().followBox());
    const ConfigImage before = w.form.image();

    // Controller 0 on channel 1: pots 1.1 and 9.1 send it.
    ASSERT_TRUE(sendUntil(sender, {0xB0, 0x00, 0x40}, [&] {
        return overview->selected() == std::vector<RecordId>{{true, 0}, {true, 128}};
    }));
    EXPECT_TRUE(overview->findChild<QLabel *>("OverviewStatus")
                    ->text()
                    .startsWith("Controller 0 on channel 1: pot 1.1, pot 9.1"));
    // A note that buttons send: the Buttons tab comes up with all eight.
    ASSERT_TRUE(
        sendUntil(sender, {0x90, 49, 0x64}, [&] { return overview->selected().size() == 8; }));
    for (const RecordId record : overview->selected())
        EXPECT_TRUE(!record.pot && record.index % 8 == 1 && record.index < 64) << record.index;
    EXPECT_EQ(w.form.image().bytes(), before.bytes()); // nothing written
}
