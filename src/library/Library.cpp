#include "Library.h"

#include <QStandardPaths>

namespace vkv::library {

Library::Library(int busyTimeoutMs)
    : files(busyTimeoutMs), entryList(files), events(files, entryList), bin(files, entryList),
      importer(files, entryList), finder(files) {}

QString Library::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vkvela/library");
}

bool Library::open(const QString &folder) {
    finder.clear();
    return files.open(folder, [this] { return static_cast<int>(entryList.entries().size()); });
}

std::vector<Library::Entry> Library::entries() {
    // How each captured configuration came first is the history's to say.
    return entryList.entries(events.firstCame());
}

} // namespace vkv::library
