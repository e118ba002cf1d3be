#pragma once

#include <QString>

namespace vkv::cli {

// When this program was built, in the words the window's caption and its build label show it and
// the INI export carries, wherever the export is made (the window or the command line): one
// stamp for the whole program.
class BuildStamp {
public:
    // "Nov 23 2002" and "10:15:34".
    static QString date();
    static QString time();
    // "Test Release : <date> : <time>".
    static QString releaseLabel();
};

} // namespace vkv::cli
