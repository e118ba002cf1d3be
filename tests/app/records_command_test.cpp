// The record sheet on the command line: --records, --apply-records and --conflicts, run as a
// child process with no display, on files; the sheets of the table the reader and the overview's
// Paste are tested on too.
#include "ChildProgram.h"
#include "CommandLine.h"
#include "ConfigImage.h"
#include "RecordSheet.h"
#include "SheetCases.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using vkv::image::ConfigImage;
using vkv::records::RecordWords;

ChildRun run(const QStringList &arguments) {
    return runChild(QStringLiteral(VKV_PROGRAM), arguments, headlessEnvironment(), 30000);
}

ConfigImage imageOf(const QByteArray &bytes) {
    ConfigImage image;
    std::copy(bytes.begin(), bytes.begin() + vkv::image::DumpSize, image.raw());
    return image;
}

} // namespace

TEST(RecordsCommand, WritesTheWholeSheetAndAppliesItBackChangingNothing) {
    QTemporaryDir dir;
    ConfigImage image = defaultImage();
    image.setPot(7, vkv::image::PotMax, 200); // a byte the pages cannot show
    const QString syx = dir.filePath("a.syx"), csv = dir.filePath("a.csv");
    writeFile(syx, fileBytes(image));

    const ChildRun out = run({"--records", syx});
    EXPECT_EQ(out.code, 0) << out.err.toStdString();
    EXPECT_EQ(out.out.toUtf8(), vkv::records::RecordSheet::write(image));
    EXPECT_EQ(out.out.count(u'\n'), 385);
    EXPECT_TRUE(out.out.contains("\npot 1.8,Controller,1,7,0,0xC8,,\n"));
    const ChildRun toFile = run({"--records", syx, "--output", csv});
    EXPECT_EQ(toFile.code, 0) << toFile.err.toStdString();
    EXPECT_EQ(toFile.out + toFile.err, "");
    EXPECT_EQ(readFile(csv).toStdString(), out.out.toStdString());

    const ChildRun applied = run({"--apply-records", csv, syx});
    EXPECT_EQ(applied.code, 0) << applied.err.toStdString();
    EXPECT_EQ(applied.out, "0 records changed.\n");
    EXPECT_EQ(readFile(syx), fileBytes(image));
}

TEST(RecordsCommand, AppliesTheSheetsOfTheTableOrChangesNothingAndNamesEveryBadLine) {
    QTemporaryDir dir;
    const QString syx = dir.filePath("a.syx"), csv = dir.filePath("sheet.csv");
    const QByteArray start = fileBytes(defaultImage());
    for (const sheetcases::Case &c : sheetcases::cases()) {
        SCOPED_TRACE(c.name);
        writeFile(syx, start);
        writeFile(csv, c.text);
        const ChildRun r = run({"--apply-records", csv, syx});
        if (c.errorLines.empty()) {
            EXPECT_EQ(r.code, 0) << r.err.toStdString();
            EXPECT_EQ(r.out, QStringLiteral("%1 %2 changed.\n")
                                 .arg(c.records.size())
                                 .arg(c.records.size() == 1 ? "record" : "records"));
            const ConfigImage after = imageOf(readFile(syx));
            for (const auto &[record, bytes] : c.records)
                EXPECT_EQ(RecordWords::bytes(after, record), bytes);
            continue;
        }
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        for (const int line : c.errorLines)
            EXPECT_TRUE(r.err.contains(QStringLiteral("vkvela: %1, line %2: ").arg(csv).arg(line)))
                << line << ": " << r.err.toStdString();
        EXPECT_EQ(r.err.count(u'\n'), static_cast<qsizetype>(c.errorLines.size()) + 1);
        EXPECT_EQ(readFile(syx), start);
    }
}

TEST(RecordsCommand, StoresInPlaceOnlyAWholeDumpAndSaysWhatFailed) {
    QTemporaryDir dir;
    const QString shortFile = dir.filePath("short.syx"), csv = dir.filePath("s.csv");
    const QString out = dir.filePath("out.syx");
    writeFile(shortFile, fileBytes(defaultImage()).left(100));
    writeFile(csv, "pot 1.1,Note On,1,60,0,127,,\n");

    const ChildRun refused = run({"--apply-records", csv, shortFile});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains("it is 100 bytes long") &&
                refused.err.contains("Give --output OUT.syx"))
        << refused.err.toStdString();
    EXPECT_EQ(readFile(shortFile).size(), 100);

    // Elsewhere, the short file is read as the editor opens it: over the built-in defaults.
    const ChildRun elsewhere = run({"--apply-records", csv, shortFile, "--output", out});
    EXPECT_EQ(elsewhere.code, 0) << elsewhere.err.toStdString();
    EXPECT_EQ(elsewhere.out, "1 record changed.\n");
    ConfigImage expected = defaultImage();
    expected.setPot(0, vkv::image::PotStatus, 0x90);
    expected.setPot(0, vkv::image::PotByte1, 60);
    EXPECT_EQ(readFile(out), fileBytes(expected));

    const struct {
        QStringList arguments;
        const char *says;
    } failures[] = {
        {{"--apply-records", dir.filePath("none.csv"), out}, "none.csv: the file is not there"},
        {{"--apply-records", csv}, "--apply-records needs the sheet and one .syx file"},
        {{"--records", dir.filePath("none.syx")}, "none.syx: no such file"},
        {{"--records", out, "--output", dir.path()}, "cannot write"},
        {{"--conflicts", out, "--output", csv}, "--output goes only with --records and"},
        {{"--records", out, "--apply-records", csv}, "cannot be combined"},
    };
    for (const auto &f : failures) {
        const ChildRun failed = run(f.arguments);
        EXPECT_EQ(failed.code, 1) << f.arguments.join(' ').toStdString();
        EXPECT_TRUE(failed.err.startsWith("vkvela: ") && failed.err.contains(f.says))
            << failed.err.toStdString();
        EXPECT_EQ(failed.out, "");
    }
}

TEST(RecordsCommand, ConflictsListsTheRecordsThatSendTheSameAndExits3) {
    QTemporaryDir dir;
    const QString syx = dir.filePath("a.syx");
    writeFile(syx, fileBytes(defaultImage()));
    const ChildRun some = run({"--conflicts", syx});
    EXPECT_EQ(some.code, 3) << some.err.toStdString();
    EXPECT_TRUE(some.out.startsWith("Controller 0 on channel 1: pot 1.1, pot 9.1\n"))
        << some.out.toStdString();
    EXPECT_TRUE(some.out.contains("\nNote On 48 on channel 1: button 1.1, button 2.1, button 3.1, "
                                  "button 4.1, button 5.1, button 6.1, button 7.1, button 8.1, "
                                  "button 9.1, button 10.1, button 11.1, button 12.1, button 13.1, "
                                  "button 14.1, button 15.1, button 16.1\n"))
        << some.out.toStdString();

    // Every pot a controller of its own, every button a note of its own.
    ConfigImage distinct = defaultImage();
    for (int p = 0; p < vkv::image::PotCount; ++p) {
        distinct.setPot(p, vkv::image::PotStatus, 0xB0 + p / 128);
        distinct.setPot(p, vkv::image::PotByte1, p % 128);
    }
    for (int b = 0; b < vkv::image::ButtonCount; ++b) {
        distinct.setButton(b, vkv::image::ButtonStatus, 0x9F);
        distinct.setButton(b, vkv::image::ButtonByte1, b);
    }
    writeFile(syx, fileBytes(distinct));
    const ChildRun none = run({"--conflicts", syx});
    EXPECT_EQ(none.code, 0) << none.out.toStdString();
    EXPECT_EQ(none.out + none.err, "");
}
