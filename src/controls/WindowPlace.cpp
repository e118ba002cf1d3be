#include "WindowPlace.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace vkv::controls {

WindowPlace::WindowPlace(QWidget *window)
    : QObject(window), window(window), settle(new QTimer(this)) {
    settle->setSingleShot(true);
    settle->setInterval(SettleMs);
    connect(settle, &QTimer::timeout, this, [this] { emit changed(this->window->geometry()); });
    window->installEventFilter(this);
}

void WindowPlace::restore(QWidget *window, const QRect &place) {
    if (!place.isValid())
        return;
    // A place on a screen that is gone would put the window where nobody sees it.
    for (const QScreen *screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersected(place).width() >= 100 &&
            screen->availableGeometry().intersected(place).height() >= 50) {
            window->setGeometry(place);
            return;
        }
}

bool WindowPlace::eventFilter(QObject *watched, QEvent *event) {
    if (watched == window) {
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
            window->isVisible())
            settle->start();
        else if (event->type() == QEvent::Hide && settle->isActive()) {
            settle->stop();
            emit changed(window->geometry());
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vkv::controls
