#include "PrintDesk.h"

#include "ImageHistory.h"
#include "SheetPreview.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeySequence>
#include <QShortcut>

namespace vkv::app {

PrintDesk::PrintDesk(QWidget *window, QAbstractButton *button, const image::ImageHistory &history,
                     const FileChooser &chooseFile, std::function<QString()> folder)
    : QObject(window), window(window), history(history), chooseFile(chooseFile),
      folder(std::move(folder)) {
    connect(button, &QAbstractButton::clicked, this, &PrintDesk::show);
    auto *key = new QShortcut(QKeySequence::Print, window);
    connect(key, &QShortcut::activated, this, &PrintDesk::show);
}

void PrintDesk::show() {
    const sheet::ConfigurationSheet::Heading heading{history.fileName(), QDate::currentDate(),
                                                     QCoreApplication::applicationName() + u' ' +
                                                         QCoreApplication::applicationVersion()};
    auto *preview = new SheetPreview(history.image(), heading, chooseFile, folder(), window);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setFont(window->font());
    preview->open();
}

} // namespace vkv::app
