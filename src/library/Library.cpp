#include "Library.h"

#include <QStandardPaths>

namespace vkv::library {

Library::Library(int busyTimeoutMs)
    : files(busyTimeoutMs), entryList(files), events(files, entryList), bin(files, entryList),
      importer(files, entryList), finder(files), lists(files, entryList) {}

QString Library::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vkvela/library");
}

bool Library::open(const QString &folder) {
    finder.clear();
    if (!files.open(folder, [this] { return static_cast<int>(entryList.entries().size()); }))
        return false;
    // The slots an index made anew (or a list written by hand) does not know yet.
    lists.readAll();
    return true;
}

bool Library::rename(const Entry &entry, const QString &name) {
    if (!entryList.rename(entry, name))
        return false;
    lists.follow(entry.id);
    return true;
}

std::optional<QString> Library::restore(const Trashed &trashed, bool *again) {
    auto name = bin.restore(trashed, again);
    if (name)
        lists.follow(trashed.id);
    return name;
}

std::vector<Library::Entry> Library::entries() {
    // How each captured configuration came first is the history's to say.
    return entryList.entries(events.firstCame());
}

} // namespace vkv::library
