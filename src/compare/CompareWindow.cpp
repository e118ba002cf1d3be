#include "CompareWindow.h"

#include "DifferenceRows.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeView>
#include <QVBoxLayout>

namespace vkv::compare {

CompareWindow::CompareWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName("CompareWindow");
    setWindowTitle("Compare");
    resize(560, 320);

    model = new DifferenceRows(this);
    summary = new QLabel(this);
    summary->setObjectName("CompareSummary");
    rows = new QTreeView(this);
    rows->setObjectName("CompareRows");
    rows->setModel(model);
    rows->setRootIsDecorated(false);
    rows->setItemsExpandable(false);
    rows->setUniformRowHeights(true); // a long list is laid out without measuring every row
    rows->setAllColumnsShowFocus(true);
    rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Wide enough for the longest record name, "Button 16.8 (ID 127)", measured once.
    rows->header()->resizeSection(DifferenceRows::RecordColumn,
                                  rows->fontMetrics().horizontalAdvance("Button 16.8 (ID 127)") +
                                      3 * rows->fontMetrics().averageCharWidth());
    hint = new QLabel("Double-click a record to show it on its page. Ctrl+C copies the list as "
                      "the command line prints it.",
                      this);
    hint->setObjectName("CompareHint");
    hint->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(rows, 1);
    layout->addWidget(hint);

    // The double click's action, as the platform has it (Return on a row does the same).
    connect(rows, &QTreeView::activated, this, [this](const QModelIndex &index) {
        const QModelIndex record = index.siblingAtColumn(DifferenceRows::RecordColumn);
        emit showRecord(record.data(DifferenceRows::PotRole).toBool(),
                        record.data(DifferenceRows::IdRole).toInt());
    });
    // Ctrl+C on the list copies the whole list, not the current row's text as a list view would.
    rows->installEventFilter(this);
}

void CompareWindow::showDifferences(std::vector<vkv::image::RecordDifference> differences,
                                    const QString &nameA, const QString &nameB) {
    const auto count = static_cast<int>(differences.size());
    model->setDifferences(std::move(differences), nameA, nameB);
    setWindowTitle("Compare : " + nameA + " / " + nameB);
    summary->setText(count == 0   ? QStringLiteral("No differences")
                     : count == 1 ? QStringLiteral("1 record differs")
                                  : QStringLiteral("%1 records differ").arg(count));
    rows->setVisible(count > 0);
    hint->setVisible(count > 0);
    if (count > 0)
        rows->setCurrentIndex(model->index(0, DifferenceRows::RecordColumn));

    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    rows->setFocus();
}

bool CompareWindow::eventFilter(QObject *watched, QEvent *event) {
    const bool key = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    if (watched != rows || !key || !static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy))
        return QWidget::eventFilter(watched, event);
    // The key goes to the list as a key press, whatever shortcuts the application has.
    if (event->type() == QEvent::KeyPress)
        copy();
    event->accept();
    return true;
}

void CompareWindow::copy() const {
    QGuiApplication::clipboard()->setText(
        vkv::image::ImageComparison::asText(model->differences()));
}

} // namespace vkv::compare
