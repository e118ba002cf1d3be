#include "LibraryDesk.h"

#include "CaptureWriter.h"
#include "CompareDesk.h"
#include "EntryName.h"
#include "ImageComparison.h"
#include "ImageHistory.h"
#include "Library.h"
#include "LibraryWindow.h"
#include "PacedSchedule.h"
#include "Settings.h"
#include "SyxFile.h"
#include "TransferDesk.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>

namespace vkv::app {

namespace {

using library::Library;

// Marks the part of the status line the library adds, so that the next one replaces it.
const QString Failed = QStringLiteral("\nThe library could not record ");
const QString Said = QStringLiteral("\nThe library: ");

// A capture on `port`, used together with the window's port of the other direction: the two are
// one box.
Library::Capture capture(Library::Direction direction, const QString &port,
                         std::optional<image::DumpBytes> dump, int bytes, bool test,
                         const TransferDesk &transfers) {
    Library::Capture made{
        QDateTime::currentDateTimeUtc(), direction, port, std::move(dump), bytes, test};
    made.paired = direction == Library::Direction::Sent ? transfers.inName() : transfers.outName();
    return made;
}

} // namespace

LibraryDesk::LibraryDesk(Window window, TransferDesk &transfers, const image::ImageHistory &history,
                         CompareDesk &compare, Settings &settings)
    : QObject(window.window), main(std::move(window)), transfers(transfers), history(history),
      compare(compare), settings(settings), writer(new library::CaptureWriter(this)) {
    // The folder is only named here: nothing is opened or made before the first capture.
    writer->setFolder(folder());
    using D = Library::Direction;
    // A speed search's test copies and the box's answers to them are marked as tests.
    connect(&transfers, &TransferDesk::configurationSent, writer,
            [this](const image::DumpBytes &dump, const QString &port, bool test) {
                writer->record(
                    capture(D::Sent, port, dump, image::DumpSize, test, this->transfers));
            });
    connect(&transfers, &TransferDesk::sendBroke, writer,
            [this](const QString &port, int sent, const image::DumpBytes &sending, bool test) {
                auto broke = capture(D::Sent, port, std::nullopt, sent, test, this->transfers);
                broke.sending = sending;
                writer->record(broke);
            });
    connect(&transfers, &TransferDesk::verified, writer,
            [this](const image::DumpBytes &sent, const QString &port, bool holds, bool) {
                // A test copy's verify finds its send by the copy's own content.
                writer->verified(port, sent, holds);
            });
    connect(&transfers, &TransferDesk::dumpReceived, writer,
            [this](const image::DumpBytes &dump, const QString &port, bool test) {
                writer->record(
                    capture(D::Received, port, dump, image::DumpSize, test, this->transfers));
            });
    connect(&transfers, &TransferDesk::dumpBroke, writer,
            [this](const QString &port, int bytes, bool test) {
                writer->record(
                    capture(D::Received, port, std::nullopt, bytes, test, this->transfers));
            });
    connect(writer, &library::CaptureWriter::recorded, this,
            [this](const QString &what, const QString &why) {
                if (!why.isEmpty())
                    captureFailed(what, why);
                if (shown)
                    shown->captured(what, why);
            });
    // The library's word as it records (an index made anew): in its window when that is shown,
    // else after what the status line says of the transfer.
    connect(writer, &library::CaptureWriter::noticed, this, [this](const QString &notice) {
        if (shown && shown->isVisible())
            shown->say(notice, false);
        else
            addToStatus(Said, notice);
    });
    auto *key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), main.window);
    connect(key, &QShortcut::activated, this, &LibraryDesk::show);
}

QString LibraryDesk::folder() const {
    return settings.libraryFolder().isEmpty() ? Library::defaultFolder() : settings.libraryFolder();
}

void LibraryDesk::recordedElsewhere() {
    if (shown)
        shown->captured(QString(), QString());
}

void LibraryDesk::captureFailed(const QString &what, const QString &why) {
    addToStatus(Failed, what + ": " + why);
}

void LibraryDesk::addToStatus(const QString &mark, const QString &text) {
    // The transfer went as the status line says; what the library adds comes after it, in place
    // of what it added before.
    const QString transfer = main.status->text().section(Failed, 0, 0).section(Said, 0, 0);
    main.showStatus((transfer.isEmpty() ? mark.mid(1) : transfer + mark) + text, false);
}

void LibraryDesk::show() {
    if (!shown) {
        shown = new librarywindow::LibraryWindow([this] { return history.image().bytes(); },
                                                 main.window);
        shown->setFont(main.window->font());
        using librarywindow::LibraryWindow;
        connect(
            shown, &LibraryWindow::openInEditor, this,
            [this](const image::DumpBytes &dump, const QString &name) { main.open(dump, name); });
        connect(shown, &LibraryWindow::sendToBox, this,
                [this](const image::DumpBytes &dump, const QString &name) {
                    if (!main.canSend()) {
                        shown->say("No MIDI OUT port is open: choose one on the File page.", false);
                        return;
                    }
                    transfers.sendPaced(dump, TransferDesk::Check::AsWanted);
                    shown->say(QStringLiteral("Sending \u201c%1\u201d to the box; the editor "
                                              "keeps its own configuration.")
                                   .arg(name),
                               true);
                });
        connect(shown, &LibraryWindow::compare, this,
                [this](const image::DumpBytes &a, const QString &nameA, const image::DumpBytes &b,
                       const QString &nameB) {
                    compare.showDifferences(image::ImageComparison::compare(a, b), nameA, nameB);
                });
        connect(shown, &LibraryWindow::exportMidiFile, this, &LibraryDesk::exportMidiFile);
        connect(shown, &LibraryWindow::folderChosen, this, [this](const QString &folder) {
            settings.setLibraryFolder(folder == Library::defaultFolder() ? QString() : folder);
            writer->setFolder(folder);
        });
        shown->openFolder(folder());
        emit windowMade(shown);
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void LibraryDesk::exportMidiFile(const image::DumpBytes &dump, const QString &name) {
    const int speed = main.speed();
    QFileDialog dialog(shown, QStringLiteral("Export as MIDI File"));
    dialog.setObjectName("LibraryMidiDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("MIDI files (*.mid)")});
    dialog.setDefaultSuffix(QStringLiteral("mid"));
    const QString folder = main.fileFolder();
    dialog.setDirectory(folder.isEmpty() ? QDir::homePath() : folder);
    const QString file = library::EntryName::fitted(name);
    dialog.selectFile((file.isEmpty() ? QStringLiteral("configuration") : file) + ".mid");
    const auto chosen = main.chooseFile(&dialog);
    if (!chosen)
        return;
    const QString path = QDir::toNativeSeparators(chosen->file);
    QString why;
    if (!image::SyxFile::write(chosen->file, transfer::PacedSchedule::midiFile(dump.data(), speed),
                               &why)) {
        shown->say(QStringLiteral("Not written: %1: %2.").arg(path, why), false);
        return;
    }
    shown->say(
        QStringLiteral("\u201c%1\u201d written to %2 as a MIDI file that sends it at %3 bytes/s.")
            .arg(name, path)
            .arg(speed),
        true);
}

} // namespace vkv::app
