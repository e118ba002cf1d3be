#include "TForm1.h"
#include "VkvApplication.h"

#include <exception>

int main(int argc, char **argv) {
    vkv::app::VkvApplication app(argc, argv);
    app.setApplicationName("vkvela");
    // Only the main window's close ends the program; the virtual box may still be shown.
    app.setQuitOnLastWindowClosed(false);
    app.quitOnTerminationSignals();
    try {
        TForm1 Form1;
        QObject::connect(&Form1, &TForm1::closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        Form1.CreateFaderDesk();
        Form1.CreateAboutBox();
        Form1.show();
        return app.exec();
    } catch (const std::exception &e) {
        vkv::app::VkvApplication::showException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        vkv::app::VkvApplication::showException(QStringLiteral("Unknown exception."));
    }
    return 1;
}
