#pragma once

#include "ConfigImage.h"

#include <QString>
#include <vector>

namespace vkv::library {

// The configurations a file brings to an import: a .syx file its one dump, as DumpFile reads it;
// a Standard MIDI File (a DAW's song, or one the program wrote) every SysEx in it that is a whole
// dump of this box, in the file's order, whatever else it holds. A file that brings none says why.
// A file is read as a MIDI file when it begins as one, or when its name says it is one (so that a
// damaged one is said to be no MIDI file rather than the wrong size).
class ImportFile {
public:
    // A MIDI file larger than this is no song that carries a dump; it is not read.
    static constexpr qint64 MaxMidiBytes = 64 * 1024 * 1024;

    struct Found {
        std::vector<image::DumpBytes> dumps;
        QString why; // when there are none
    };
    static Found read(const QString &path);

    // The name a file's dumps enter under: its name without ".syx", ".mid" or ".midi".
    static QString name(const QString &fileName);
    // The name of the dump `index` (from 0) of the `count` one file holds: `name` itself for one,
    // numbered for several ("Song 1", "Song 2", ...).
    static QString numbered(const QString &name, int index, int count);
};

} // namespace vkv::library
