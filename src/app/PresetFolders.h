#pragma once

#include <QString>
#include <QStringList>

namespace vkv::app {

// Where the program looks for its preset file, in order: beside the program (a build tree, or a
// copy the user put there), the data folder the program was installed with, then the user's own
// config folder. The first folder that holds the file wins.
QStringList presetFolders(const QString &programFolder);

// The first of `folders` that holds the preset file; the first folder when none does, so that
// nothing is read and the preset lists stay empty.
QString findPresetFolder(const QStringList &folders);

} // namespace vkv::app
