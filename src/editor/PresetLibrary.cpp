#include "PresetLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QStringDecoder>
#include <algorithm>
#include <vector>

namespace vkv::editor {

namespace {

// A preset file is a few kilobytes; anything this large is not one, and reading it whole would
// only cost memory.
constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;

struct IniEntry {
    QStringView key;
    std::optional<QStringView> value; // none for a line without "="
};

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.sliced(first, last - first);
}

// A line holding control characters (NUL, escape, ...) is not text: skipping it keeps the good
// lines of a damaged file and lets a binary file yield nothing.
bool isTextLine(QStringView line) {
    return std::none_of(line.begin(), line.end(), [](QChar c) {
        return (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F;
    });
}

QStringView unquote(QStringView value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

// Files with a byte-order mark are read in its encoding, others as UTF-8 when they are valid
// UTF-8 and as Latin-1 otherwise, so an 8-bit file from an older editor still loads.
QString decode(const QByteArray &bytes) {
    if (const auto encoding = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*encoding);
        return decoder(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

QString readPresetFile(const QString &path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxFileBytes) // a directory or a pipe is no preset file
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // read() sets aside as many bytes as it is asked for before it reads.
    return decode(file.read(info.size()));
}

// The entries of every "[section]" block of the file, in file order, the section name matched
// regardless of letter case. Blank lines and comment lines (";" or "#") are no entries; a line
// without "=" is a key without a value; a line with an empty key is skipped, since it could be
// neither found nor applied.
std::vector<IniEntry> sectionEntries(QStringView text, QLatin1StringView section) {
    std::vector<IniEntry> entries;
    bool inSection = false;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QStringView line = trimBlanks(text.sliced(start, end - start));
        start = end + 1;

        if (line.isEmpty() || !isTextLine(line) || line.front() == u';' || line.front() == u'#')
            continue;
        if (line.front() == u'[') {
            // A header without its closing bracket still ends the section above it, so its
            // lines never land in a preset section by mistake.
            const qsizetype close = line.indexOf(u']');
            inSection =
                close > 0 &&
                trimBlanks(line.sliced(1, close - 1)).compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;

        const qsizetype equals = line.indexOf(u'=');
        IniEntry entry;
        if (equals < 0) {
            entry.key = line;
        } else {
            entry.key = trimBlanks(line.first(equals));
            entry.value = unquote(trimBlanks(line.sliced(equals + 1)));
        }
        if (!entry.key.isEmpty())
            entries.push_back(entry);
    }
    return entries;
}

QString limitedName(QStringView value) {
    QStringView name = value.first(std::min<qsizetype>(value.size(), PresetLibrary::NameSize - 1));
    if (name.size() < value.size() && !name.isEmpty() && name.back().isHighSurrogate())
        name.chop(1); // never keep half a character
    return name.toString();
}

void fillLists(QStringView text, QLatin1StringView section, QStringList &keys, QStringList &names) {
    qsizetype blockUsed = 1; // the block's closing terminator
    for (const IniEntry &entry : sectionEntries(text, section)) {
        blockUsed += entry.key.size() + 1;
        if (blockUsed > PresetLibrary::KeyBlockSize)
            break;
        keys.append(entry.key.toString());
        names.append(entry.value ? limitedName(*entry.value)
                                 : QString::fromLatin1(PresetLibrary::UntitledName));
    }
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool isFormatSpace(QChar c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

int findKey(const QStringList &keys, QStringView keyText) {
    for (qsizetype i = 0; i < keys.size(); ++i)
        if (keys[i].compare(keyText, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

QString nameOrUnknown(const QStringList &names, int index) {
    return index >= 0 ? names[index] : QString::fromLatin1(PresetLibrary::UnknownName);
}

int chosen(const QStringList &names, int selectedIndex, const QString &comboText) {
    if (selectedIndex < 0 || selectedIndex >= names.size())
        return -1;
    return comboText == names[selectedIndex] ? selectedIndex : -1;
}

} // namespace

void PresetLibrary::LoadPresets(const QString &folder) {
    buttKeys.clear();
    buttNames.clear();
    potKeys.clear();
    potNames.clear();
    const QString text = readPresetFile(presetFilePath(folder));
    fillLists(text, QLatin1StringView(ButtSection), buttKeys, buttNames);
    fillLists(text, QLatin1StringView(PotSection), potKeys, potNames);
}

QString PresetLibrary::presetFilePath(const QString &folder) {
    return QDir(folder).filePath(QString::fromLatin1(FileName));
}

int PresetLibrary::findPotPreset(QStringView keyText) const {
    return findKey(potKeys, keyText);
}

int PresetLibrary::findButtPreset(QStringView keyText) const {
    return findKey(buttKeys, keyText);
}

QString PresetLibrary::potPresetName(QStringView keyText) const {
    return nameOrUnknown(potNames, findPotPreset(keyText));
}

QString PresetLibrary::buttPresetName(QStringView keyText) const {
    return nameOrUnknown(buttNames, findButtPreset(keyText));
}

int PresetLibrary::chosenPotPreset(int selectedIndex, const QString &comboText) const {
    return chosen(potNames, selectedIndex, comboText);
}

int PresetLibrary::chosenButtPreset(int selectedIndex, const QString &comboText) const {
    return chosen(buttNames, selectedIndex, comboText);
}

std::optional<std::uint32_t> PresetLibrary::parseKey(QStringView key) {
    key = key.first(std::min<qsizetype>(key.size(), KeyWorkSize - 1));
    qsizetype i = 0;
    while (i < key.size() && isFormatSpace(key[i]))
        ++i;
    bool negative = false;
    if (i < key.size() && (key[i] == u'+' || key[i] == u'-')) {
        negative = key[i] == u'-';
        ++i;
    }
    // "0x" counts as a prefix only when a digit follows; otherwise the "0" is the number.
    if (i + 2 < key.size() && key[i] == u'0' && (key[i + 1] == u'x' || key[i + 1] == u'X') &&
        hexDigit(key[i + 2]) >= 0)
        i += 2;
    const qsizetype firstDigit = i;
    std::uint32_t value = 0;
    for (int digit; i < key.size() && (digit = hexDigit(key[i])) >= 0; ++i)
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    if (i == firstDigit)
        return std::nullopt;
    return negative ? 0u - value : value;
}

} // namespace vkv::editor
