#pragma once

#include <QString>
#include <vector>

namespace vkv::library {

// The files below a folder as an import meets them: each regular file, and each thing passed
// over with why: a link ("a link; not followed"), a name that is not UTF-8 ("its name is not
// UTF-8"), a folder that cannot be read, anything that is no regular file, and one folder the
// caller leaves out. The names come straight from the system, so that one that is no UTF-8 is
// seen as such, never read as another name that is not there.
class FolderWalk {
public:
    struct File {
        QString path;  // to open it
        QString shown; // below the folder walked: "songs/2026/Ballad.syx"
    };
    struct Passed {
        QString shown;
        QString why;
    };

    // Walks `folder` and the folders within it, in the order of their names. `leftOut`: a folder
    // (its canonical path) passed over as a whole, saying `leftOutWhy`.
    FolderWalk(const QString &folder, const QString &leftOut = {}, const QString &leftOutWhy = {});

    const std::vector<File> &files() const { return found; }
    const std::vector<Passed> &passed() const { return passedOver; }

private:
    void walk(const QByteArray &folder, const QString &shown);

    QString leftOut, leftOutWhy;
    std::vector<File> found;
    std::vector<Passed> passedOver;
};

} // namespace vkv::library
