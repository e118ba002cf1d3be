#include "SetListCommands.h"

#include "CommandIo.h"
#include "CommandLine.h"

namespace vkv::cli {

namespace {

using Io = CommandIo;
using library::Library;
using library::SetList;

int show(Library &library, const CommandLine &line) {
    QStringList damaged;
    const auto list = library.setList(line.setList, &damaged);
    if (!list) {
        Io::fail(library.error());
        return 1;
    }
    for (const QString &refused : damaged)
        Io::fail(QStringLiteral("warning: ") + refused +
                 QStringLiteral("; the line was left out."));
    QString out = QStringLiteral("channel\t") + SetList::channelText(list->channel) + u'\n';
    for (const SetList::Slot &slot : list->slotList)
        out += QString::number(slot.program) + u'\t' + slot.name + u'\t' +
               (slot.missing ? QStringLiteral("missing") : QString()) + u'\n';
    Io::print(stdout, out);
    return 0;
}

int add(Library &library, const CommandLine &line) {
    const auto entry = library.named(line.name);
    if (!entry) {
        Io::fail(library.error());
        return 1;
    }
    if (!library.addToSetList(line.setList, line.program, *entry)) {
        Io::fail(library.error());
        return 1;
    }
    return 0;
}

int remove(Library &library, const CommandLine &line) {
    if (!library.removeFromSetList(line.setList, line.program)) {
        Io::fail(library.error());
        return 1;
    }
    return 0;
}

} // namespace

int SetListCommands::run(const CommandLine &line, Library &library) {
    int code = 1;
    switch (line.action) {
    case CommandLine::Action::SetListShow:
        code = show(library, line);
        break;
    case CommandLine::Action::SetListAdd:
        code = add(library, line);
        break;
    case CommandLine::Action::SetListRemove:
        code = remove(library, line);
        break;
    default:
        break;
    }
    for (const QString &notice : library.takeNotices())
        Io::fail(notice);
    return code;
}

} // namespace vkv::cli
