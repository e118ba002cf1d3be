#pragma once

// Runs a program as a child process, as a script would, and collects what it said. Shared by the
// command line's tests on JACK and in the ALSA guest.
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

#include <functional>

struct ChildRun {
    int code = -1; // -1 when it crashed or was killed
    QString out, err;
};

// The environment as it is, with no display to connect to.
inline QProcessEnvironment headlessEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// `meanwhile` runs every 20 ms until the program ends. One still running after `milliseconds` is
// killed, and the test fails.
inline ChildRun runChild(const QString &program, const QStringList &arguments,
                         const QProcessEnvironment &environment, int milliseconds,
                         const std::function<void()> &meanwhile = {}) {
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, arguments);
    EXPECT_TRUE(p.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    while (!p.waitForFinished(20) && clock.elapsed() < milliseconds) {
        if (meanwhile)
            meanwhile();
    }
    if (p.state() != QProcess::NotRunning) {
        ADD_FAILURE() << "still running: " << arguments.join(' ').toStdString();
        p.kill();
        p.waitForFinished();
    }
    ChildRun r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// How many bytes a `--send` that lost its port says went, from the line it says that in among
// whatever the back end printed; -1 when it said no such line.
inline int bytesSentBeforeTheLoss(const QString &err) {
    const QRegularExpression said(
        "^vkvela: the MIDI OUT port was lost after (\\d+) of 1543 bytes; the box may hold a "
        "broken configuration. Send it again.$",
        QRegularExpression::MultilineOption);
    const auto match = said.match(err);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}
