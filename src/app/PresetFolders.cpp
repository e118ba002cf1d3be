#include "PresetFolders.h"

#include "PresetLibrary.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vkv::app {

QStringList presetFolders(const QString &programFolder) {
    const QDir program(programFolder);
    // The data folder relative to the program, so an installed tree works wherever its prefix is.
    return {program.path(), QDir::cleanPath(program.filePath(QStringLiteral(VKV_DATA_FROM_BIN))),
            QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)};
}

QString findPresetFolder(const QStringList &folders) {
    for (const QString &folder : folders)
        if (QFileInfo(vkv::editor::PresetLibrary::presetFilePath(folder)).isFile())
            return folder;
    return folders.value(0);
}

} // namespace vkv::app
