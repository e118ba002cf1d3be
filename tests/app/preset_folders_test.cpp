#include "PresetFolders.h"
#include "PresetLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using vkv::editor::PresetLibrary;

namespace {

void writePresets(const QString &folder, const QByteArray &name) {
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile file(PresetLibrary::presetFilePath(folder));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[POTPRESETS]\nB007007F=" + name + "\n");
}

// The name of pot preset 0 in the file the program would read.
QString chosenName(const QString &programFolder) {
    PresetLibrary library;
    library.LoadPresets(vkv::app::findPresetFolder(vkv::app::presetFolders(programFolder)));
    return library.PotPresetNames().value(0);
}

} // namespace

TEST(PresetFolders, BesideTheProgramWinsThenTheInstalledDataThenTheUsersConfig) {
    // An installed tree: <prefix>/bin/vkvela and <prefix>/share/vkvela/; the user's config
    // folder under XDG_CONFIG_HOME.
    QTemporaryDir root;
    const QString bin = root.filePath("prefix/bin");
    const QString data = root.filePath("prefix/share/vkvela");
    const QString config = root.filePath("config/" + QCoreApplication::applicationName());
    const QByteArray oldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", root.filePath("config").toLocal8Bit());
    writePresets(bin, "beside");
    writePresets(data, "installed");
    writePresets(config, "user");

    EXPECT_EQ(chosenName(bin), "beside");
    QFile::remove(PresetLibrary::presetFilePath(bin));
    EXPECT_EQ(chosenName(bin), "installed");
    QFile::remove(PresetLibrary::presetFilePath(data));
    EXPECT_EQ(chosenName(bin), "user");
    QFile::remove(PresetLibrary::presetFilePath(config));
    EXPECT_EQ(chosenName(bin), "");
    EXPECT_EQ(vkv::app::findPresetFolder(vkv::app::presetFolders(bin)), QDir(bin).path());

    if (oldConfigHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", oldConfigHome);
}
