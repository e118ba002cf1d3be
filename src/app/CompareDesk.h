#pragma once

// "Compare ..." on the main window: the choice it pops up, the comparison of the editor's
// configuration with a .syx file chosen in a dialog of its own, and the comparison window, which
// shows those differences and any the window hands it (a verify's, a comparison with the box).
// Each is made at its first use, as a child of the window. Asking the box is the window's: the
// choice's entry for it only raises withBox().
#include "ConfigImage.h"
#include "FileChooser.h"
#include "ImageComparison.h"

#include <QObject>
#include <QString>
#include <vector>

class QFileDialog;
class QWidget;

namespace vkv::compare {
class CompareChoice;
class CompareWindow;
} // namespace vkv::compare
namespace vkv::image {
class ImageHistory;
}

namespace vkv::app {

class CompareDesk : public QObject {
    Q_OBJECT
public:
    // Each is read when it is needed: the editor's configuration in `history`, the dialog's
    // answer through `chooseFile`, and `openFolder`, where the dialog starts once it is made.
    CompareDesk(QWidget *window, const image::ImageHistory &history, const FileChooser &chooseFile,
                const QString &openFolder);

    // Pops the choice up under `button`, offering the box when `boxOffered`.
    void offer(const QWidget *button, bool boxOffered);
    // Shows records that differ in the comparison window.
    void showDifferences(const std::vector<image::RecordDifference> &differences,
                         const QString &nameA, const QString &nameB);
    // The file dialog, made at its first use.
    QFileDialog *fileDialog();

signals:
    // The box was chosen to compare with.
    void withBox();
    // A record of the comparison window was double-clicked: show it on its page.
    void showRecord(bool pot, int id);

private:
    // The choice and the comparison window, made at their first use.
    compare::CompareChoice *choice();
    compare::CompareWindow *comparisonWindow();
    // Compares with a .syx file chosen in the dialog, read as "Open Sysex File" reads it into a
    // freshly started editor; a file that cannot be read is said to the user.
    void compareWithFile();
    // Shows how the editor's configuration (first) differs from `other`, called `name`.
    void compareWith(const image::DumpBytes &other, const QString &name);

    QWidget *window;
    const image::ImageHistory &history;
    const FileChooser &chooseFile;
    const QString &openFolder;
    compare::CompareChoice *choice_ = nullptr;
    compare::CompareWindow *comparison = nullptr;
    QFileDialog *dialog = nullptr;
};

} // namespace vkv::app
