#include "ConfigImage.h"

#include <QFile>
#include <algorithm>
#include <cstdio>

namespace vkv::image {

std::string bankNumberText(int bank, int number) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d", bank, number);
    return text;
}

ConfigImage::ConfigImage() {
    frame();
}

std::uint8_t ConfigImage::pot(int pot, int field) const {
    const std::uint8_t stored = data.at(potOffset(pot, field));
    return field == PotStatus ? readStatus(stored) : stored;
}

void ConfigImage::setPot(int pot, int field, int value) {
    data.at(potOffset(pot, field)) =
        field == PotStatus ? storeStatus(value) : static_cast<std::uint8_t>(value);
}

std::uint8_t ConfigImage::button(int button, int field) const {
    const std::uint8_t stored = data.at(buttonOffset(button, field));
    return field == ButtonStatus ? readStatus(stored) : stored;
}

void ConfigImage::setButton(int button, int field, int value) {
    data.at(buttonOffset(button, field)) =
        field == ButtonStatus ? storeStatus(value) : static_cast<std::uint8_t>(value);
}

void ConfigImage::frame() {
    frameDump(data.data());
}

void frameDump(std::uint8_t *dump) {
    std::copy(DumpHeader.begin(), DumpHeader.end(), dump);
    dump[EndByteOffset] = SysExEnd;
}

static std::string readResource(const char *path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string defaultImageResource() {
    return readResource(":/KV16STD/KV16SYSEXFILE");
}
std::string kv64ImageResource() {
    return readResource(":/KV64STD/KV64SYSEXFILE");
}

bool loadDefaultImage(ConfigImage &image) {
    const std::string bytes = defaultImageResource();
    if (bytes.size() != static_cast<std::size_t>(DumpSize))
        return false; // never leave the image half filled
    std::copy(bytes.begin(), bytes.end(), image.bytes().begin());
    return true;
}

} // namespace vkv::image
