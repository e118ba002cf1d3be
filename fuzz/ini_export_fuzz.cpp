// The INI export of any image: the input's first 1543 bytes are the image (a shorter input is
// padded with zeros).
#include "ConfigImage.h"
#include "FuzzSupport.h"
#include "IniExport.h"

#include <algorithm>
#include <cstring>

using vkv::image::ConfigImage;
using vkv::image::DumpSize;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    ConfigImage image;
    image.bytes().fill(0);
    std::memcpy(image.raw(), data, std::min<std::size_t>(size, DumpSize));
    const vkv::image::DumpBytes before = image.bytes();
    const QByteArray text = vkv::image::IniExport::render(
        image, QStringLiteral("Test Release : fuzz"), QStringLiteral("01/01/2000 00:00:00"));
    fuzz::check(image.bytes() == before, "the image is only read");
    // Six comments, a blank line, [TYPE] and its line, two section heads, 256 + 128 records.
    fuzz::check(text.count("\r\n") == 395, "one line for each record");
    fuzz::check(text.endsWith("\r\n") && !text.contains("\n\n") && text.count('\n') == 395,
                "every line ends in CR LF");
    const qsizetype pots = text.indexOf("[POTS]\r\n");
    const qsizetype buttons = text.indexOf("[BUTTONS]\r\n");
    fuzz::check(pots > 0 && buttons > pots, "the sections in order");
    fuzz::check(text.count('=') == 384, "every record has its value");
    return 0;
}
