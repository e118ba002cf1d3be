// "Print ..." over the real main window, driven by real Qt events: Ctrl+P and the button open the
// preview of the sheet of the configuration as it is, headed with its file's name; "Save as PDF
// ..." writes it on the paper chosen, or says why not; "Print ..." goes through the system's print
// dialog, here to a file, as a print to a PDF printer does.
#include "Poppler.h"
#include "QuietWindow.h"
#include "SheetPreview.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "UiDriver.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using vkv::app::SheetPreview;

SheetPreview *preview(TForm1 &form) {
    SheetPreview *shown = nullptr;
    EXPECT_TRUE(testui::waitUntil([&] {
        shown = form.findChild<SheetPreview *>();
        return shown && shown->isVisible() && shown->pageCount() == 4;
    }));
    return shown;
}

void click(SheetPreview *dialog, const char *button) {
    QTest::mouseClick(dialog->findChild<QPushButton *>(button), Qt::LeftButton);
}

QString note(SheetPreview *dialog) {
    return dialog->findChild<QLabel *>("SheetNote")->text();
}

} // namespace

TEST(Print, ShowsTheSheetOfTheConfigurationAndSavesItAsPdfOnThePaperChosen) {
    QTemporaryDir dir;
    QuietWindow w;
    vkv::image::ConfigImage image = defaultImage();
    image.setPot(37, vkv::image::PotStatus, 0x99);
    image.setPot(37, vkv::image::PotByte1, 60);
    const QString syx = dir.filePath("Live set.syx");
    writeFile(syx, fileBytes(image));
    ASSERT_TRUE(w.form.OpenSysexFile(syx));
    QString chosen;
    w.form.setFileChooser([&chosen](QFileDialog *) -> std::optional<vkv::app::FileChoice> {
        return vkv::app::FileChoice{chosen, 0};
    });

    w.form.activateWindow();
    QTest::keyClick(&w.form, Qt::Key_P, Qt::ControlModifier);
    SheetPreview *dialog = preview(w.form);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), "Print Live set.syx");

    for (const bool letter : {false, true}) {
        SCOPED_TRACE(letter);
        if (letter)
            testui::chooseItem(dialog->findChild<QComboBox *>("SheetPaper"), 1);
        chosen = dir.filePath(letter ? "letter.pdf" : "a4.pdf");
        click(dialog, "SheetSavePdf");
        EXPECT_EQ(note(dialog), "Saved as " + chosen + ".");
        const QString info = poppler("pdfinfo", {chosen});
        EXPECT_TRUE(info.contains(QRegularExpression("Pages: +4\n"))) << info.toStdString();
        EXPECT_TRUE(info.contains(letter ? "792 x 612 pts" : "842 x 595 pts"))
            << info.toStdString();
        const QString text = poppler("pdftotext", {"-layout", chosen, "-"});
        EXPECT_TRUE(text.contains("Live set.syx"));
        EXPECT_TRUE(text.contains("Bank 3") && text.contains("Note C4 ch 10"));
        EXPECT_TRUE(text.contains("Bank 16") && text.contains("Page 4 of 4"));
    }

    chosen = dir.filePath("no folder/a.pdf");
    click(dialog, "SheetSavePdf");
    EXPECT_TRUE(note(dialog).startsWith("Not saved: " + chosen + ": "))
        << note(dialog).toStdString();
    EXPECT_FALSE(QFile::exists(chosen));

    click(dialog, "SheetClose");
    EXPECT_TRUE(testui::waitUntil([&] { return !w.form.findChild<SheetPreview *>(); }));
    QTest::mouseClick(w.ui.PrintSheet, Qt::LeftButton);
    EXPECT_TRUE(preview(w.form));
}

TEST(Print, PrintsThroughTheSystemsPrintDialog) {
    QTemporaryDir dir;
    QuietWindow w;
    QTest::mouseClick(w.ui.PrintSheet, Qt::LeftButton);
    SheetPreview *dialog = preview(w.form);
    ASSERT_TRUE(dialog);
    const QString printed = dir.filePath("printed.pdf");
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *print = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
        if (!print)
            return;
        poll.stop();
        seen = true;
        // Printed to a file, as a user does with the dialog's PDF printer: its file field typed.
        auto *file = print->findChild<QLineEdit *>("filename");
        if (!file)
            return print->reject();
        file->setFocus();
        QTest::keyClick(file, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(file, printed);
        print->accept();
    });
    poll.start(20);
    click(dialog, "SheetPrint");
    poll.stop();
    EXPECT_TRUE(seen);
    EXPECT_EQ(note(dialog), "Sent to " + printed + ".");
    EXPECT_TRUE(poppler("pdfinfo", {printed}).contains(QRegularExpression("Pages: +4\n")));
    EXPECT_TRUE(poppler("pdftotext", {printed, "-"}).contains("CC 127 ch 1"));
}
