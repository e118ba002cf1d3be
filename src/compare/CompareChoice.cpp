#include "CompareChoice.h"

namespace vkv::compare {

CompareChoice::CompareChoice(QWidget *parent) : QMenu(parent) {
    setObjectName("CompareChoice");
    QAction *fileEntry = addAction("With a Sysex File ...");
    fileEntry->setObjectName("CompareWithFile");
    connect(fileEntry, &QAction::triggered, this, &CompareChoice::withFile);
    boxEntry = addAction("With the Box");
    boxEntry->setObjectName("CompareWithBox");
    connect(boxEntry, &QAction::triggered, this, &CompareChoice::withBox);
}

void CompareChoice::popUpUnder(const QWidget *button, bool boxOffered) {
    boxEntry->setVisible(boxOffered);
    popup(button->mapToGlobal(QPoint(0, button->height())));
}

} // namespace vkv::compare
