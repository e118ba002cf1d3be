// The preset file reader: any bytes as the preset file beside the program.
#include "FuzzSupport.h"
#include "PresetLibrary.h"

using vkv::editor::PresetLibrary;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::startApplication();
    fuzz::endAtExit(nullptr);
    return 0;
}

namespace {

void checkLists(const PresetLibrary &library, const QStringList &keys, const QStringList &names,
                bool pots) {
    fuzz::check(keys.size() == names.size(), "one name for each key");
    qsizetype block = 1;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        block += keys[i].size() + 1;
        fuzz::check(!keys[i].isEmpty(), "no empty key");
        fuzz::check(names[i].size() < PresetLibrary::NameSize, "names are limited");
        const int found = pots ? library.findPotPreset(keys[i]) : library.findButtPreset(keys[i]);
        fuzz::check(found >= 0 && found <= i, "every key is found, the first of equal ones");
        const int chosen = pots ? library.chosenPotPreset(static_cast<int>(i), names[i])
                                : library.chosenButtPreset(static_cast<int>(i), names[i]);
        fuzz::check(chosen == i, "choosing a name chooses its entry");
        (void)PresetLibrary::parseKey(keys[i]);
    }
    fuzz::check(block <= PresetLibrary::KeyBlockSize, "the keys fit their block");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::writeInput(PresetLibrary::FileName, data, size);
    PresetLibrary library;
    library.LoadPresets(fuzz::scratch().path());
    checkLists(library, library.PotPresetKeys(), library.PotPresetNames(), true);
    checkLists(library, library.ButtPresetKeys(), library.ButtPresetNames(), false);
    return 0;
}
