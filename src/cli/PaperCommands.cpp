#include "PaperCommands.h"

#include "CommandIo.h"
#include "CommandLine.h"
#include "ConfigurationSheet.h"
#include "PacedSchedule.h"

#include <QDate>
#include <QFileInfo>

namespace vkv::cli {

namespace {

using Io = CommandIo;

int sheet(const CommandLine &line) {
    image::ConfigImage image;
    if (!Io::readImage(line.sysexFile, image))
        return 1;
    const sheet::ConfigurationSheet::Heading heading{
        line.heading.isEmpty() ? QFileInfo(line.sysexFile).fileName() : line.heading,
        QDate::currentDate(), CommandLine::versionText()};
    const QByteArray pdf = sheet::ConfigurationSheet::pdf(
        image, heading, line.letter ? QPageSize::Letter : QPageSize::A4);
    if (pdf.isEmpty()) {
        Io::fail("the sheet could not be made.");
        return 1;
    }
    return Io::write(line.outputFile, pdf) ? 0 : 1;
}

} // namespace

int PaperCommands::run(const CommandLine &line) {
    if (line.action == CommandLine::Action::Sheet)
        return sheet(line);
    image::ConfigImage image;
    if (!Io::readImage(line.sysexFile, image))
        return 1;
    return Io::write(line.outputFile, transfer::PacedSchedule::midiFile(image.raw(), line.speed))
               ? 0
               : 1;
}

} // namespace vkv::cli
