#pragma once

// The tools a user connects JACK ports with (jackd2's jack_connect, jack_disconnect and jack_lsp),
// run as a user runs them, on the server libjack would use now.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace jacktools {

// What the tool printed; `code` gets its exit code (-1 when it did not run or end).
inline QString run(const QString &tool, const QStringList &arguments, int *code = nullptr) {
    QProcess p;
    p.start(tool, arguments);
    const bool ended = p.waitForFinished(10000);
    if (code)
        *code = ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

inline bool connect(const QString &from, const QString &to) {
    int code = -1;
    run("jack_connect", {from, to}, &code);
    return code == 0;
}

inline bool disconnect(const QString &from, const QString &to) {
    int code = -1;
    run("jack_disconnect", {from, to}, &code);
    return code == 0;
}

// `jack_lsp -p`: each port whose name holds `part`, with its properties on the next line.
inline QString portsWithProperties(const QString &part) {
    return run("jack_lsp", {"-p", part});
}

} // namespace jacktools
