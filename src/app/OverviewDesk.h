#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

namespace vkv::image {
class ImageHistory;
}
namespace vkv::library {
class Library;
}
namespace vkv::overview {
class OverviewWindow;
}

namespace vkv::app {

class Settings;

// "Overview ..." on the Pots page and Ctrl+G anywhere in the main window: the overview window,
// made at its first use, with its place and "Follow the box" kept in the settings. Its edits are
// steps of the main window's history; after each, the pages show their records anew (undo and
// redo refresh them already). Messages that come in at MIDI IN or Motors reach it through
// heard(); "Take from Library ..." reads the library of configurations in the folder the
// library's window uses.
class OverviewDesk : public QObject {
    Q_OBJECT
public:
    // `showPages` shows the pages' records anew.
    OverviewDesk(QWidget *window, image::ImageHistory &history, Settings &settings,
                 std::function<void()> showPages);
    ~OverviewDesk() override;

    void show();
    // A short message came in: the overview, if it follows the box, selects its records.
    void heard(std::uint8_t status, std::uint8_t first);
    // The window; null until first shown.
    overview::OverviewWindow *overviewWindow() const { return shown; }

private:
    QWidget *window;
    image::ImageHistory &history;
    Settings &settings;
    overview::OverviewWindow *shown = nullptr;
    // Opened anew as each "Take from Library ..." lists it, so the list is what the folder holds.
    std::unique_ptr<library::Library> library;
};

} // namespace vkv::app
