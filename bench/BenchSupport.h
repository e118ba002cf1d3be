#pragma once

// What the benchmarks share: choosing the main window's ports by name, waiting on the event loop,
// percentiles, and reading a process's memory from /proc.
#include "TForm1.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "WindowControls.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

inline void useOffscreenUnlessAskedOtherwise() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Runs the event loop for a while.
inline void settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents,
                                        static_cast<int>(milliseconds - timer.elapsed()));
}

// p in 0..1 of the values; 1 gives the largest.
inline double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(at, v.size() - 1)];
}

// Chooses a port as the user would, by its name in the list.
inline bool chooseOutput(TForm1 &form, const std::string &name) {
    const int i = form.ui->MIDIOutComboBox->findText(QString::fromStdString(name));
    if (i < 0) {
        std::fprintf(stderr, "output %s is not listed\n", name.c_str());
        return false;
    }
    form.ui->MIDIOutComboBox->setCurrentIndex(i);
    form.MIDIOutComboBoxChange(form.ui->MIDIOutComboBox);
    return form.MidiOut1->Using();
}

inline bool chooseInput(TForm1 &form, const std::string &name) {
    const int i = form.ui->MIDIInComboBox->findText(QString::fromStdString(name));
    if (i < 0) {
        std::fprintf(stderr, "input %s is not listed\n", name.c_str());
        return false;
    }
    form.ui->MIDIInComboBox->setCurrentIndex(i);
    form.MIDIInComboBoxChange(form.ui->MIDIInComboBox);
    return form.MidiIn1->Using();
}

// Memory of a process in kB, from /proc/<pid>/smaps_rollup: private (its own pages, clean and
// dirty), resident and proportional set sizes.
struct Memory {
    long privateKb = 0, rssKb = 0, pssKb = 0;
};

inline Memory memoryOf(long long pid) {
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    Memory m;
    if (!file.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        const long kb = parts[1].toLong();
        if (parts[0] == "Rss:")
            m.rssKb = kb;
        else if (parts[0] == "Pss:")
            m.pssKb = kb;
        else if (parts[0] == "Private_Clean:" || parts[0] == "Private_Dirty:")
            m.privateKb += kb;
    }
    return m;
}

// The processor time of the children this process has waited for, user and system, in ms.
inline double childrenCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// How long the program takes for `arguments`, from its start to its exit, with no display, and
// in `cpuMs` the processor time it took; -1, said on the standard error stream, when it failed.
inline double programMs(const QString &program, const QStringList &arguments,
                        double *cpuMs = nullptr) {
    const double cpuBefore = childrenCpuMs();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    QProcess child;
    child.setProcessEnvironment(env);
    const auto start = Clock::now();
    child.start(program, arguments);
    if (!child.waitForFinished(10000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(arguments.join(' ')),
                     child.readAllStandardError().constData());
        return -1.0;
    }
    const double took = ms(Clock::now() - start);
    if (cpuMs)
        *cpuMs = childrenCpuMs() - cpuBefore;
    return took;
}

} // namespace bench
