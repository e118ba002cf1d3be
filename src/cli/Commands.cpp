#include "Commands.h"

#include "BuildStamp.h"
#include "CommandIo.h"
#include "CommandLine.h"
#include "CommandPorts.h"
#include "ConfigImage.h"
#include "FindSpeedCommand.h"
#include "ImageComparison.h"
#include "IniExport.h"
#include "LibraryCommands.h"
#include "PaperCommands.h"
#include "ReceiveCommand.h"
#include "RecordsCommands.h"
#include "SendCommand.h"
#include "ServeCommand.h"

namespace vkv::cli {

namespace {

using Io = CommandIo;

int exportIni(const CommandLine &line) {
    image::ConfigImage image;
    if (!Io::readImage(line.sysexFile, image))
        return 1;
    const QByteArray text =
        image::IniExport::render(image, BuildStamp::releaseLabel(), image::IniExport::now());
    return Io::write(line.iniFile, text) ? 0 : 1;
}

// diff(1)'s exit codes, so scripts can tell "they differ" from "it failed".
int diff(const CommandLine &line) {
    image::ConfigImage a, b;
    if (!Io::readImage(line.sysexFile, a) || !Io::readImage(line.secondFile, b))
        return 2;
    const auto differences = image::ImageComparison::compare(a.bytes(), b.bytes());
    Io::print(stdout, image::ImageComparison::asText(differences));
    return differences.empty() ? 0 : 1;
}

} // namespace

int Commands::run(const CommandLine &line) {
    switch (line.action) {
    case CommandLine::Action::ListPorts:
        return CommandPorts::list();
    case CommandLine::Action::Send:
        return SendCommand::run(line);
    case CommandLine::Action::Receive:
        return ReceiveCommand::run(line);
    case CommandLine::Action::ExportIni:
        return exportIni(line);
    case CommandLine::Action::Diff:
        return diff(line);
    case CommandLine::Action::FindSpeed:
        return FindSpeedCommand::run(line);
    case CommandLine::Action::LibraryList:
    case CommandLine::Action::LibraryAdd:
    case CommandLine::Action::LibraryGet:
    case CommandLine::Action::LibraryHistory:
    case CommandLine::Action::LibrarySearch:
    case CommandLine::Action::SetListShow:
    case CommandLine::Action::SetListAdd:
    case CommandLine::Action::SetListRemove:
        return LibraryCommands::run(line);
    case CommandLine::Action::Records:
    case CommandLine::Action::ApplyRecords:
    case CommandLine::Action::Conflicts:
        return RecordsCommands::run(line);
    case CommandLine::Action::Serve:
        return ServeCommand::run(line);
    case CommandLine::Action::Sheet:
    case CommandLine::Action::ExportMid:
        return PaperCommands::run(line);
    default:
        Io::fail("no such command.");
        return 1;
    }
}

} // namespace vkv::cli
