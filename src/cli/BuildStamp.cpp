#include "BuildStamp.h"

namespace vkv::cli {

QString BuildStamp::date() {
    return QStringLiteral(__DATE__);
}

QString BuildStamp::time() {
    return QStringLiteral(__TIME__);
}

QString BuildStamp::releaseLabel() {
    return "Test Release : " + date() + " : " + time();
}

} // namespace vkv::cli
