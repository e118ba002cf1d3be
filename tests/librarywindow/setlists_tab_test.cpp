// The library window's Set Lists tab, driven as a user drives it, on a library in a folder of the
// test's own: every change is found in the list's file at once.
#include "ConfigImage.h"
#include "EntryName.h"
#include "LibraryWindow.h"
#include "SetListRows.h"
#include "SetListsTab.h"
#include "UiDriver.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <utility>

namespace {

using vkv::library::SetList;
using vkv::librarywindow::LibraryWindow;
using vkv::librarywindow::SetListRows;
using vkv::librarywindow::SetListsTab;

// The defaults with pot 1.1 sending controller `n`: configurations that differ.
vkv::image::DumpBytes numbered(int n) {
    vkv::image::ConfigImage image;
    vkv::image::loadDefaultImage(image);
    image.setPot(0, vkv::image::PotByte1, n);
    return image.bytes();
}

// A library window over a folder of its own holding `names`, shown on its Set Lists tab; the
// user's answers are given in turn, and the questions asked kept.
class SetListsWindow {
public:
    explicit SetListsWindow(const QStringList &names) : window([] { return numbered(0); }) {
        EXPECT_TRUE(folder.isValid());
        EXPECT_TRUE(window.openFolder(folder.path()));
        for (int n = 0; n < names.size(); ++n)
            EXPECT_TRUE(window.library().add(numbered(n + 1), names[n]));
        window.setAsk([this](const QString &, const QString &label, const QString &,
                             bool) -> std::optional<QString> {
            asked << label;
            if (answers.empty())
                return std::nullopt;
            const QString answer = answers.front();
            answers.pop_front();
            return answer;
        });
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.reload();
        auto *tabs = window.findChild<QTabWidget *>("LibraryViews");
        EXPECT_EQ(tabs->tabText(tabs->count() - 1), "Set Lists");
        tabClick(tabs->count() - 1);
    }

    void tabClick(int index) {
        QTabBar *bar = window.findChild<QTabWidget *>("LibraryViews")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    template <typename T> T *find(const char *name) { return window.findChild<T *>(name); }
    void click(const char *button) {
        QPushButton *b = find<QPushButton>(button);
        ASSERT_TRUE(b->isEnabled()) << button;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QTableView *slotTable() { return find<QTableView>("SetListSlots"); }
    void clickRow(int row) {
        QTableView *table = slotTable();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(row, 1)).center());
    }
    // The slots as the tab shows them: "6 Gig", one a row.
    QStringList shown() {
        QStringList rows;
        const QAbstractItemModel *model = slotTable()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            rows << model->index(row, 0).data().toString() + u' ' +
                        model->index(row, 1).data().toString();
        return rows;
    }
    void addSlot(const QString &configuration) {
        auto *chooser = find<QComboBox>("SetListConfiguration");
        testui::chooseItem(chooser, chooser->findText(configuration));
        click("SetListAdd");
    }
    QString status() { return find<QLabel>("LibraryStatus")->text(); }
    QString file(const QString &list) {
        QFile text(folder.path() + "/setlists/" + list + ".txt");
        return text.open(QIODevice::ReadOnly) ? QString::fromUtf8(text.readAll()) : QString();
    }

    QTemporaryDir folder;
    LibraryWindow window;
    std::deque<QString> answers;
    QStringList asked;
};

TEST(SetListsTab, AListIsMadeFilledNumberedOrderedAndOnDiskAtEachStep) {
    SetListsWindow w({"Drum kit", "Pads", "Gig"});

    // A name the library refuses is asked for again with its reason.
    w.answers = {"CON", "Gig night"};
    w.click("SetListNew");
    ASSERT_EQ(w.asked.size(), 2);
    EXPECT_EQ(w.asked[1], vkv::library::EntryName::refusal("CON") + "\n\nName:");
    EXPECT_EQ(w.find<QComboBox>("SetListChoice")->currentText(), "Gig night");
    EXPECT_EQ(w.file("Gig night"), "# channel any\n");

    // Each slot at the next free program number above the last slot's.
    w.addSlot("Drum kit");
    w.addSlot("Pads");
    EXPECT_EQ(w.shown(), QStringList({"0 Drum kit", "1 Pads"}));

    // Another number: a taken one is refused with why, and asked for again.
    w.clickRow(1);
    w.asked.clear();
    w.answers = {"0", "200", "5"};
    w.click("SetListProgram");
    ASSERT_EQ(w.asked.size(), 3);
    EXPECT_TRUE(w.asked[1].startsWith("Program 0 recalls \u201cDrum kit\u201d already"))
        << w.asked[1].toStdString();
    EXPECT_TRUE(w.asked[2].startsWith("\u201c200\u201d is no program number (0 to 127)."))
        << w.asked[2].toStdString();
    w.addSlot("Gig");
    EXPECT_EQ(w.shown(), QStringList({"0 Drum kit", "5 Pads", "6 Gig"}));

    // Ctrl+Up twice takes the last slot to the top, in the file at once.
    w.clickRow(2);
    QTest::keyClick(w.slotTable(), Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(w.slotTable(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(w.shown(), QStringList({"6 Gig", "0 Drum kit", "5 Pads"}));
    EXPECT_EQ(w.file("Gig night"), "# channel any\n6\tGig\n0\tDrum kit\n5\tPads\n");
    EXPECT_EQ(w.slotTable()->selectionModel()->selectedRows().value(0).row(), 0);

    // The first slot dragged onto the last row takes its place: through the rows' drag and drop,
    // as the view hands them over (the offscreen platform runs no real drag).
    auto *rows = qobject_cast<SetListRows *>(w.slotTable()->model());
    const std::unique_ptr<QMimeData> dragged(rows->mimeData({rows->index(0, 0)}));
    rows->dropMimeData(dragged.get(), Qt::MoveAction, -1, -1, rows->index(2, 0));
    EXPECT_EQ(w.shown(), QStringList({"0 Drum kit", "5 Pads", "6 Gig"}));

    testui::chooseItem(w.find<QComboBox>("SetListChannel"), 10);
    EXPECT_EQ(w.file("Gig night"), "# channel 10\n0\tDrum kit\n5\tPads\n6\tGig\n");

    // A configuration deleted in the Configurations tab leaves its slot missing here.
    w.tabClick(0);
    auto *configurations = w.find<QTableView>("LibraryConfigurations");
    for (int row = 0; row < configurations->model()->rowCount(); ++row)
        if (configurations->model()->index(row, 0).data() == "Pads")
            configurations->selectRow(row);
    w.click("LibraryDelete");
    w.tabClick(2);
    EXPECT_EQ(w.shown(), QStringList({"0 Drum kit", "5 Pads (missing)", "6 Gig"}));
}

TEST(SetListsTab, RecallIsAskedOfTheOwnerAndShownAsItSaysAndDamagedLinesAreShown) {
    SetListsWindow w({"Gig"});
    SetList list;
    list.name = "Opening";
    ASSERT_TRUE(w.window.library().writeSetList(list));
    QFile byHand(w.folder.path() + "/setlists/Closing.txt");
    ASSERT_TRUE(byHand.open(QIODevice::WriteOnly));
    byHand.write("# channel 2\n0\tGig\nx\tGig\n");
    byHand.close();
    w.window.reload();

    auto *choice = w.find<QComboBox>("SetListChoice");
    auto *recall = w.find<QCheckBox>("SetListRecall");
    auto &tab = w.window.setListsTab();
    QSignalSpy switched(&tab, &SetListsTab::recallSwitched);
    testui::chooseItem(choice, choice->findText("Opening"));
    QTest::mouseClick(recall, Qt::LeftButton);
    ASSERT_EQ(switched.size(), 1);
    EXPECT_EQ(switched[0], QVariantList({"Opening", true}));

    // The owner says recall is on for the other list: the check box follows the list chosen.
    tab.showRecall("Closing", true);
    EXPECT_FALSE(recall->isChecked());
    testui::chooseItem(choice, choice->findText("Closing"));
    EXPECT_TRUE(recall->isChecked());
    EXPECT_EQ(w.shown(), QStringList({"0 Gig"}));
    EXPECT_TRUE(w.find<QLabel>("SetListDamaged")->isVisible());
    EXPECT_TRUE(w.find<QLabel>("SetListDamaged")->text().contains("line 3"))
        << w.find<QLabel>("SetListDamaged")->text().toStdString();
    tab.showLastRecall("Program 0 on channel 2: Gig sent, verified");
    EXPECT_EQ(w.find<QLabel>("SetListLastRecall")->text(),
              "Program 0 on channel 2: Gig sent, verified");
    EXPECT_EQ(switched.size(), 1);

    // A delete is asked first; the list with recall on goes, and recall with it.
    QStringList confirmed;
    bool yes = false;
    w.window.setConfirm([&](const QString &, const QString &text) {
        confirmed << text;
        return yes;
    });
    w.click("SetListDelete");
    EXPECT_TRUE(QFile::exists(w.folder.path() + "/setlists/Closing.txt"));
    yes = true;
    w.click("SetListDelete");
    EXPECT_EQ(confirmed,
              QStringList(2, "Put the set list \u201cClosing\u201d in the desktop's trash?"));
    EXPECT_FALSE(QFile::exists(w.folder.path() + "/setlists/Closing.txt"));
    EXPECT_EQ(w.window.library().setListNames(), QStringList({"Opening"}));
    ASSERT_EQ(switched.size(), 2);
    EXPECT_EQ(switched[1], QVariantList({"Closing", false}));
    EXPECT_EQ(choice->currentText(), "Opening");
    EXPECT_FALSE(recall->isChecked());
}

} // namespace
