#include "CommandLine.h"
#include "Commands.h"
#include "JackKeptClients.h"
#include "RtMidiBackend.h"
#include "TForm1.h"
#include "VkvApplication.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <QMetaObject>
#include <cstdio>
#include <exception>
#include <memory>

using vkv::cli::CommandLine;

int main(int argc, char **argv) {
    // Parsed before the application object, so --help and --version need no display.
    const CommandLine command = CommandLine::parse(CommandLine::arguments(argc, argv));
    switch (command.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        std::fputs(command.text.toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Error:
        std::fprintf(stderr, "%s\n", command.text.toLocal8Bit().constData());
        return command.errorCode;
    case CommandLine::Action::ListPorts:
    case CommandLine::Action::Send:
    case CommandLine::Action::Receive:
    case CommandLine::Action::ExportIni:
    case CommandLine::Action::Diff:
    case CommandLine::Action::FindSpeed:
    case CommandLine::Action::LibraryList:
    case CommandLine::Action::LibraryAdd:
    case CommandLine::Action::LibraryGet:
    case CommandLine::Action::LibraryHistory:
    case CommandLine::Action::LibrarySearch:
    case CommandLine::Action::SetListShow:
    case CommandLine::Action::SetListAdd:
    case CommandLine::Action::SetListRemove:
    case CommandLine::Action::Records:
    case CommandLine::Action::ApplyRecords:
    case CommandLine::Action::Conflicts:
    case CommandLine::Action::ExportMid:
    case CommandLine::Action::Serve:
    case CommandLine::Action::Sheet: {
        // No display: a core application, and nothing of the GUI is made; only the sheet, whose
        // text Qt GUI lays out, has a GUI application, on the platform that draws off screen.
        if (command.action == CommandLine::Action::Sheet) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            // Qt's platform start-up warns of a missing runtime folder, which a command run from
            // cron or a root shell lacks; it says nothing of the sheet, and the rules below take
            // over once the application is made.
            QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
        }
        const std::unique_ptr<QCoreApplication> app =
            command.action == CommandLine::Action::Sheet
                ? std::make_unique<QGuiApplication>(argc, argv)
                : std::make_unique<QCoreApplication>(argc, argv);
        app->setApplicationName("vkvela");
        app->setApplicationVersion(QStringLiteral(VKV_VERSION));
        // A script's standard error stream gets the errors, not the MIDI layer's chatter;
        // QT_LOGGING_RULES can still ask for it.
        QLoggingCategory::setFilterRules(QStringLiteral("vkv.*.debug=false\nvkv.*.info=false"));
        const int code = vkv::cli::Commands::run(command);
        // The JACK clients go now, so a fault in libjack's teardown still ends with this code.
        vkv::jack::closeKeptPorts(code);
        return code;
    }
    case CommandLine::Action::Run:
        break;
    }
    if (!command.sysexFile.isEmpty() && !QFileInfo::exists(command.sysexFile)) {
        std::fprintf(stderr, "vkvela: %s: no such file\n",
                     command.sysexFile.toLocal8Bit().constData());
        return 1;
    }

    vkv::app::VkvApplication app(argc, argv);
    app.setApplicationName("vkvela");
    app.setApplicationVersion(QStringLiteral(VKV_VERSION));
    // Lets the desktop match the windows to the installed menu entry and its icon.
    app.setDesktopFileName(QStringLiteral(VKV_APP_ID));
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/vkvela.png")));
    // Only the main window's close ends the program; the virtual box may still be shown.
    app.setQuitOnLastWindowClosed(false);
    app.quitOnTerminationSignals();
    try {
        TForm1 Form1{vkv::ports::PortsInPreparation{}};
        Form1.preparePortsOnceShown(vkv::backendapi::Backend::Auto);
        QObject::connect(&Form1, &TForm1::closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        Form1.CreateFaderDesk();
        Form1.CreateAboutBox();
        Form1.show();
        if (!command.sysexFile.isEmpty()) {
            // Once the window shows, so that a failure's message box has it behind.
            QMetaObject::invokeMethod(
                &Form1, [&Form1, &command] { Form1.OpenSysexFile(command.sysexFile); },
                Qt::QueuedConnection);
        }
        return app.exec();
    } catch (const std::exception &e) {
        vkv::app::VkvApplication::showException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        vkv::app::VkvApplication::showException(QStringLiteral("Unknown exception."));
    }
    return 1;
}
