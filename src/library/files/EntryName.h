#pragma once

#include <QString>

namespace vkv::library {

// The names of the library's configurations. A named configuration is the file named after it
// ("Live set 2026" is "Live set 2026.syx"), so a name must be one every disk the library may be
// copied or synced to can hold as a file's name, and it must not hide the file. Two names are
// one when a disk could take them for one file: case and Unicode normalisation do not count.
class EntryName {
public:
    // Bytes, in UTF-8: with ".syx" and a copy's " (2)" well within the 255 most systems allow.
    static constexpr int MaxBytes = 200;
    static constexpr auto Suffix = ".syx";

    // Why `name` can't name a configuration, in words for the user, or "" when it can.
    static QString refusal(const QString &name);
    // "Live set 2026.syx".
    static QString fileName(const QString &name);
    // The name a file of the library's folder gives its configuration: its name without ".syx".
    static QString fromFile(const QString &fileName);
    // A name made of any text (a file's name from elsewhere, a port's): what no name may hold
    // becomes "-", blanks and dots at its ends go, a device's name of Windows gets a "-", and it
    // is cut to fit. "" when nothing is left; otherwise a name refusal() takes.
    static QString fitted(const QString &text);
    // Whether two names would name one file on a disk that does not tell case apart, or that
    // normalises Unicode (an "é" of one character or of two).
    static bool same(const QString &a, const QString &b);
    // What same() compares: equal for names that are one.
    static QString folded(const QString &name);
};

} // namespace vkv::library
