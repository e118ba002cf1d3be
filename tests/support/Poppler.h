#pragma once

// What poppler's tools (poppler-utils) read in a PDF: pdfinfo's facts, pdftotext's text, as a
// reader's program sees the file.
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

inline QString poppler(const QString &tool, const QStringList &arguments) {
    QProcess p;
    p.start(tool, arguments);
    EXPECT_TRUE(p.waitForFinished(30000)) << tool.toStdString() << " (poppler-utils)";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}
