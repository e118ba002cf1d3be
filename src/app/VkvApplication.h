#pragma once

#include <QApplication>
#include <QString>
#include <functional>

namespace vkv::app {

// The application object. An exception that escapes an event handler is shown to the user in a
// message box and the program goes on, instead of ending with the event loop half-way.
class VkvApplication : public QApplication {
    Q_OBJECT
public:
    using QApplication::QApplication;

    // Title of the program's message boxes.
    static constexpr const char *Title = "Virtual Korvane Vela";

    bool notify(QObject *receiver, QEvent *event) override;

    // Runs `deliver`; an exception it throws is shown and gives false.
    static bool guarded(const std::function<bool()> &deliver);

    // SIGTERM, SIGINT and SIGHUP end the event loop as closing the main window does
    // (cli::TerminationSignals says why).
    void quitOnTerminationSignals();
    static void showException(const QString &text);
};

} // namespace vkv::app
