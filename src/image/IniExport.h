#pragma once

#include "ConfigImage.h"

#include <QByteArray>
#include <QString>

namespace vkv::image {

class RecordFields;

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
    // The line of one pot or button record (0..255, 0..127) as the file writes it, without what
    // ends it: " 1.3 = B0 02 [00-7F]", " 2.1 = 90 30 7F @ON/OFF".
    static QString potLine(const DumpBytes &dump, int pot);
    static QString buttonLine(const DumpBytes &dump, int button);
    // The same for a record of either kind.
    static QString recordLine(const RecordFields &kind, const DumpBytes &dump, int record);
    // The current local date in the locale's short format and time in its long format.
    static QString now();
};

} // namespace vkv::image
