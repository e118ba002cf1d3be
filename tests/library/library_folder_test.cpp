// The library's folder and its index: files changed or removed behind the library's back, two
// programs writing at once (library_writer), and files left by a program that crashed. Real files
// in a temporary folder, a real SQLite index.
#include "DumpFile.h"
#include "LibraryFixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using namespace libraryfixture;
using vkv::library::DumpFile;

TEST_F(LibraryTest, FilesChangedOrRemovedBehindItsBackAreReadAgainOrShownMissing) {
    Library library;
    ASSERT_TRUE(library.open(folder()));
    ASSERT_TRUE(library.add(defaults(), "Gig"));
    const QString path = folder() + "/Gig.syx";
    const DumpBytes other = withRecords({{false, 3, 0x99, 36}});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytesOf(other));
    file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    file.close();
    ASSERT_TRUE(library.refresh());
    EXPECT_EQ(library.named("Gig")->key, DumpFile::key(other));
    EXPECT_EQ(library.read(*library.named("Gig")), other);

    const Library::Entry gig = *library.named("Gig");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(library.refresh());
    ASSERT_TRUE(library.named("Gig"));
    EXPECT_TRUE(library.named("Gig")->missing);
    EXPECT_FALSE(library.read(gig));
    EXPECT_TRUE(library.error().contains("cannot be read")) << library.error().toStdString();
    // Back again, it is the same configuration.
    ASSERT_TRUE(DumpFile::write(path, other, false, false));
    ASSERT_TRUE(library.refresh());
    EXPECT_FALSE(library.named("Gig")->missing);
}

TEST_F(LibraryTest, TwoProgramsWritingAtOnceLoseNothing) {
    // The folder and its index are made first, as a window that is open makes them.
    {
        Library library;
        ASSERT_TRUE(library.open(folder()));
    }
    constexpr int Each = 40;
    QProcess first, second;
    for (auto [p, tag] : {std::pair{&first, "one"}, std::pair{&second, "two"}})
        p->start(VKV_LIBRARY_WRITER, {folder(), tag, QString::number(Each)});
    for (QProcess *p : {&first, &second}) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    Library library;
    ASSERT_TRUE(library.open(folder()));
    // The history lives in the index alone: every capture of both is there.
    const auto history = library.history();
    EXPECT_EQ(history.size(), 2u * Each);
    EXPECT_EQ(std::count_if(history.begin(), history.end(),
                            [](const auto &e) { return e.port == "writer-one"; }),
              Each);
    int named = 0;
    for (const Library::Entry &entry : library.entries())
        named += entry.named() ? 1 : 0;
    EXPECT_EQ(named, 2 * Each);
    EXPECT_EQ(files("captured").size(), 2 * Each);
}

TEST_F(LibraryTest, FilesLeftByAProgramThatCrashedAreRemovedAndNeverStopAWrite) {
    {
        Library library;
        ASSERT_TRUE(library.open(folder()));
    }
    const auto leave = [](const QString &path, bool old) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("half");
        file.flush();
        if (old)
            file.setFileTime(QDateTime::currentDateTime().addSecs(-120),
                             QFileDevice::FileModificationTime);
    };
    leave(folder() + "/.vkvela-new-4000000-1", true);
    leave(folder() + "/captured/.vkvela-new-4000000-2", true);
    leave(folder() + "/index/copy-new-4000000-1.sqlite", true);
    leave(folder() + "/.vkvela-new-4000001-1", false); // another program's, writing now
    leave(folder() + "/.hidden", true);                // not the library's
    // A crashed program of this one's number left what the next writes would be called.
    for (int n = 1; n <= 1000; ++n)
        leave(QStringLiteral("%1/.vkvela-new-%2-%3").arg(folder()).arg(::getpid()).arg(n), false);

    Library library;
    ASSERT_TRUE(library.open(folder()));
    const auto hidden = [](const QString &in) {
        // Not the pattern of this program's own temporaries, whose number may start with 4 too.
        return QDir(in).entryList({".vkvela-new-400000?-*", "copy-new-*", ".hidden"},
                                  QDir::Files | QDir::Hidden);
    };
    EXPECT_EQ(hidden(folder()), (QStringList{".hidden", ".vkvela-new-4000001-1"}));
    EXPECT_TRUE(hidden(folder() + "/captured").isEmpty());
    EXPECT_TRUE(hidden(folder() + "/index").isEmpty());
    ASSERT_TRUE(library.add(defaults(), "Gig")) << library.error().toStdString();
    ASSERT_TRUE(library.capture({QDateTime::currentDateTimeUtc(), Library::Direction::Received,
                                 "box:out", defaults(), 1543}))
        << library.error().toStdString();
    EXPECT_EQ(library.read(*library.named("Gig")), defaults());
}
