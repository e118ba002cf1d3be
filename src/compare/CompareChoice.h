#pragma once

#include <QMenu>

namespace vkv::compare {

// What "Compare ..." offers to compare the editor's configuration with: a .syx file, or the box.
// A menu that pops up under the button and leaves the program running meanwhile. The box is
// offered only where the window can ask it for its configuration.
class CompareChoice : public QMenu {
    Q_OBJECT
public:
    explicit CompareChoice(QWidget *parent = nullptr);
    // Pops up under `button`; "With the Box" is in it only when `boxOffered`.
    void popUpUnder(const QWidget *button, bool boxOffered);

signals:
    void withFile();
    void withBox();

private:
    QAction *boxEntry = nullptr;
};

} // namespace vkv::compare
