#include "FormFont.h"

#include <QFontDatabase>

namespace vkv::controls {

QFont formFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(11);
    font.setStretch(QFont::SemiCondensed);
    return font;
}

} // namespace vkv::controls
