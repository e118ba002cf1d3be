#include "RecallDesk.h"

#include "LcdScreens.h"
#include "RecallChoice.h"
#include "Recaller.h"
#include "SetListsTab.h"
#include "Settings.h"
#include "TransferDesk.h"
#include "TransferRecallPort.h"

#include <QLoggingCategory>
#include <QRegularExpression>

namespace vkv::app {

namespace {

Q_LOGGING_CATEGORY(lcRecall, "vkv.recall", QtInfoMsg)

// The fields of a recaller's line.
enum Field { Time, Change, Name, Speed, Outcome, Fields };

// What went as it should: the line in teal.
bool good(const QString &outcome) {
    return outcome == QLatin1String("sending") || outcome == QLatin1String("sent") ||
           outcome == QLatin1String("verified");
}

// "program change 5 on channel 1" as the LCD has room for it: "Recall 5 ch1".
std::string lcdTitle(const QString &change) {
    static const QRegularExpression numbers(QStringLiteral("(\\d+) on channel (\\d+)"));
    const auto found = numbers.match(change);
    return found.hasMatch() ? QStringLiteral("Recall %1 ch%2")
                                  .arg(found.captured(1), found.captured(2))
                                  .toStdString()
                            : std::string("Recall");
}

// `text` in lines of the LCD's width, broken between words, at most `count` of them.
std::vector<std::string> lcdLines(const QString &text, int count) {
    std::vector<std::string> lines;
    QString line;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > box::LcdScreens::Columns) {
            lines.push_back(line.toLatin1().toStdString());
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    lines.push_back(line.toLatin1().toStdString());
    lines.resize(static_cast<std::size_t>(count));
    return lines;
}

} // namespace

RecallDesk::RecallDesk(Window window, TransferDesk &transfers, Settings &settings, QObject *parent)
    : QObject(parent), main(std::move(window)), settings(settings),
      port(new TransferRecallPort(transfers, main.speed, this)),
      recaller(new recall::Recaller(library, *port, this)) {
    port->setRecaller(recaller);
    connect(recaller, &recall::Recaller::said, this, &RecallDesk::said);
    connect(recaller, &recall::Recaller::recalling, this, &RecallDesk::showSending);
    connect(recaller, &recall::Recaller::recalled, this, &RecallDesk::showOutcome);
    outcomeShown.setSingleShot(true);
    outcomeShown.setInterval(OutcomeMs);
    connect(&outcomeShown, &QTimer::timeout, this, [this] {
        if (box::LcdScreens *lcd = main.lcd())
            lcd->endOwnScreen();
    });
    // Remembered on: ready from the start, the library opened once the window is up.
    if (settings.recallOn())
        QTimer::singleShot(0, this, [this] {
            if (recallOn())
                ready();
        });
}

RecallDesk::~RecallDesk() = default;

QString RecallDesk::recallList() const {
    return settings.recallList();
}

bool RecallDesk::recallOn() const {
    return settings.recallOn();
}

void RecallDesk::setRecall(const QString &list, bool on) {
    settings.setRecall(list, on);
    failed.clear();
    if (on)
        ready();
}

void RecallDesk::stop() {
    recaller->stop();
}

bool RecallDesk::ready() {
    const QString folder = main.folder();
    QString why;
    if (openFolder != folder) {
        openFolder.clear();
        if (library.open(folder))
            openFolder = folder;
        else
            why = library.error();
    }
    if (why.isEmpty() && !recaller->setList(settings.recallList()))
        why = recaller->error();
    for (const QString &notice : library.takeNotices())
        qCInfo(lcRecall, "%s", qPrintable(notice));
    if (why.isEmpty()) {
        failed.clear();
        return true;
    }
    if (why != failed) {
        failed = why;
        main.showStatus(
            QStringLiteral("Recall on program change: the set list \u201c%1\u201d cannot "
                           "be read: %2")
                .arg(settings.recallList(), why),
            false);
    }
    return false;
}

bool RecallDesk::programChange(std::uint8_t status, std::uint8_t data1) {
    if (!recallOn() || (status & 0xF0) != 0xC0 || !ready())
        return false;
    // A speed search's sends are its own: a recall between them would leave it waiting for a
    // send that never ends, and the box holding neither.
    const QString refused =
        !main.canSend() ? QStringLiteral("no MIDI OUT port is open (choose one on the File page)")
        : main.searching() ? QStringLiteral("\u201cFind Speed\u201d is searching")
                           : QString();
    if (!refused.isEmpty()) {
        const auto choice = recall::RecallChoice::of(recaller->list(), status, data1);
        if (choice.kind == recall::RecallChoice::Kind::NotTaken)
            return false;
        said(recall::Recaller::line(choice.change(), choice.slot.name, port->speedText(),
                                    refused + QStringLiteral("; nothing was sent")));
        showOutcome(choice.slot.name, QString());
        return true;
    }
    recaller->setVerify(main.verifyWanted());
    return recaller->programChange(status, data1);
}

void RecallDesk::said(const QString &line) {
    QStringList fields = line.split(u'\t');
    fields.resize(Fields);
    change = fields[Change];
    const QString what =
        fields[Name].isEmpty()
            ? QStringLiteral("Recall, %1: %2").arg(fields[Change], fields[Outcome])
            : QStringLiteral("Recall of \u201c%1\u201d, %2, %3: %4")
                  .arg(fields[Name], fields[Change], fields[Speed], fields[Outcome]);
    main.showStatus(what, good(fields[Outcome]));
    main.monitor(what);
    last = fields[Time].section(u' ', 1) + u' ' + what;
    emit lastRecall(last);
}

void RecallDesk::showIn(librarywindow::SetListsTab &tab) {
    tab.showRecall(recallList(), recallOn());
    tab.showLastRecall(last);
    connect(&tab, &librarywindow::SetListsTab::recallSwitched, this,
            [this, &tab](const QString &list, bool on) {
                setRecall(list, on);
                tab.showRecall(recallList(), recallOn());
            });
    connect(this, &RecallDesk::lastRecall, &tab, &librarywindow::SetListsTab::showLastRecall);
}

void RecallDesk::showSending(const QString &name) {
    sending = true;
    outcomeShown.stop();
    box::LcdScreens *lcd = main.lcd();
    if (!lcd)
        return;
    const auto lines = lcdLines(name, 2);
    lcd->showOwnScreen(lcdTitle(change), lines[0], lines[1],
                       port->speedText().toLatin1().toStdString());
}

void RecallDesk::showOutcome(const QString &name, const QString &outcome) {
    const bool sent = std::exchange(sending, false);
    if (sent)
        emit recorded();
    box::LcdScreens *lcd = main.lcd();
    if (!lcd)
        return;
    const auto lines = lcdLines(sent ? outcome : QStringLiteral("nothing sent"), 2);
    lcd->showOwnScreen(lcdTitle(change),
                       name.isEmpty() ? std::string("empty slot") : name.toLatin1().toStdString(),
                       lines[0], lines[1]);
    outcomeShown.start();
}

} // namespace vkv::app
