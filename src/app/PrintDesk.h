#pragma once

#include "FileChooser.h"

#include <QObject>
#include <QString>
#include <functional>

class QAbstractButton;
class QWidget;

namespace vkv::image {
class ImageHistory;
}

namespace vkv::app {

// "Print ..." on the File page and Ctrl+P anywhere in the main window: the preview of the sheet of
// the configuration as it is now, headed with its name (the file's or the library entry's it came
// from), today's date and the program's version. PDFs are saved where `folder` says.
class PrintDesk : public QObject {
    Q_OBJECT
public:
    PrintDesk(QWidget *window, QAbstractButton *button, const image::ImageHistory &history,
              const FileChooser &chooseFile, std::function<QString()> folder);

    void show();

private:
    QWidget *window;
    const image::ImageHistory &history;
    const FileChooser &chooseFile;
    std::function<QString()> folder;
};

} // namespace vkv::app
