#include "MonitorWindow.h"

#include "ConfigImage.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace vkv::monitor {

namespace {
using Direction = MonitorModel::Direction;
using MessageKind = vkv::midi::MessageKind;
} // namespace

std::vector<vkv::midi::SysExKind> MonitorWindow::ourSysEx() {
    namespace image = vkv::image;
    return {
        {{image::DumpRequest.begin(), image::DumpRequest.end()},
         image::DumpRequest.size(),
         "dump request"},
        {{image::DumpHeader.begin(), image::DumpHeader.end()},
         static_cast<std::size_t>(image::DumpSize),
         "configuration dump"},
    };
}

MonitorWindow::MonitorWindow(QWidget *parent)
    : QWidget(parent, Qt::Window),
      rows(new MonitorModel(ourSysEx(), vkv::midi::MidiTap::Clock::now(), this)),
      table(new QTableView(this)), status(new QLabel(this)), pause(new QPushButton("Pause", this)),
      reader(new QTimer(this)) {
    setObjectName("MidiMonitor");
    setWindowTitle("MIDI Monitor");
    resize(900, 440);

    auto *buttons = new QHBoxLayout;
    pause->setObjectName("MonitorPause");
    pause->setCheckable(true);
    pause->setToolTip("Messages keep being counted, none are shown");
    connect(pause, &QPushButton::toggled, this, [this](bool on) {
        rows->setPaused(on);
        showStatus();
    });
    auto *clear = new QPushButton("Clear", this);
    clear->setObjectName("MonitorClear");
    connect(clear, &QPushButton::clicked, this, [this] {
        rows->clear();
        showStatus();
    });
    auto *save = new QPushButton("Save as Text ...", this);
    save->setObjectName("MonitorSave");
    connect(save, &QPushButton::clicked, this, &MonitorWindow::saveClick);
    buttons->addWidget(pause);
    buttons->addWidget(clear);
    buttons->addWidget(save);
    buttons->addStretch();

    auto *filters = new QHBoxLayout;
    filters->addWidget(new QLabel("Show:", this));
    const QString from = QStringLiteral("Applies to messages from now on");
    const auto direction = [this](Direction d) {
        return [this, d](bool on) { rows->setShown(d, on); };
    };
    const auto kind = [this](MessageKind k) {
        return [this, k](bool on) { rows->setShown(k, on); };
    };
    addFilter(filters, "IN", "ShowIn", direction(Direction::In), true, from);
    addFilter(filters, "OUT", "ShowOut", direction(Direction::Out), true, from);
    addFilter(filters, "Notes", "ShowNotes", kind(MessageKind::Note), true,
              "Note on, note off, poly aftertouch. " + from);
    addFilter(filters, "Controllers", "ShowControllers", kind(MessageKind::Controller), true, from);
    addFilter(filters, "Other channel", "ShowOtherChannel", kind(MessageKind::OtherChannel), true,
              "Program change, channel aftertouch, pitch bend. " + from);
    addFilter(filters, "SysEx", "ShowSysEx", kind(MessageKind::SysEx), true, from);
    addFilter(
        filters, "System, real-time", "ShowSystem",
        [this](bool on) {
            rows->setShown(MessageKind::System, on);
            rows->setShown(MessageKind::RealTime, on);
            rows->setShown(MessageKind::Stray, on);
        },
        true, "Time code, song position, start, stop, reset. " + from);
    addFilter(filters, "Clock, sensing", "ShowClock", kind(MessageKind::Clock), false,
              "Timing clock and active sensing come tens of times a second. " + from);
    filters->addStretch();

    table->setObjectName("MonitorRows");
    table->setModel(rows);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->setCornerButtonEnabled(false);
    // Fixed sizes: measuring the contents of thousands of rows at each batch would cost more than
    // the rows themselves.
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView *header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    table->setColumnWidth(MonitorModel::TimeColumn, digit * 9);
    table->setColumnWidth(MonitorModel::DirectionColumn, digit * 5);
    table->setColumnWidth(MonitorModel::PortColumn, digit * 18);
    table->setColumnWidth(MonitorModel::BytesColumn, digit * 30);

    // Ctrl+C copies the rows chosen, as Save as Text writes them.
    auto *copy = new QShortcut(QKeySequence::Copy, table);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, [this] {
        QList<int> chosen;
        for (const QModelIndex &row : table->selectionModel()->selectedRows())
            chosen << row.row();
        std::sort(chosen.begin(), chosen.end());
        QStringList lines;
        for (int row : chosen)
            lines << rows->rowText(row);
        if (!lines.isEmpty())
            QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + '\n');
    });

    status->setObjectName("MonitorStatus");
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addLayout(filters);
    layout->addWidget(table, 1);
    layout->addWidget(status);
    showStatus();

    reader->setInterval(ReadIntervalMs);
    connect(reader, &QTimer::timeout, this, &MonitorWindow::readTap);
    connect(new vkv::controls::WindowPlace(this), &vkv::controls::WindowPlace::changed, this,
            &MonitorWindow::placeChanged);
}

MonitorWindow::~MonitorWindow() {
    // Shown to the end (the program quits with it open), it never hid: the ports must not keep a
    // tap that goes now.
    emit tapping(nullptr);
}

void MonitorWindow::addFilter(QLayout *layout, const QString &text, const QString &name,
                              const std::function<void(bool)> &apply, bool on, const QString &tip) {
    auto *box = new QCheckBox(text, this);
    box->setObjectName(name);
    box->setToolTip(tip);
    box->setChecked(on);
    apply(on);
    connect(box, &QCheckBox::toggled, this, apply);
    layout->addWidget(box);
}

void MonitorWindow::readTap() {
    auto taken = queue.take();
    if (taken.entries.empty() && taken.dropped == 0)
        return;
    addRows([&] { rows->add(std::move(taken.entries), taken.dropped); });
    showStatus();
}

void MonitorWindow::addRows(const std::function<void()> &add) {
    const QScrollBar *bar = table->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    add();
    if (atEnd)
        table->scrollToBottom();
}

void MonitorWindow::note(const QString &text) {
    if (!isVisible())
        return;
    readTap();
    addRows([&] { rows->note(text, vkv::midi::MidiTap::Clock::now()); });
}

void MonitorWindow::showStatus() {
    status->setText(rows->paused() ? "Paused: " + rows->statusText() : rows->statusText());
}

bool MonitorWindow::saveText(const QString &path, QString *error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QStringList header;
    for (int column = 0; column < MonitorModel::Columns; ++column)
        header << rows->headerData(column, Qt::Horizontal).toString();
    QByteArray text = header.join(QLatin1Char('\t')).toUtf8() + '\n';
    for (int row = 0; row < rows->rowCount(); ++row)
        text += rows->rowText(row).toUtf8() + '\n';
    if (file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

void MonitorWindow::saveClick() {
    const QString path =
        chooseTextFile
            ? chooseTextFile()
            : QFileDialog::getSaveFileName(this, "Save MIDI Monitor as Text", "midi-monitor.txt",
                                           "Text files (*.txt);;All files (*)");
    if (path.isEmpty())
        return;
    QString why;
    if (!saveText(path, &why))
        QMessageBox::warning(this, "MIDI Monitor",
                             QStringLiteral("Cannot save %1: %2").arg(path, why));
}

void MonitorWindow::setPlace(const QRect &place) {
    vkv::controls::WindowPlace::restore(this, place);
}

void MonitorWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    reader->start();
    emit tapping(&queue);
}

void MonitorWindow::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    emit tapping(nullptr);
    reader->stop();
    readTap();
}

} // namespace vkv::monitor
