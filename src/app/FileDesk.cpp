#include "FileDesk.h"

#include "ImageHistory.h"
#include "IniExport.h"
#include "Settings.h"
#include "SyxFile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <cstdio>

namespace vkv::app {

namespace {

Q_LOGGING_CATEGORY(lcFiles, "vkv.files", QtInfoMsg)

// A dialog keeps the filter entry last chosen in it.
void keepFilter(QFileDialog *dialog, int entry) {
    const QStringList filters = dialog->nameFilters();
    if (entry >= 0 && entry < filters.size())
        dialog->selectNameFilter(filters[entry]);
}

} // namespace

FileDesk::FileDesk(QWidget *window, image::ImageHistory &history, Settings &settings,
                   const FileChooser &chooseFile)
    : QObject(window), window(window), history(history), settings(settings),
      chooseFile(chooseFile) {}

void FileDesk::startIn(const QString &programFolder) {
    this->programFolder = programFolder;
    openFolder_ = settings.folder(Settings::Dialog::Open);
    if (openFolder_.isEmpty())
        openFolder_ = programFolder;
    storeFolder = settings.folder(Settings::Dialog::Store);
    if (storeFolder.isEmpty())
        storeFolder = programFolder;
}

// The dialogs are made at their first use: each costs as much as the rest of the window to make,
// and most runs never open one. A remembered folder that has gone since gives the program's.
QFileDialog *FileDesk::openDialog() {
    if (!openDialog_) {
        openDialog_ = new QFileDialog(window, "Open Sysex File");
        openDialog_->setObjectName("SysexOpenDialog");
        openDialog_->setAcceptMode(QFileDialog::AcceptOpen);
        openDialog_->setDefaultSuffix("syx");
        openDialog_->setNameFilters({"KORVANE Vela sysex file (*.syx)", "Any File (*)"});
        keepFilter(openDialog_, settings.filter(Settings::Dialog::Open));
        openDialog_->selectFile("korvanevela.syx");
        openDialog_->setDirectory(Settings::folderOr(openFolder_, programFolder));
    }
    return openDialog_;
}

QFileDialog *FileDesk::saveDialog() {
    if (!saveDialog_) {
        saveDialog_ = new QFileDialog(window, "Save Sysex File To ...");
        saveDialog_->setObjectName("SysexSaveDialog");
        saveDialog_->setAcceptMode(QFileDialog::AcceptSave);
        saveDialog_->setOption(QFileDialog::DontConfirmOverwrite);
        saveDialog_->setDefaultSuffix("syx");
        saveDialog_->setNameFilters(
            {"KORVANE Vela sysex file (*.syx)", "dumpgen INI file (*.INI)"});
        keepFilter(saveDialog_, settings.filter(Settings::Dialog::Store));
        saveDialog_->selectFile("custom.syx");
        saveDialog_->setDirectory(Settings::folderOr(storeFolder, programFolder));
    }
    return saveDialog_;
}

bool FileDesk::openChosen() {
    const auto choice = chooseFile(openDialog());
    if (!choice)
        return false;
    keepFilter(openDialog(), choice->filter);
    settings.setFilter(Settings::Dialog::Open, choice->filter);
    return open(choice->file);
}

bool FileDesk::open(const QString &path) {
    const QFileInfo file(path);
    if (!file.exists())
        return false;
    // The whole file is read before the image takes any of it: a failed read changes nothing.
    QString why;
    const auto bytes = image::SyxFile::read(file.filePath(), &why);
    if (!bytes) {
        qCWarning(lcFiles, "cannot read %s: %s", qPrintable(file.filePath()), qPrintable(why));
        QMessageBox::critical(window, "File Error", "Can't perform Sysex File Read...",
                              QMessageBox::Ok | QMessageBox::Cancel);
        return false;
    }
    // A short file replaces only as many leading bytes as it holds.
    history.change(image::ImageChange::opened(file.fileName()), [&](image::ConfigImage &image) {
        std::copy(bytes->begin(), bytes->end(), image.bytes().begin());
    });
    openFolder_ = file.absolutePath();
    settings.setFolder(Settings::Dialog::Open, openFolder_);
    if (openDialog_)
        openDialog_->setDirectory(openFolder_);
    return true;
}

void FileDesk::storeChosen(const QString &releaseLabel) {
    const auto choice = chooseFile(saveDialog());
    if (!choice)
        return;
    keepFilter(saveDialog(), choice->filter);
    // This run's dialog stays where the user left it by itself; the next run's starts there too.
    settings.setFilter(Settings::Dialog::Store, choice->filter);
    settings.setFolder(Settings::Dialog::Store, QFileInfo(choice->file).absolutePath());
    // The chosen filter entry, not the name's extension, decides the form.
    const image::ConfigImage &image = history.image();
    const QByteArray bytes =
        choice->filter == 1
            ? image::IniExport::render(image, releaseLabel, image::IniExport::now())
            : QByteArray(reinterpret_cast<const char *>(image.raw()), image::DumpSize);
    QString why;
    bool cutShort = false;
    if (!image::SyxFile::write(choice->file, bytes, &why, &cutShort))
        storeFailed(choice->file, why, cutShort);
}

void FileDesk::storeFailed(const QString &file, const QString &why, bool cutShort) {
    std::fputs("Cannot open output file.\n", stderr);
    qCWarning(lcFiles, "cannot write %s: %s", qPrintable(file), qPrintable(why));
    QMessageBox::critical(window, "File Error",
                          "Cannot open output file.\n\n" + QDir::toNativeSeparators(file) + "\n" +
                              why +
                              (cutShort ? QStringLiteral("\n\nIts folder takes no new files, so "
                                                         "it was being written in place: it may "
                                                         "now be cut short. Store it again.")
                                        : QStringLiteral("\n\nNothing was written; an existing "
                                                         "file is kept as it was.")));
}

} // namespace vkv::app
