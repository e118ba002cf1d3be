#include "CompareDesk.h"

#include "CompareChoice.h"
#include "CompareWindow.h"
#include "ImageHistory.h"
#include "Settings.h"
#include "SyxFile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>

namespace vkv::app {

namespace {

Q_LOGGING_CATEGORY(lcCompare, "vkv.compare", QtInfoMsg)

} // namespace

CompareDesk::CompareDesk(QWidget *window, const image::ImageHistory &history,
                         const FileChooser &chooseFile, const QString &openFolder)
    : QObject(window), window(window), history(history), chooseFile(chooseFile),
      openFolder(openFolder) {}

void CompareDesk::offer(const QWidget *button, bool boxOffered) {
    choice()->popUpUnder(button, boxOffered);
}

compare::CompareChoice *CompareDesk::choice() {
    if (!choice_) {
        choice_ = new compare::CompareChoice(window);
        choice_->setFont(window->font()); // a pop-up takes no font from the window it pops up over
        connect(choice_, &compare::CompareChoice::withFile, this, &CompareDesk::compareWithFile);
        connect(choice_, &compare::CompareChoice::withBox, this, &CompareDesk::withBox);
    }
    return choice_;
}

QFileDialog *CompareDesk::fileDialog() {
    if (!dialog) {
        dialog = new QFileDialog(window, "Compare With Sysex File");
        dialog->setObjectName("SysexCompareDialog");
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setNameFilters({"KORVANE Vela sysex file (*.syx)", "Any File (*)"});
        // Where the files the user opens are.
        dialog->setDirectory(Settings::folderOr(openFolder, QDir::homePath()));
    }
    return dialog;
}

void CompareDesk::compareWithFile() {
    const auto chosen = chooseFile(fileDialog());
    if (!chosen)
        return;
    QString why;
    const auto other = image::SyxFile::readImage(chosen->file, &why);
    if (!other) {
        qCWarning(lcCompare, "cannot read %s: %s", qPrintable(chosen->file), qPrintable(why));
        QMessageBox::critical(window, "File Error", "Can't perform Sysex File Read...",
                              QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    compareWith(*other, QFileInfo(chosen->file).fileName());
}

void CompareDesk::compareWith(const image::DumpBytes &other, const QString &name) {
    comparisonWindow()->showDifferences(
        image::ImageComparison::compare(history.image().bytes(), other), "Editor", name);
}

void CompareDesk::showDifferences(const std::vector<image::RecordDifference> &differences,
                                  const QString &nameA, const QString &nameB) {
    comparisonWindow()->showDifferences(differences, nameA, nameB);
}

compare::CompareWindow *CompareDesk::comparisonWindow() {
    if (!comparison) {
        comparison = new compare::CompareWindow(window);
        comparison->setFont(window->font());
        connect(comparison, &compare::CompareWindow::showRecord, this, &CompareDesk::showRecord);
    }
    return comparison;
}

} // namespace vkv::app
