// Captures written into the library off the caller's thread, with what went wrong and what the
// library had to say coming back on the caller's. A real library in a temporary folder.
#include "CaptureWriter.h"
#include "LibraryFixture.h"

#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace libraryfixture;

TEST_F(LibraryTest, CapturesAreWrittenOffTheCallersThreadAndAFailureIsSaid) {
    vkv::library::CaptureWriter writer;
    writer.setFolder(folder());
    QSignalSpy recorded(&writer, &vkv::library::CaptureWriter::recorded);
    writer.record({QDateTime::currentDateTimeUtc(), Library::Direction::Received, "box:out",
                   defaults(), 1543});
    writer.verified("box:in", defaults(), true);
    ASSERT_TRUE(recorded.wait(5000) && (recorded.size() == 2 || recorded.wait(5000)));
    EXPECT_EQ(recorded[0][0].toString(), "the dump received from box:out");
    EXPECT_EQ(recorded[0][1].toString(), "");

    // A folder that cannot be made (a file is in its way): said, never thrown or swallowed.
    QFile blocker(dir.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    writer.setFolder(dir.path() + "/file/library");
    recorded.clear();
    writer.record(
        {QDateTime::currentDateTimeUtc(), Library::Direction::Sent, "box:in", std::nullopt, 20});
    ASSERT_TRUE(recorded.wait(5000));
    EXPECT_EQ(recorded[0][0].toString(), "the broken send to box:in");
    EXPECT_TRUE(recorded[0][1].toString().contains("cannot be made"))
        << recorded[0][1].toString().toStdString();
}

TEST_F(LibraryTest, CapturesPassOnWhatTheLibraryHasToSay) {
    {
        Library library;
        ASSERT_TRUE(library.open(folder()));
        ASSERT_TRUE(library.add(defaults(), "Gig"));
    }
    for (const char *ending : {"", "-wal", "-shm"})
        QFile::remove(folder() + "/index/library.sqlite" + ending);
    vkv::library::CaptureWriter writer;
    writer.setFolder(folder());
    QSignalSpy noticed(&writer, &vkv::library::CaptureWriter::noticed);
    Library::Capture test{QDateTime::currentDateTimeUtc(), Library::Direction::Sent, "box:in",
                          defaults(), 1543};
    test.test = true;
    QSignalSpy recorded(&writer, &vkv::library::CaptureWriter::recorded);
    writer.record(test);
    ASSERT_TRUE(noticed.wait(5000));
    EXPECT_TRUE(noticed[0][0].toString().startsWith("The library's index was not there and was "
                                                    "made anew from the 1 configurations"))
        << noticed[0][0].toString().toStdString();
    ASSERT_EQ(recorded.size(), 1);
    EXPECT_EQ(recorded[0][0].toString(), "the test copy sent to box:in");
    EXPECT_EQ(recorded[0][1].toString(), "");
}
