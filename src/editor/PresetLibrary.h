#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace vkv::editor {

// Named pot and button settings, read once from "vkvvelapresets.ini" in a folder the program
// chooses. Each entry maps the hexadecimal text of a record's bytes (the key) to a name; entry i
// of a names list belongs to entry i of its keys list. The lists keep file order and duplicates,
// so item i of a page's preset combo box, filled from a names list, is entry i here.
//
// No widgets: the Pots and Buttons pages ask this class for names and keys, and apply a chosen key
// through their own controls.
class PresetLibrary {
public:
    static constexpr const char *FileName = "vkvvelapresets.ini";
    static constexpr const char *ButtSection = "BUTTONPRESETS";
    static constexpr const char *PotSection = "POTPRESETS";
    static constexpr const char *UnknownName = "Unknown";
    static constexpr const char *UntitledName = "Untitled"; // a key line without "="

    // Reading limits, in characters. A section's keys share one block, each key with its
    // terminator and the block with a closing one; keys that do not fit whole are not listed.
    static constexpr int KeyBlockSize = 16384;
    static constexpr int NameSize = 2048;    // names keep at most NameSize - 1 characters
    static constexpr int KeyWorkSize = 1024; // keys are parsed from at most KeyWorkSize - 1

    // Empties the four lists, then fills them from the preset file in `folder`. A missing,
    // unreadable or non-text file leaves them empty; nothing is reported.
    void LoadPresets(const QString &folder);
    static QString presetFilePath(const QString &folder);

    const QStringList &ButtPresetKeys() const { return buttKeys; }
    const QStringList &ButtPresetNames() const { return buttNames; }
    const QStringList &PotPresetKeys() const { return potKeys; }
    const QStringList &PotPresetNames() const { return potNames; }

    // Record -> name. The first entry whose key equals `keyText` regardless of letter case (and
    // otherwise character by character); -1 or "Unknown" when there is none.
    int findPotPreset(QStringView keyText) const;
    int findButtPreset(QStringView keyText) const;
    QString potPresetName(QStringView keyText) const;
    QString buttPresetName(QStringView keyText) const;
    // The entry a preset combo box has chosen: `selectedIndex` when it names an entry and the
    // combo's text is exactly that entry's name (letter case included), else -1. Typed text
    // therefore chooses nothing unless it is the whole name of the selected item.
    int chosenPotPreset(int selectedIndex, const QString &comboText) const;
    int chosenButtPreset(int selectedIndex, const QString &comboText) const;

    // A key read like the formatted-input "%x" conversion: leading white space, an optional
    // sign, an optional 0x or 0X, then hexadecimal digits up to the first other character.
    // Digits beyond 32 bits push the top ones out. Nothing when no digit starts the number.
    static std::optional<std::uint32_t> parseKey(QStringView key);

private:
    QStringList buttKeys;
    QStringList buttNames;
    QStringList potKeys;
    QStringList potNames;
};

} // namespace vkv::editor
