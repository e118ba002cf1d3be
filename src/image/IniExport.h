#pragma once

#include <QByteArray>
#include <QString>

namespace vkv::image {

class ConfigImage;

// The configuration as readable text in the input format of the dump converter "dumpgen": six
// comment lines, a [TYPE] section, then one line for each of the 256 pots and 128 buttons with
// their bytes in hexadecimal, every line ending in CR LF. Values are written as the Pots and
// Buttons pages show them, so a byte the pages bound is written bounded: a status below 0x90 as
// "90", a minimum or maximum above 0x7F as "7F", a mode other than 0, 1, 2 as a bare "@". The
// image is only read.
class IniExport {
public:
    // The whole file. `buildLabel` is the main window's build label ("Test Release : ..."),
    // `generatedOn` the local date and time as the user's locale writes them.
    static QByteArray render(const ConfigImage &image, const QString &buildLabel,
                             const QString &generatedOn);
    // The current local date in the locale's short format and time in its long format.
    static QString now();
};

} // namespace vkv::image
