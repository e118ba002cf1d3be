#include "PaperOptions.h"

#include "CommandLine.h"
#include "PacedSender.h"

#include <QCommandLineParser>

namespace vkv::cli {

namespace {

using transfer::PacedSender;

} // namespace

PaperOptions::PaperOptions()
    : sheet("sheet",
            "Given two files FILE.syx OUT.pdf, print the configuration of FILE.syx as a PDF "
            "sheet: every bank's knobs and buttons with what they send, four banks to a "
            "landscape page."),
      exportMid("export-mid",
                QStringLiteral("Given two files FILE.syx OUT.mid, write the configuration as a "
                               "Standard MIDI File that sends it as \"Send Sysex\" does, paced at "
                               "--speed (default %1), for a DAW to play to the box.")
                    .arg(PacedSender::DefaultSpeed)),
      heading("heading",
              "With --sheet: the name the sheet's header gives the configuration "
              "(default the file's name).",
              "TEXT"),
      page("page", "With --sheet: the paper, a4 (the default) or letter.", "SIZE") {}

QString PaperOptions::readSpeed(const QString &text, int &speed) {
    bool number = false;
    const int value = text.toInt(&number);
    if (!number || value < PacedSender::MinSpeed || value > PacedSender::MaxSpeed)
        return QStringLiteral("--speed must be a whole number from %1 to %2, not \"%3\".")
            .arg(PacedSender::MinSpeed)
            .arg(PacedSender::MaxSpeed)
            .arg(text);
    speed = value;
    return {};
}

QString PaperOptions::parse(const QCommandLineParser &parser, const QCommandLineOption &speed,
                            CommandLine &result) const {
    const QStringList files = parser.positionalArguments();
    const bool printing = result.action == CommandLine::Action::Sheet;
    const QString name = printing ? QStringLiteral("--sheet") : QStringLiteral("--export-mid");
    if (files.size() != 2)
        return QStringLiteral("%1 needs two file names, the .syx file and the %2 file to write; "
                              "%3 were given.")
            .arg(name, printing ? QStringLiteral("PDF") : QStringLiteral("MIDI"))
            .arg(files.size());
    result.sysexFile = files[0];
    result.outputFile = files[1];
    if (printing) {
        result.heading = parser.value(heading);
        if (parser.isSet(page)) {
            const QString size = parser.value(page).toLower();
            if (size != QLatin1String("a4") && size != QLatin1String("letter"))
                return "--page takes a4 or letter, not \"" + parser.value(page) + "\".";
            result.letter = size == QLatin1String("letter");
        }
        return {};
    }
    return parser.isSet(speed) ? readSpeed(parser.value(speed), result.speed) : QString();
}

} // namespace vkv::cli
