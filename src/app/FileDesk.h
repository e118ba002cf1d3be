#pragma once

#include "FileChooser.h"

#include <QObject>
#include <QString>

class QFileDialog;
class QWidget;

namespace vkv::image {
class ImageHistory;
}

namespace vkv::app {

class Settings;

// The main window's files: "Open Sysex File" and "Store Sysex File", their dialogs (made at
// their first use, starting where the user last left them) and what a failed read or write says.
// A file opened becomes the editor's configuration as one step that undo takes back.
class FileDesk : public QObject {
    Q_OBJECT
public:
    // `window` owns the dialogs and the message boxes; `chooseFile` shows a dialog.
    FileDesk(QWidget *window, image::ImageHistory &history, Settings &settings,
             const FileChooser &chooseFile);
    // Both dialogs start where the user last left them, or else in `programFolder`.
    void startIn(const QString &programFolder);

    QFileDialog *openDialog();
    QFileDialog *saveDialog();
    // Where the open dialog starts: the folder of the file last opened.
    const QString &openFolder() const { return openFolder_; }

    // Asks for a file and opens it; true when the configuration is the file's now.
    bool openChosen();
    // Opens a file as "Open Sysex File" does once its dialog has chosen it: false, changing
    // nothing, when there is no such file or it cannot be read (which is also shown).
    bool open(const QString &path);
    // Asks where and in which form, and stores the configuration there; `releaseLabel` goes
    // into an INI export.
    void storeChosen(const QString &releaseLabel);

private:
    // A failed file write: said on the standard error stream and to the user. `cutShort`: it
    // failed part-way through writing the file in place.
    void storeFailed(const QString &file, const QString &why, bool cutShort);

    QWidget *window;
    image::ImageHistory &history;
    Settings &settings;
    const FileChooser &chooseFile;
    QString programFolder;
    QString openFolder_;
    QString storeFolder;
    QFileDialog *openDialog_ = nullptr;
    QFileDialog *saveDialog_ = nullptr;
};

} // namespace vkv::app
