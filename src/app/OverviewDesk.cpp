#include "OverviewDesk.h"

#include "ImageHistory.h"
#include "Library.h"
#include "OverviewWindow.h"
#include "Settings.h"
#include "WindowPlace.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

namespace vkv::app {

OverviewDesk::OverviewDesk(QWidget *window, image::ImageHistory &history, Settings &settings,
                           std::function<void()> showPages)
    : QObject(window), window(window), history(history), settings(settings) {
    // Undo and redo show the pages anew already; an edit of the overview's is shown here.
    connect(&history, &image::ImageHistory::changed, this,
            [showPages = std::move(showPages)](const image::ImageChange &change) {
                if (change.kind == image::ImageChange::Kind::Records)
                    showPages();
            });
    auto *key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), window);
    connect(key, &QShortcut::activated, this, &OverviewDesk::show);
}

OverviewDesk::~OverviewDesk() = default;

void OverviewDesk::show() {
    if (!shown) {
        shown = new overview::OverviewWindow(history, window);
        shown->setFont(window->font());
        controls::WindowPlace::restore(shown, settings.overviewPlace());
        shown->setFollowing(settings.followBox());
        connect(shown, &overview::OverviewWindow::placeChanged, this,
                [this](const QRect &place) { settings.setOverviewPlace(place); });
        connect(shown, &overview::OverviewWindow::followingChanged, this,
                [this](bool on) { settings.setFollowBox(on); });
        const auto folder = [this] {
            return settings.libraryFolder().isEmpty() ? library::Library::defaultFolder()
                                                      : settings.libraryFolder();
        };
        // The configurations listed, for the one chosen from the list.
        auto listed = std::make_shared<std::vector<library::Library::Entry>>();
        shown->setLibrary(
            {[this, folder, listed](QString *why) {
                 library = std::make_unique<library::Library>();
                 listed->clear();
                 if (!library->open(folder())) {
                     *why = "The library cannot be read: " + library->error();
                     return QStringList();
                 }
                 QStringList names;
                 for (library::Library::Entry &entry : library->entries())
                     if (!entry.missing) {
                         names << entry.title();
                         listed->push_back(std::move(entry));
                     }
                 return names;
             },
             [this, listed](int index, QString *why) -> std::optional<image::DumpBytes> {
                 if (!library || index < 0 || index >= static_cast<int>(listed->size())) {
                     *why = QStringLiteral("it is not in the library");
                     return std::nullopt;
                 }
                 const auto dump = library->read((*listed)[static_cast<std::size_t>(index)]);
                 if (!dump)
                     *why = library->error();
                 return dump;
             }});
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void OverviewDesk::heard(std::uint8_t status, std::uint8_t first) {
    if (shown)
        shown->heard(status, first);
}

} // namespace vkv::app
