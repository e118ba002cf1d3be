#include "RecordsCommands.h"

#include "BulkEdit.h"
#include "CommandIo.h"
#include "CommandLine.h"
#include "Conflicts.h"
#include "DumpFile.h"
#include "RecordSheet.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace vkv::cli {

namespace {

using Io = CommandIo;

int records(const CommandLine &line) {
    image::ConfigImage image;
    if (!Io::readImage(line.sysexFile, image))
        return 1;
    const QByteArray sheet = records::RecordSheet::write(image);
    if (line.outputFile.isEmpty()) {
        std::fwrite(sheet.constData(), 1, static_cast<std::size_t>(sheet.size()), stdout);
        std::fflush(stdout);
        return 0;
    }
    return Io::write(line.outputFile, sheet) ? 0 : 1;
}

// A sheet's text: a regular file read whole.
std::optional<QByteArray> readSheet(const QString &path) {
    QString why;
    QFile file(path);
    if (!QFileInfo(path).exists())
        why = QStringLiteral("the file is not there");
    else if (!QFileInfo(path).isFile())
        why = QStringLiteral("it is not a regular file");
    else if (!file.open(QIODevice::ReadOnly))
        why = file.errorString();
    if (why.isEmpty()) {
        QByteArray text = file.readAll();
        if (file.error() == QFileDevice::NoError)
            return text;
        why = file.errorString();
    }
    Io::fail(path + ": " + why);
    return std::nullopt;
}

int apply(const CommandLine &line) {
    const auto text = readSheet(line.sheetFile);
    if (!text)
        return 1;
    // Written over only when it is a configuration dump and nothing else; any other file would
    // lose what it held.
    image::ConfigImage image;
    if (line.outputFile.isEmpty()) {
        QString why;
        const auto dump = library::DumpFile::read(line.sysexFile, &why);
        if (!dump) {
            Io::fail(line.sysexFile + ": " + why +
                     "; only a whole configuration dump is written over. Give --output OUT.syx "
                     "to store the result in another file.");
            return 1;
        }
        image.bytes() = *dump;
    } else if (!Io::readImage(line.sysexFile, image)) {
        return 1;
    }
    const records::RecordSheet::Read sheet = records::RecordSheet::read(*text);
    if (!sheet.ok()) {
        for (const records::SheetError &error : sheet.errors)
            Io::fail(QStringLiteral("%1, line %2: %3")
                         .arg(line.sheetFile)
                         .arg(error.line)
                         .arg(error.text));
        Io::fail(QStringLiteral("the sheet has %1 %2; nothing was changed.")
                     .arg(sheet.errors.size())
                     .arg(sheet.errors.size() == 1 ? "error" : "errors"));
        return 2;
    }
    const image::DumpBytes before = image.bytes();
    records::BulkEdit::apply(image, sheet.rows);
    const int changed = records::BulkEdit::changedRecords(before, image.bytes());
    image.frame();
    const QByteArray bytes(reinterpret_cast<const char *>(image.raw()), image::DumpSize);
    if (!Io::write(line.outputFile.isEmpty() ? line.sysexFile : line.outputFile, bytes))
        return 1;
    Io::print(stdout, changed == 1 ? QStringLiteral("1 record changed.\n")
                                   : QStringLiteral("%1 records changed.\n").arg(changed));
    return 0;
}

int conflicts(const CommandLine &line) {
    image::ConfigImage image;
    if (!Io::readImage(line.sysexFile, image))
        return 1;
    const auto groups = records::Conflicts::find(image);
    for (const records::Conflicts::Group &group : groups)
        Io::print(stdout, records::Conflicts::line(image, group) + u'\n');
    return groups.empty() ? 0 : 3;
}

} // namespace

int RecordsCommands::run(const CommandLine &line) {
    switch (line.action) {
    case CommandLine::Action::Records:
        return records(line);
    case CommandLine::Action::ApplyRecords:
        return apply(line);
    default:
        return conflicts(line);
    }
}

} // namespace vkv::cli
