#pragma once

// Gives each test a config folder and a data folder of its own (XDG_CONFIG_HOME, XDG_DATA_HOME),
// empty at its start and gone at its end: no test reads or writes the user's own settings or
// library of configurations (nor its trash), and nothing a test leaves behind (a send speed, a
// dialog's folder, a captured dump) reaches the tests after it in the same process.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

class FreshConfigHome : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo &) override {
        folder.emplace();
        // Made, so that the desktop's trash is found there too.
        QDir().mkpath(folder->path() + "/config");
        QDir().mkpath(folder->path() + "/data");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder->path() + "/config"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(folder->path() + "/data"));
    }
    void OnTestEnd(const ::testing::TestInfo &) override { folder.reset(); }

private:
    std::optional<QTemporaryDir> folder;
};

// Installs it before the tests run.
inline void useFreshConfigHomes() {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshConfigHome);
}
