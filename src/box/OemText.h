#pragma once

#include <QString>
#include <string>

namespace vkv::box {

// The plain LCD panel shows its lines in a PC-ROM font, as the OEM code page draws them: the
// bar-graph codes 1..15 appear as the code page's symbols rather than as invisible controls.
QString oemText(const std::string &bytes);

} // namespace vkv::box
