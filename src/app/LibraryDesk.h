#pragma once

#include "ConfigImage.h"
#include "FileChooser.h"

#include <QObject>
#include <QString>
#include <functional>

class QLabel;
class QWidget;

namespace vkv::image {
class ImageHistory;
}
namespace vkv::library {
class CaptureWriter;
}
namespace vkv::librarywindow {
class LibraryWindow;
}

namespace vkv::app {

class CompareDesk;
class Settings;
class TransferDesk;

// The main window's library of configurations: every whole configuration the transfers send or
// receive, and every one that broke off, is recorded off the GUI thread (a capture costs the
// transfer a copy of the dump); the library's window is made when first shown ("Library ...",
// Ctrl+L), and what it asks for reaches the editor (open, as one step that undo takes back), the
// box (a paced send of another configuration than the editor's, checked as "Verify after send"
// says) and the comparison window; a MIDI file of a configuration paces it at the File page's
// speed. Nothing of the library is opened before it is first used. A capture that fails, and what
// the library has to say as it records, is added to the main window's status line after what the
// transfer said (said in the library's window instead when that is shown).
class LibraryDesk : public QObject {
    Q_OBJECT
public:
    // What of the main window the library reaches.
    struct Window {
        QWidget *window;
        const QLabel *status;                                  // its status line, read
        std::function<void(const QString &, bool)> showStatus; // and written
        std::function<bool()> canSend;                         // a MIDI OUT port is open
        // Makes a configuration the editor's, named `name` in the caption, as one undoable step.
        std::function<void(const image::DumpBytes &, const QString &)> open;
        std::function<int()> speed; // of a paced send, in bytes a second
        const FileChooser &chooseFile;
        std::function<QString()> fileFolder; // where its files are opened and stored
    };

    LibraryDesk(Window window, TransferDesk &transfers, const image::ImageHistory &history,
                CompareDesk &compare, Settings &settings);

    // Shows the library's window, made and opened at its first use.
    void show();
    // The window; null until first shown.
    librarywindow::LibraryWindow *libraryWindow() const { return shown; }
    // The library's folder, as chosen.
    QString folder() const;
    // Something else recorded into the library (a recall): a shown window reads it again.
    void recordedElsewhere();

signals:
    // The library's window was made, at its first showing.
    void windowMade(vkv::librarywindow::LibraryWindow *window);

private:
    // A capture's failure, after whatever the status line says of the transfer.
    void captureFailed(const QString &what, const QString &why);
    // `text` after what the status line says of the transfer, begun with `mark`.
    void addToStatus(const QString &mark, const QString &text);
    // Asks where, and writes `dump` as the MIDI file of a paced send at the speed set.
    void exportMidiFile(const image::DumpBytes &dump, const QString &name);

    Window main;
    TransferDesk &transfers;
    const image::ImageHistory &history;
    CompareDesk &compare;
    Settings &settings;
    library::CaptureWriter *writer;
    librarywindow::LibraryWindow *shown = nullptr;
};

} // namespace vkv::app
