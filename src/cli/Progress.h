#pragma once

#include <QElapsedTimer>
#include <QString>

namespace vkv::cli {

// A command's progress: one line on the standard error stream that a terminal redraws in place, a
// few times a second. Where the stream is no terminal (a script's pipe or file) nothing is shown.
class Progress {
public:
    Progress();
    bool enabled() const { return shown; }
    // Shows `line` in place of the last, unless one was shown less than 100 ms ago and not `now`.
    void show(const QString &line, bool now = false);
    // Shows `line` at once and ends it, so what follows starts on a line of its own.
    void end(const QString &line);
    // Takes the line away, so what follows starts where it began.
    void clear();
    // Milliseconds since the progress was made.
    qint64 elapsed() const { return clock.elapsed(); }

private:
    bool shown;
    QElapsedTimer clock;
    qint64 lastShown = -1;
    int width = 0;
};

} // namespace vkv::cli
