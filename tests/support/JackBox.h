#pragma once

// The stand-in box with a real input limit (support/jack_box.cpp) in a process of its own on the
// server libjack would use now, and what it says it did: each whole dump it took, with what it
// holds then, and each request it saw. For the tests and the benchmark of finding the speed.
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <vector>

class JackBox {
public:
    // `bytesPerSecond` 0: it takes everything at once. `options` as jack_box takes them:
    // "silent" (it never answers), "whole" (it keeps only whole dumps), "holds=FILE",
    // "unplug=N".
    JackBox(const QString &program, const QString &client, int bufferBytes, double bytesPerSecond,
            const QStringList &options = {})
        : client(client) {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program, QStringList{client, QString::number(bufferBytes),
                                           QString::number(bytesPerSecond)} +
                                   options);
        QElapsedTimer clock;
        clock.start();
        while (!(ready = read().contains("ready\n")) && clock.elapsed() < 30000 &&
               process.state() != QProcess::NotRunning) {
        }
    }
    ~JackBox() { quit(); }
    // Ends it at once, as a box unplugged.
    void quit() {
        process.kill();
        process.waitForFinished(5000);
    }

    // Its ports as the program lists them: the box listens on "in" and answers on "out".
    QString listens() const { return client + ":in"; }
    QString answers() const { return client + ":out"; }

    // What it said so far.
    QString read() {
        process.waitForReadyRead(10); // what waits in the pipe, also with no event loop running
        text += QString::fromLatin1(process.readAllStandardOutput());
        return text;
    }
    int requests() { return read().count(QStringLiteral("request ")); }
    int dumps() { return read().count(QStringLiteral("dump ")); }
    // Its output went ("unplug=N").
    bool unplugged() { return read().contains(QStringLiteral("unplugged\n")); }
    // What it holds after the last dump that ended; empty before one.
    std::vector<unsigned char> holds() {
        const QString all = read();
        const int at = all.lastIndexOf(QStringLiteral(" holds "));
        if (at < 0)
            return {};
        const QByteArray hex =
            QByteArray::fromHex(all.mid(at + 7, all.indexOf(u'\n', at) - at - 7).toLatin1());
        return {hex.begin(), hex.end()};
    }

    bool ready = false;

private:
    QString client;
    QProcess process;
    QString text;
};
