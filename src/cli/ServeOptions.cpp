#include "ServeOptions.h"

#include "CommandLine.h"
#include "PaperOptions.h"

#include <QCommandLineParser>

namespace vkv::cli {

ServeOptions::ServeOptions()
    : serve("serve",
            "Run without a window: a program change on the list's channel, written to the "
            "program's own port Motors (or from --recall-in), recalls its slot of --setlist NAME "
            "into the box on --out, paced at --speed (or --fast), verified on --in with --verify. "
            "One line an event on the standard output; ends on SIGINT or SIGTERM."),
      setList("setlist", "With --serve: the set list whose slots program changes recall.", "NAME"),
      recallIn("recall-in",
               "With --serve: take program changes from PORT instead of offering the program's "
               "own ports.",
               "PORT") {}

QString ServeOptions::parse(const QCommandLineParser &parser, const Shared &shared,
                            CommandLine &result) const {
    if (!parser.positionalArguments().isEmpty())
        return "--serve takes no file: \"" + parser.positionalArguments().constFirst() + "\".";
    result.setList = parser.value(setList);
    if (result.setList.isEmpty())
        return QStringLiteral("--serve needs --setlist NAME, the set list to recall from.");
    if (!parser.isSet(shared.out))
        return QStringLiteral("--serve needs --out PORT, the port the box listens on.");
    result.outPort = parser.value(shared.out);
    result.inPort = parser.value(shared.in);
    result.recallIn = parser.value(recallIn);
    if (result.outPort.isEmpty() || (parser.isSet(shared.in) && result.inPort.isEmpty()) ||
        (parser.isSet(recallIn) && result.recallIn.isEmpty()))
        return QStringLiteral("a port's name is empty.");
    result.fast = parser.isSet(shared.fast);
    if (parser.isSet(shared.speed)) {
        if (result.fast)
            return QStringLiteral("--speed and --fast cannot be combined.");
        const QString wrong = PaperOptions::readSpeed(parser.value(shared.speed), result.speed);
        if (!wrong.isEmpty())
            return wrong;
    }
    result.verify = parser.isSet(shared.verify);
    if (result.verify && !parser.isSet(shared.in))
        return QStringLiteral("--verify needs --in PORT, the port the box answers on.");
    return {};
}

} // namespace vkv::cli
