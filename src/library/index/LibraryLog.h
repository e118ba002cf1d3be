#pragma once

#include <QLoggingCategory>

namespace vkv::library {

// The library's log, "vkv.library": one category for all of the library's parts, so that a user
// turns it on or off as one. Declared here, in the lowest of the library's folders that writes to
// it.
Q_DECLARE_LOGGING_CATEGORY(lcLibrary)

} // namespace vkv::library
