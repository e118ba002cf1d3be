#pragma once

// Keeps the messages logged under one category while it lives, for tests of what the log says.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class LogCapture {
public:
    explicit LogCapture(const char *category) {
        wanted() = category;
        previous = qInstallMessageHandler(&LogCapture::keep);
    }
    ~LogCapture() {
        qInstallMessageHandler(previous);
        said().clear();
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    static QStringList &said() {
        static QStringList messages;
        return messages;
    }

private:
    static QByteArray &wanted() {
        static QByteArray category;
        return category;
    }
    static void keep(QtMsgType, const QMessageLogContext &context, const QString &message) {
        if (context.category && QByteArray(context.category) == wanted())
            said() << message;
    }
    QtMessageHandler previous = nullptr;
};
