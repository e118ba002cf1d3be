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

    // SIGTERM, SIGINT and SIGHUP (a logout, a kill, Ctrl+C in a terminal) end the event loop as
    // closing the main window does, so the program ends the normal way: its MIDI clients are
    // closed, and a JACK server does not stall the next program that connects while it waits for
    // a client that died.
    void quitOnTerminationSignals();
    static void showException(const QString &text);
};

} // namespace vkv::app
