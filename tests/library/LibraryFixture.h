// What the library's headless tests share: configurations to store, a look at what the library
// lists, and a library folder of each test's own in a temporary folder.
#pragma once

#include "Library.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <vector>

inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace libraryfixture {

using vkv::image::DumpBytes;
using vkv::library::Library;

inline DumpBytes defaults() {
    vkv::image::ConfigImage image;
    EXPECT_TRUE(vkv::image::loadDefaultImage(image));
    return image.bytes();
}

// The defaults with pot or button records set: {pot?, id, status, byte 1}.
struct Record {
    bool pot;
    int id, status, byte1;
};
inline DumpBytes withRecords(std::initializer_list<Record> records) {
    DumpBytes dump = defaults();
    for (const Record &r : records) {
        const int at = r.pot ? vkv::image::potOffset(r.id) : vkv::image::buttonOffset(r.id);
        dump[at] = vkv::image::storeStatus(r.status);
        dump[at + 1] = static_cast<std::uint8_t>(r.byte1);
    }
    return dump;
}

inline QByteArray bytesOf(const DumpBytes &dump) {
    return QByteArray(reinterpret_cast<const char *>(dump.data()), vkv::image::DumpSize);
}

inline std::optional<Library::Entry> find(Library &library, const QString &title) {
    for (const Library::Entry &entry : library.entries())
        if (entry.title() == title)
            return entry;
    return std::nullopt;
}

inline QStringList titles(const std::vector<Library::Entry> &entries) {
    QStringList list;
    for (const auto &entry : entries)
        list << entry.title();
    list.sort();
    return list;
}

class LibraryTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder() const { return dir.path() + "/library"; }
    QStringList files(const QString &sub = {}) const {
        return QDir(folder() + "/" + sub).entryList(QDir::Files);
    }
};

} // namespace libraryfixture
