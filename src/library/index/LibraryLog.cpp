#include "LibraryLog.h"

namespace vkv::library {

Q_LOGGING_CATEGORY(lcLibrary, "vkv.library", QtInfoMsg)

} // namespace vkv::library
