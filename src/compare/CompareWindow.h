#pragma once

#include "ImageComparison.h"

#include <QString>
#include <QWidget>
#include <vector>

class QLabel;
class QTreeView;

namespace vkv::compare {

class DifferenceRows;

// The comparison window: the records in which two configurations differ, one row each, named as
// the INI export names them with their ID, and the fields that differ with both values as the
// pages show them. "No differences" when there are none. A double click on a row (or Return on
// it) asks for that record to be shown on its page; Ctrl+C copies the rows as `vkvela --diff`
// prints them. A window of its own, which stays open beside the main window.
class CompareWindow : public QWidget {
    Q_OBJECT
public:
    explicit CompareWindow(QWidget *parent = nullptr);
    // Shows the differences between the configurations called `nameA` and `nameB`.
    void showDifferences(std::vector<vkv::image::RecordDifference> differences,
                         const QString &nameA, const QString &nameB);

signals:
    void showRecord(bool pot, int id); // a row double-clicked

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Puts the rows on the clipboard as ImageComparison::asText words them.
    void copy() const;

    DifferenceRows *model = nullptr;
    QLabel *summary = nullptr;
    QTreeView *rows = nullptr;
    QLabel *hint = nullptr;
};

} // namespace vkv::compare
