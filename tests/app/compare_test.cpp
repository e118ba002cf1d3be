// "Compare ..." through the main window: the choice under the button, the comparison with a .syx
// file whose dialog the test answers through the window's file-chooser seam, and the comparison
// window's rows, double click and copy.
#include "CompareChoice.h"
#include "CompareWindow.h"
#include "ConfigImage.h"
#include "JackRecorder.h"
#include "JackWindow.h"
#include "TForm1.h"
#include "UiDriver.h"
#include "WindowControls.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeView>
#include <gtest/gtest.h>

#include <optional>

using vkv::compare::CompareChoice;
using vkv::compare::CompareWindow;

namespace {

// The main window with no MIDI service, whose file dialogs take the answers given here.
struct CompareRig {
    TForm1 form{vkv::backendapi::Backend::None};
    Ui::TForm1 &ui = *form.ui;
    QTemporaryDir dir;
    std::optional<TForm1::FileChoice> answer;
    QFileDialog *asked = nullptr;

    CompareRig() {
        form.setFileChooser([this](QFileDialog *dialog) {
            asked = dialog;
            return answer;
        });
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    // "Compare ...", then the choice's entry, clicked as a user clicks them.
    CompareChoice *openChoice() {
        QTest::mouseClick(ui.CompareSysex, Qt::LeftButton);
        auto *choice = form.findChild<CompareChoice *>();
        EXPECT_TRUE(choice && choice->isVisible());
        return choice;
    }
    // The events of a double click on a row: a click, then the second press.
    static void doubleClick(QTreeView *rows, int row) {
        const QPoint on = rows->visualRect(rows->model()->index(row, 0)).center();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, on);
        QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, on);
    }
    static QAction *entry(CompareChoice *choice, const char *name) {
        return choice->findChild<QAction *>(name);
    }
    CompareWindow *compareWith(const QString &file) {
        answer = TForm1::FileChoice{file, 0};
        CompareChoice *choice = openChoice();
        if (!choice)
            return nullptr;
        QAction *withFile = entry(choice, "CompareWithFile");
        QTest::mouseClick(choice, Qt::LeftButton, {}, choice->actionGeometry(withFile).center());
        EXPECT_NE(asked, nullptr);
        auto *window = form.findChild<CompareWindow *>();
        EXPECT_TRUE(window && QTest::qWaitForWindowExposed(window));
        return window;
    }
};

vkv::image::DumpBytes defaults() {
    vkv::image::ConfigImage image;
    EXPECT_TRUE(vkv::image::loadDefaultImage(image));
    return image.bytes();
}

// What a row of the comparison window shows in a column.
QString text(const QTreeView *rows, int row, int column) {
    return rows->model()->index(row, column).data().toString();
}

void writeFile(const QString &path, const vkv::image::DumpBytes &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char *>(bytes.data()), vkv::image::DumpSize);
}

} // namespace

TEST(Compare, AFileWithOnePotChangedListsThatPotWhichADoubleClickShowsAndCtrlCCopies) {
    CompareRig w;
    vkv::image::DumpBytes file = defaults();
    file[vkv::image::potOffset(2)] = vkv::image::storeStatus(0x90); // Controller 2 becomes a note
    writeFile(w.path("other.syx"), file);

    CompareWindow *window = w.compareWith(w.path("other.syx"));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->windowTitle(), "Compare : Editor / other.syx");
    EXPECT_EQ(window->findChild<QLabel *>("CompareSummary")->text(), "1 record differs");
    auto *rows = window->findChild<QTreeView *>("CompareRows");
    ASSERT_EQ(rows->model()->rowCount(), 1);
    EXPECT_EQ(text(rows, 0, 0), "Pot 1.3 (ID 2)");
    EXPECT_EQ(text(rows, 0, 1), "Event Type: Controller / Note On");
    EXPECT_EQ(rows->model()->headerData(1, Qt::Horizontal), "Editor / other.syx");

    ASSERT_EQ(w.ui.PageControl1->currentWidget(), w.ui.FileSheet);
    ASSERT_EQ(w.ui.PotNumber->value(), 0);
    CompareRig::doubleClick(rows, 0);
    EXPECT_EQ(w.ui.PageControl1->currentWidget(), w.ui.PotSettings);
    EXPECT_EQ(w.ui.PotNumber->value(), 2);
    EXPECT_EQ(w.ui.PotByte0A->currentText(), "B : Controller ");

    QGuiApplication::clipboard()->clear();
    QTest::keyClick(rows, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "- 1.3 = B0 02 [00-7F]\n"
                                                    "+ 1.3 = 90 02 [00-7F]\n");
}

TEST(Compare, AButtonRowShowsTheButtonOnItsPage) {
    CompareRig w;
    vkv::image::DumpBytes file = defaults();
    file[vkv::image::buttonOffset(8, vkv::image::ButtonMode)] = 2;
    writeFile(w.path("toggle.syx"), file);

    CompareWindow *window = w.compareWith(w.path("toggle.syx"));
    ASSERT_NE(window, nullptr);
    auto *rows = window->findChild<QTreeView *>("CompareRows");
    ASSERT_EQ(rows->model()->rowCount(), 1);
    EXPECT_EQ(text(rows, 0, 0), "Button 2.1 (ID 8)");
    EXPECT_EQ(text(rows, 0, 1), "Mode: ON/OFF / TOGGLE");
    CompareRig::doubleClick(rows, 0);
    EXPECT_EQ(w.ui.PageControl1->currentWidget(), w.ui.ButtSettings);
    EXPECT_EQ(w.ui.ButtNumber->value(), 8);
    EXPECT_EQ(w.ui.ButtonBank->value(), 2);
}

TEST(Compare, AFileStoredFromTheEditorShowsNoDifferences) {
    CompareRig w;
    w.form.history().change(
        vkv::image::ImageChange::received(), [](vkv::image::ConfigImage &image) {
            image.setPot(200, vkv::image::PotMax, 0x40); // an edited configuration, stored
        });
    w.answer = TForm1::FileChoice{w.path("stored.syx"), 0};
    QTest::mouseClick(w.ui.StoreSysex, Qt::LeftButton);
    ASSERT_TRUE(QFile::exists(w.path("stored.syx")));

    CompareWindow *window = w.compareWith(w.path("stored.syx"));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(w.asked, w.form.SysexCompareDialog());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->findChild<QLabel *>("CompareSummary")->text(), "No differences");
    auto *rows = window->findChild<QTreeView *>("CompareRows");
    EXPECT_EQ(rows->model()->rowCount(), 0);
    EXPECT_FALSE(rows->isVisible());
}

TEST(Compare, WithoutTheBoxPathOrItsPortsOnlyTheFileIsOffered) {
    CompareRig w;
    CompareChoice *choice = w.openChoice();
    ASSERT_NE(choice, nullptr);
    EXPECT_TRUE(CompareRig::entry(choice, "CompareWithFile")->isVisible());
    EXPECT_FALSE(CompareRig::entry(choice, "CompareWithBox")->isVisible());
    choice->hide();
    // A way to ask the box, but no ports open.
    w.form.compareWithBox = [] {};
    choice = w.openChoice();
    EXPECT_FALSE(CompareRig::entry(choice, "CompareWithBox")->isVisible());
    choice->hide();
}

class CompareJack : public JackWindowTest {};

TEST_F(CompareJack, TheBoxIsOfferedOnceBothPortsAreOpenAndAsked) {
    JackRecorder box("vkvcmpbox");
    JackSender source("vkvcmpboxsrc");
    JackWindow w;
    w.chooseOut(w.outIndex(QString::fromStdString(box.portName())));
    w.chooseIn(w.inIndex(QString::fromStdString(source.portName())));
    ASSERT_TRUE(w.requestEnabled());
    int asked = 0;
    w.form.compareWithBox = [&asked] { ++asked; };

    QTest::mouseClick(w.ui.CompareSysex, Qt::LeftButton);
    auto *choice = w.form.findChild<CompareChoice *>();
    ASSERT_TRUE(choice && choice->isVisible());
    QAction *withBox = choice->findChild<QAction *>("CompareWithBox");
    ASSERT_TRUE(withBox->isVisible());
    QTest::mouseClick(choice, Qt::LeftButton, {}, choice->actionGeometry(withBox).center());
    EXPECT_EQ(asked, 1);
}
