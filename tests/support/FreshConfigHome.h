#pragma once

// Gives each test a config folder of its own (XDG_CONFIG_HOME), empty at its start and gone at its
// end: no test reads or writes the user's own settings, and no setting a test leaves behind (a
// send speed, a dialog's folder) reaches the tests after it in the same process.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

class FreshConfigHome : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo &) override {
        folder.emplace();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder->path()));
    }
    void OnTestEnd(const ::testing::TestInfo &) override { folder.reset(); }

private:
    std::optional<QTemporaryDir> folder;
};

// Installs it before the tests run.
inline void useFreshConfigHomes() {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshConfigHome);
}
