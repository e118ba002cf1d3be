#include "VkvApplication.h"

#include "TerminationSignals.h"

#include <QMessageBox>
#include <exception>

namespace vkv::app {

bool VkvApplication::notify(QObject *receiver, QEvent *event) {
    return guarded([&] { return QApplication::notify(receiver, event); });
}

bool VkvApplication::guarded(const std::function<bool()> &deliver) {
    try {
        return deliver();
    } catch (const std::exception &e) {
        showException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        showException(QStringLiteral("Unknown exception."));
    }
    return false;
}

void VkvApplication::quitOnTerminationSignals() {
    cli::TerminationSignals::watch(this, [](int) { QCoreApplication::quit(); });
}

void VkvApplication::showException(const QString &text) {
    QMessageBox::critical(nullptr, QString::fromLatin1(Title), text);
}

} // namespace vkv::app
