#pragma once

// Whole files read and written by the tests.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

// The file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}
