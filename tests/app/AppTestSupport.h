#pragma once

// Drivers for the main window's controls through real Qt events, as a user would use them.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPalette>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace apptest {

// Selects the spin edit's whole text and types `text` over it, key by key.
inline void typeInto(QSpinBox *box, const QString &text) {
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
}

// Opens the list's popup, moves to item `index` and takes it with the Return key.
inline void chooseItem(QComboBox *list, int index) {
    list->showPopup();
    QAbstractItemView *view = list->view();
    view->setCurrentIndex(view->model()->index(index, list->modelColumn()));
    QTest::keyClick(view, Qt::Key_Return);
    QApplication::processEvents();
}

// Replaces the text of an editable list's field by typing and ends the edit with Return.
inline void typeIntoList(QComboBox *list, const QString &text) {
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(list, text);
    QTest::keyClick(list, Qt::Key_Return);
}

inline QColor textColour(const QLabel *label) {
    return label->palette().color(QPalette::WindowText);
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

} // namespace apptest
