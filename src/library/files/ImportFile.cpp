#include "ImportFile.h"

#include "DumpFile.h"
#include "EntryName.h"
#include "MidiFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace vkv::library {

namespace {

const QLatin1String MidiSuffixes[] = {QLatin1String(".mid"), QLatin1String(".midi")};

bool namedMidi(const QString &fileName) {
    return std::any_of(std::begin(MidiSuffixes), std::end(MidiSuffixes),
                       [&](QLatin1String s) { return fileName.endsWith(s, Qt::CaseInsensitive); });
}

ImportFile::Found none(const QString &why) {
    return {{}, why};
}

// Every whole dump of this box among the file's SysEx messages; why there is none otherwise.
ImportFile::Found dumpsOf(const midifile::MidiFile::Read &read) {
    ImportFile::Found found;
    int others = 0;
    for (const QByteArray &sysex : read.sysex) {
        if (!DumpFile::refusal(sysex).isEmpty()) {
            ++others;
            continue;
        }
        image::DumpBytes dump;
        std::copy(sysex.begin(), sysex.end(), dump.begin());
        found.dumps.push_back(dump);
    }
    if (!found.dumps.empty())
        return found;
    if (read.sysex.empty() && read.cut.isEmpty() && !read.error.isEmpty())
        return none(read.error);
    QStringList what;
    if (others > 0)
        what << (others == 1 ? QStringLiteral("1 SysEx message of another kind")
                             : QStringLiteral("%1 SysEx messages of other kinds").arg(others));
    what << read.cut;
    if (!read.error.isEmpty())
        what << read.error;
    return none(QStringLiteral("it holds no configuration dump") +
                (what.isEmpty() ? QString()
                                : QStringLiteral(" (") + what.join(QStringLiteral("; ")) + u')'));
}

} // namespace

ImportFile::Found ImportFile::read(const QString &path) {
    // What is no regular file (a pipe would never end) or cannot be opened is said as a .syx
    // file's read says it.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        Found found;
        DumpFile::read(path, &found.why);
        return found;
    }
    if (file.peek(4) != "MThd" && !namedMidi(QFileInfo(path).fileName())) {
        file.close();
        Found found;
        if (auto dump = DumpFile::read(path, &found.why))
            found.dumps.push_back(*dump);
        return found;
    }
    // One byte more than the most tells a larger file without reading a huge one.
    const QByteArray bytes = file.read(MaxMidiBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return none(file.errorString());
    if (bytes.size() > MaxMidiBytes)
        return none(QStringLiteral("it is larger than the %1 MB a MIDI file is read to")
                        .arg(MaxMidiBytes / (1024 * 1024)));
    return dumpsOf(midifile::MidiFile::read(bytes));
}

QString ImportFile::name(const QString &fileName) {
    QString base = fileName;
    for (const QLatin1String suffix :
         {QLatin1String(EntryName::Suffix), MidiSuffixes[0], MidiSuffixes[1]})
        if (base.endsWith(suffix, Qt::CaseInsensitive)) {
            base.chop(suffix.size());
            break;
        }
    return base;
}

QString ImportFile::numbered(const QString &name, int index, int count) {
    return count > 1 ? name + u' ' + QString::number(index + 1) : name;
}

} // namespace vkv::library
