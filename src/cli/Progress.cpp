#include "Progress.h"

#include "CommandIo.h"

#include <algorithm>
#include <unistd.h>

namespace vkv::cli {

Progress::Progress() : shown(::isatty(STDERR_FILENO) == 1) {
    clock.start();
}

void Progress::show(const QString &line, bool now) {
    if (!shown || (!now && lastShown >= 0 && clock.elapsed() - lastShown < 100))
        return;
    lastShown = clock.elapsed();
    // Spaces wipe what a longer line before left.
    CommandIo::print(stderr, u'\r' + line.leftJustified(width));
    width = std::max(width, static_cast<int>(line.size()));
}

void Progress::end(const QString &line) {
    show(line, true);
    if (shown)
        CommandIo::print(stderr, QStringLiteral("\n"));
}

void Progress::clear() {
    if (shown && width > 0)
        CommandIo::print(stderr, u'\r' + QString(width, u' ') + u'\r');
    width = 0;
    lastShown = -1;
}

} // namespace vkv::cli
