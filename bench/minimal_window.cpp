// The yardstick of the start-up benchmark: a Qt Widgets window of the main window's size and
// place, and nothing else.
#include <QApplication>
#include <QWidget>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(549, 487);
    window.move(185, 124);
    window.show();
    return app.exec();
}
