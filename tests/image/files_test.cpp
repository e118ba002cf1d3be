// .syx files and the INI export on disk: what reading takes, what writing leaves behind when it
// fails, and the export's text line by line.
#include "ConfigImage.h"
#include "FileTroubles.h"
#include "IniExport.h"
#include "SyxFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vkv::image {

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QByteArray> lines(const QByteArray &text) {
    QList<QByteArray> result = text.split('\n');
    EXPECT_TRUE(result.last().isEmpty()); // the last line ends too
    result.removeLast();
    return result;
}

ConfigImage defaults() {
    ConfigImage image;
    EXPECT_TRUE(loadDefaultImage(image));
    return image;
}

// Writes to files in this process fail beyond `bytes` while it lives: a disk that is full.
struct FileSizeLimit {
    rlimit old{};
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending us
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limit = old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
};

} // namespace

TEST(SyxFile, ReadsAtMostADumpAndRefusesWhatIsNoFile) {
    QTemporaryDir dir;
    const QByteArray big(10 * 1024 * 1024, '\x11');
    const struct {
        const char *what;
        QString path;
        int size; // bytes read; -1: refused
    } rows[] = {
        {"one byte", writeFile(dir, "one.syx", QByteArray(1, '\xF0')), 1},
        {"ten bytes", writeFile(dir, "short.syx", QByteArray(10, '\x22')), 10},
        {"a byte short", writeFile(dir, "1542.syx", QByteArray(DumpSize - 1, '\x33')), 1542},
        {"a whole dump", writeFile(dir, "dump.syx", QByteArray(DumpSize, '\x33')), DumpSize},
        {"a byte over", writeFile(dir, "1544.syx", QByteArray(DumpSize + 1, '\x33')), DumpSize},
        {"10 MB", writeFile(dir, "big.syx", big), DumpSize},
        {"empty", writeFile(dir, "empty.syx", {}), -1},
        {"a folder", dir.path(), -1},
        {"missing", dir.filePath("missing.syx"), -1},
        // Opens, then fails at the first read (address 0 is not mapped), as a bad disk would.
        {"a read error", "/proc/self/mem", -1},
        {"no permission to read", testfiles::unreadableFile(dir, "locked.syx"), -1},
    };
    testfiles::NoReadOverride asAnyUser; // root too is held to the file's mode
    for (const auto &row : rows) {
        QString why;
        const auto bytes = SyxFile::read(row.path, &why);
        if (row.size < 0) {
            EXPECT_FALSE(bytes) << row.what;
            EXPECT_FALSE(why.isEmpty()) << row.what;
        } else {
            ASSERT_TRUE(bytes) << row.what << ": " << why.toStdString();
            EXPECT_EQ(bytes->size(), row.size) << row.what;
        }
    }

    // A pipe is refused before it is opened: opening it would wait for a writer.
    const QString fifo = dir.filePath("pipe.syx");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(SyxFile::read(fifo));
}

TEST(SyxFile, AFailedWriteLeavesAnExistingFileAsItWas) {
    QTemporaryDir dir;
    const QByteArray before("the configuration of yesterday");
    const QString existing = writeFile(dir, "mine.syx", before);
    const QByteArray dump(DumpSize, '\x44');

    {
        FileSizeLimit full(100); // the disk fills up half-way through the write
        QString why;
        EXPECT_FALSE(SyxFile::write(existing, dump, &why));
        EXPECT_FALSE(why.isEmpty());
    }
    EXPECT_EQ(readAll(existing), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"mine.syx"}); // no leftovers

    // No folder to write in, or one nobody may write to.
    EXPECT_FALSE(SyxFile::write(dir.filePath("missing/new.syx"), dump));
    EXPECT_FALSE(SyxFile::write("/proc/self/new.syx", dump));

    // A good write replaces the file whole.
    EXPECT_TRUE(SyxFile::write(existing, dump));
    EXPECT_EQ(readAll(existing), dump);
}

TEST(SyxFile, AWriteToAReallyFullDiskLeavesTheFileAsItWas) {
    const QByteArray before("the configuration of yesterday");
    testfiles::SmallFullDisk disk({{"mine.syx", before}});
    if (!disk.ready())
        GTEST_SKIP() << disk.reason();
    QString why;
    bool cutShort = true;
    EXPECT_FALSE(
        SyxFile::write(disk.filePath("mine.syx"), QByteArray(DumpSize, '\x44'), &why, &cutShort));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(cutShort);
    EXPECT_EQ(readAll(disk.filePath("mine.syx")), before);
    EXPECT_EQ(disk.files(), QStringList({"filler", "mine.syx"})); // no leftovers

    // Where the folder takes no new files, the file is written in place, and a disk that fills
    // up meanwhile leaves it cut short: said so, never that it was kept.
    QFile::setPermissions(QFileInfo(disk.filePath("mine.syx")).absolutePath(),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    testfiles::NoReadOverride asAnyUser;
    EXPECT_FALSE(
        SyxFile::write(disk.filePath("mine.syx"), QByteArray(12000, '\x44'), &why, &cutShort));
    EXPECT_TRUE(cutShort) << why.toStdString();
    EXPECT_NE(readAll(disk.filePath("mine.syx")), before);
}

TEST(SyxFile, StoresOverAWritableFileInAFolderThatTakesNoNewFiles) {
    // The old file is the longer one, so a write that left its tail would show.
    testfiles::FolderWithoutNewFiles folder("mine.syx", QByteArray(2 * DumpSize, '\x33'));
    if (!folder.ready())
        GTEST_SKIP() << folder.reason();
    const QByteArray dump(DumpSize, '\x44');
    QString why;
    EXPECT_TRUE(SyxFile::write(folder.filePath("mine.syx"), dump, &why)) << why.toStdString();
    EXPECT_EQ(readAll(folder.filePath("mine.syx")), dump);

    // A new file there still cannot be made.
    why.clear();
    EXPECT_FALSE(SyxFile::write(folder.filePath("new.syx"), dump, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(folder.files(), QStringList{"mine.syx"});
}

TEST(SyxFile, StoringOverASymbolicLinkWritesTheFileItPointsTo) {
    QTemporaryDir links;
    testfiles::FolderWithoutNewFiles closed("mine.syx", "the configuration of yesterday");
    if (!closed.ready())
        GTEST_SKIP() << closed.reason();
    const QByteArray dump(DumpSize, '\x44');
    const struct {
        const char *link;
        QString target;
    } rows[] = {
        {"to-open.syx", writeFile(links, "mine.syx", "yesterday's")},
        {"to-closed.syx", closed.filePath("mine.syx")}, // in a folder that takes no new files
    };
    for (const auto &row : rows) {
        const QString link = links.filePath(row.link);
        ASSERT_TRUE(QFile::link(row.target, link));
        QString why;
        EXPECT_TRUE(SyxFile::write(link, dump, &why)) << row.link << ": " << why.toStdString();
        EXPECT_TRUE(QFileInfo(link).isSymLink()) << row.link;
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), row.target) << row.link;
        EXPECT_EQ(readAll(row.target), dump) << row.link;
    }
}

TEST(IniExport, TheDefaultImageAsTheConverterReadsIt) {
    const ConfigImage image = defaults();
    const QByteArray text = IniExport::render(image, "Test Release : Dec  8 2026 : 05:17:14",
                                              "08/12/2026 05:20:00 UTC");
    const QList<QByteArray> all = lines(text);
    ASSERT_EQ(all.size(), 395);
    for (const QByteArray &line : all)
        ASSERT_TRUE(line.endsWith('\r')) << line.toStdString();
    EXPECT_EQ(all[0], "# Export from vkorvaneQ2X : Test Release : Dec  8 2026 : 05:17:14\r");
    EXPECT_EQ(all[3], "# Data Generated on : 08/12/2026 05:20:00 UTC\r");
    EXPECT_EQ(all[6], "\r");
    EXPECT_EQ(all[7], "[TYPE]\r");
    EXPECT_EQ(all[8], " korvaneq2\r");
    EXPECT_EQ(all[9], "[POTS]\r");
    EXPECT_EQ(all[10], " 1.1 = B0 00 [00-7F] \r");
    EXPECT_EQ(all[11], " 1.2 = B0 01 [00-7F] \r");
    EXPECT_EQ(all[26], " 2.1 = B0 10 [00-7F] \r"); // pot 16
    EXPECT_EQ(all[265], " 16.16 = BF 07 [00-7F] \r");
    EXPECT_EQ(all[266], "[BUTTONS]\r");
    EXPECT_EQ(all[267], " 1.1 = 90 30 7F @ON/OFF\r");
    EXPECT_EQ(all[275], " 2.1 = 90 30 7F @ON/OFF\r"); // button 8
    EXPECT_EQ(all[394], " 16.8 = 97 30 7F @ON/OFF\r");
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(all[i].startsWith("# ")) << i;

    // The whole file, as committed beside this test.
    QFile expected(QStringLiteral(VKV_TESTS_DIR "/image/default_export.ini"));
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
    EXPECT_EQ(text, expected.readAll());
}

TEST(IniExport, ValuesAsThePagesShowThemAndTheImageUntouched) {
    ConfigImage image = defaults();
    image.bytes()[potOffset(0)] = 0x05; // reads as 0x85, below what the page shows
    image.setPot(1, PotMax, 200);
    image.setPot(1, PotMin, 128);
    image.setPot(2, PotByte1, 200);
    image.setButton(0, ButtonMode, 1);
    image.setButton(1, ButtonMode, 7);
    const DumpBytes before = image.bytes();
    const QList<QByteArray> all = lines(IniExport::render(image, "x", "y"));
    EXPECT_EQ(all[10], " 1.1 = 90 00 [00-7F] \r");
    EXPECT_EQ(all[11], " 1.2 = B0 01 [7F-7F] \r");
    EXPECT_EQ(all[12], " 1.3 = B0 C8 [00-7F] \r"); // byte 1 goes up to FF on the page
    EXPECT_EQ(all[267], " 1.1 = 90 30 7F @ON ONLY\r");
    EXPECT_EQ(all[268], " 1.2 = 90 31 7F @\r");
    EXPECT_EQ(image.bytes(), before);
}

} // namespace vkv::image
