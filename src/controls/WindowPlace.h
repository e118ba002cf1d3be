#pragma once

#include <QObject>
#include <QRect>

class QTimer;
class QWidget;

namespace vkv::controls {

// Where a window of the program is and how big, for the settings to keep: changed() says so once
// a move or a resize has settled (a drag is one change, not hundreds), and at the latest as the
// window hides. restore() puts a window back where it was, unless that place lies on no screen of
// this desktop any more.
class WindowPlace : public QObject {
    Q_OBJECT
public:
    static constexpr int SettleMs = 500; // a move or resize ends this long before it counts

    // Watches `window`, whose child it becomes.
    explicit WindowPlace(QWidget *window);
    // Takes a place (from the settings) that lies on a screen; others leave the window where it is.
    static void restore(QWidget *window, const QRect &place);

signals:
    void changed(const QRect &place);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window;
    QTimer *settle;
};

} // namespace vkv::controls
