#pragma once

// Drivers for widgets through real Qt events, as a user would use them, and waiting on the event
// loop: the one home of these helpers for every test executable.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPalette>
#include <QSpinBox>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <ostream>
#include <string>

inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace testui {

// Selects the spin edit's whole text and types `text` over it, key by key.
inline void typeInto(QSpinBox *box, const QString &text) {
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
}

// Replaces the text of an editable list's field by typing, key by key.
inline void typeInto(QComboBox *list, const QString &text) {
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(list, text);
}

// The same, ending the edit with Return.
inline void typeIntoList(QComboBox *list, const QString &text) {
    typeInto(list, text);
    QTest::keyClick(list, Qt::Key_Return);
}

// Opens the list's popup, moves to item `index` and takes it with the Return key.
inline void chooseItem(QComboBox *list, int index) {
    list->showPopup();
    QAbstractItemView *view = list->view();
    view->setCurrentIndex(view->model()->index(index, list->modelColumn()));
    QTest::keyClick(view, Qt::Key_Return);
    QApplication::processEvents();
}

inline QColor textColour(const QLabel *label) {
    return label->palette().color(QPalette::WindowText);
}

// Runs the event loop until `done` holds or the time is up; returns whether it holds.
inline bool waitUntil(const std::function<bool()> &done, int milliseconds = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return done();
}

// Runs the event loop for a while.
inline void settle(int milliseconds = 200) {
    waitUntil([] { return false; }, milliseconds);
}

// Runs `act`, which opens a modal window; `inside` is called with that window while it is shown
// and must close it. Returns whether a modal window appeared at all.
inline bool whileModal(const std::function<void()> &act,
                       const std::function<void(QWidget *)> &inside) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            poll.stop();
            seen = true;
            inside(modal);
        }
    });
    poll.start();
    QTimer guard; // never hang a test on a window nobody closes
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    guard.start(5000);
    act();
    poll.stop();
    return seen;
}

// The index of the device called `name` in a port component's list, or -1.
template <class Port> int deviceIndex(const Port &port, const std::string &name) {
    for (int n = 0; n < port.NumDevs(); ++n)
        if (name == port.DevCaps[n].szPname)
            return n;
    return -1;
}

} // namespace testui
