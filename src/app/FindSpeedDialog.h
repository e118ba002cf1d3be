#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace vkv::app {

// "Find Speed ...": the tries of a speed search as they go, one line each, what the try under way
// will take, and at the end how it went, with "Use this speed" when a speed was found. Paints and
// forwards only: FindSpeedDesk runs the search. Cancel, Escape and the window's close button ask
// for a cancel while the search runs (the dialog stays, to show the box restored), and close it
// once it is over.
class FindSpeedDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindSpeedDialog(QWidget *parent);

    // A new search: no lines, nothing offered.
    void begin();
    // A line of its own (the box answered the first question), or a try under way, which its
    // outcome then replaces.
    void addLine(const QString &line);
    void going(const QString &line);
    void outcome(const QString &line);
    // The line under the tries: what is under way, or how the search ended.
    void note(const QString &text);
    // The search is over, ended as `text` says; `offered` enables "Use this speed".
    void over(const QString &text, bool offered);

signals:
    void cancelAsked();
    void useAsked();

protected:
    void reject() override;

private:
    QListWidget *tries;
    QLabel *notes;
    QPushButton *use;
    QPushButton *cancel;
    bool running = false;
    bool tryUnderWay = false;
};

} // namespace vkv::app
