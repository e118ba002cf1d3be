#include "ConfigurationsTab.h"

#include "ConfigurationRows.h"
#include "EntryName.h"
#include "Questions.h"

#include <QItemSelectionModel>
#include <QSet>

namespace vkv::librarywindow {

using library::Library;

ConfigurationsTab::ConfigurationsTab(Library &library, const Questions &questions, QWidget *parent)
    : LibraryTable("LibraryConfigurations", parent), library(library), questions(questions),
      rows(new ConfigurationRows(this)) {
    setModel(rows);
    setSortingEnabled(true);
    sortByColumn(ConfigurationRows::Name, Qt::AscendingOrder);
    setColumnWidth(ConfigurationRows::Name, 220);
    setColumnWidth(ConfigurationRows::Changed, 110);
    setColumnWidth(ConfigurationRows::Tags, 100);
    setColumnWidth(ConfigurationRows::Favourite, 72);
    setColumnWidth(ConfigurationRows::SameAs, 150);
}

void ConfigurationsTab::setHits(std::vector<Library::Hit> hits, bool contentTerms) {
    // The rows come anew: what was selected stays selected where it is still found.
    QSet<QString> kept;
    for (const QModelIndex &row : selectionModel()->selectedRows())
        kept << rows->entry(row.row()).file;
    rows->setHits(std::move(hits));
    reselect([&](int row) { return kept.contains(rows->entry(row).file); });
    setColumnHidden(ConfigurationRows::Records, !contentTerms);
}

int ConfigurationsTab::count() const {
    return rows->rowCount();
}

std::vector<Library::Entry> ConfigurationsTab::selectedEntries() const {
    std::vector<Library::Entry> entries;
    for (const QModelIndex &row : selectionModel()->selectedRows())
        entries.push_back(rows->entry(row.row()));
    return entries;
}

std::optional<Library::Entry> ConfigurationsTab::one() {
    const auto entries = selectedEntries();
    if (entries.size() != 1) {
        emit said(QStringLiteral("Select one configuration first."), false);
        return std::nullopt;
    }
    return entries.front();
}

void ConfigurationsTab::sayLibrary(bool done, const QString &doneText) {
    if (done)
        emit said(doneText, true);
    else
        emit said(library.error(), false);
}

void ConfigurationsTab::renameSelected() {
    const auto entry = one();
    if (!entry)
        return;
    questions.name(QStringLiteral("Rename"), entry->name,
                   [&](const QString &name) -> std::optional<QString> {
                       if (!library.rename(*entry, name))
                           return library.error();
                       emit changed();
                       emit said(QStringLiteral("%1 is called %2 now.")
                                     .arg(Questions::quoted(entry->name), Questions::quoted(name)),
                                 true);
                       return std::nullopt;
                   });
}

void ConfigurationsTab::notesOfSelected() {
    const auto entry = one();
    if (!entry)
        return;
    const auto text = questions.text(
        QStringLiteral("Notes"),
        QStringLiteral("Notes on %1:").arg(Questions::quoted(entry->title())), entry->notes, true);
    if (text) {
        sayLibrary(library.setNotes(*entry, *text), QStringLiteral("Notes kept."));
        emit changed();
    }
}

void ConfigurationsTab::tagsOfSelected() {
    const auto entry = one();
    if (!entry)
        return;
    const auto text = questions.text(
        QStringLiteral("Tags"),
        QStringLiteral("Tags of %1, separated by commas:").arg(Questions::quoted(entry->title())),
        entry->tags.join(QStringLiteral(", ")), false);
    if (text) {
        sayLibrary(library.setTags(*entry, text->split(u',')), QStringLiteral("Tags kept."));
        emit changed();
    }
}

void ConfigurationsTab::favouriteSelected() {
    const auto entry = one();
    if (!entry)
        return;
    const bool on = !entry->favourite;
    const QString title = Questions::quoted(entry->title());
    sayLibrary(library.setFavourite(*entry, on),
               on ? QStringLiteral("%1 is a favourite.").arg(title)
                  : QStringLiteral("%1 is no favourite now.").arg(title));
    emit changed();
}

void ConfigurationsTab::deleteSelected() {
    QStringList done;
    QString failed;
    for (const Library::Entry &entry : selectedEntries()) {
        const auto gone = library.trash(entry);
        if (!gone) {
            failed = library.error();
            break;
        }
        trashed.push_back({*gone, entry.title()});
        done << entry.title();
    }
    emit changed();
    if (!failed.isEmpty())
        emit said(done.isEmpty()
                      ? failed
                      : QStringLiteral("%1 in the trash (Ctrl+Z brings back); %2")
                            .arg(done.size() == 1
                                     ? Questions::quoted(done[0]) + QStringLiteral(" is")
                                     : QStringLiteral("%1 configurations are").arg(done.size()),
                                 failed),
                  false);
    else if (done.size() == 1)
        emit said(QStringLiteral("%1 is in the trash; Ctrl+Z brings it back.")
                      .arg(Questions::quoted(done[0])),
                  true);
    else if (done.size() > 1)
        emit said(QStringLiteral("%1 configurations are in the trash; Ctrl+Z brings them back, "
                                 "the last first.")
                      .arg(done.size()),
                  true);
}

void ConfigurationsTab::undoDelete() {
    if (trashed.empty()) {
        emit said(QStringLiteral("Nothing deleted here to bring back."), false);
        return;
    }
    // A delete that cannot come back leaves the steps, saying why, so the earlier ones still can;
    // one that may later (the index was busy) stays for the next Ctrl+Z.
    const auto [last, title] = trashed.back();
    bool again = false;
    const auto name = library.restore(last, &again);
    if (name || !again)
        trashed.pop_back();
    emit changed();
    if (!name) {
        emit said(again ? library.error() + QStringLiteral(" Ctrl+Z tries again.")
                        : library.error(),
                  false);
        return;
    }
    const QString was = library::EntryName::fromFile(last.file);
    if (!name->isEmpty() && *name != was)
        emit said(QStringLiteral("%1 is back as %2: a configuration called %1 is in the library "
                                 "now.")
                      .arg(Questions::quoted(was), Questions::quoted(*name)),
                  true);
    else
        emit said(QStringLiteral("%1 is back.").arg(Questions::quoted(title)), true);
}

} // namespace vkv::librarywindow
