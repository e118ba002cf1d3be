#include "Recaller.h"

namespace vkv::recall {

Recaller::Recaller(library::Library &library, RecallPort &port, QObject *parent)
    : QObject(parent), library(library), port(port) {}

bool Recaller::setList(const QString &name, QStringList *damaged) {
    auto read = library.setList(name, damaged);
    if (!read) {
        error_ = library.error();
        return false;
    }
    setList_ = std::move(*read);
    return true;
}

QString Recaller::line(const QString &change, const QString &name, const QString &speed,
                       const QString &outcome) {
    return QStringList{
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")), change,
        name, speed, outcome}
        .join(u'\t');
}

void Recaller::say(const RecallChoice &choice, const QString &name, const QString &outcome) {
    emit said(line(choice.change(), name, port.speedText(), outcome));
}

std::optional<image::DumpBytes> Recaller::dumpOf(const library::SetList::Slot &slot) {
    // By its name first, which the slot keeps current: one look-up, not a walk of the library.
    if (const auto named = library.named(slot.name); named && named->id == slot.entry)
        return library.read(*named);
    const qint64 entry = slot.entry;
    for (const library::Library::Entry &found : library.entries())
        if (found.id == entry)
            return library.read(found);
    return std::nullopt;
}

bool Recaller::programChange(std::uint8_t status, std::uint8_t data1) {
    const RecallChoice choice = RecallChoice::of(setList_, status, data1);
    switch (choice.kind) {
    case RecallChoice::Kind::NotTaken:
        return false;
    case RecallChoice::Kind::Empty:
    case RecallChoice::Kind::Missing:
        say(choice, choice.kind == RecallChoice::Kind::Missing ? choice.slot.name : QString(),
            choice.nothingSent(setList_.name));
        emit recalled(choice.slot.name, choice.nothingSent(setList_.name));
        return true;
    case RecallChoice::Kind::Recall:
        break;
    }
    const auto dump = dumpOf(choice.slot);
    if (!dump) {
        const QString why = QStringLiteral("it cannot be read: ") + library.error() +
                            QStringLiteral(" Nothing was sent.");
        say(choice, choice.slot.name, why);
        emit recalled(choice.slot.name, why);
        return true;
    }
    // The latest wins: what runs stops at once, and the new send starts before what went of the
    // old one is recorded, so the library's write never delays the box.
    std::optional<Current> stopped;
    int stoppedBytes = 0;
    if (current) {
        stopped = current;
        stoppedBytes = port.stop();
    }
    current = Current{choice, *dump, QDateTime::currentDateTimeUtc()};
    port.send(*dump, verify_);
    if (stopped)
        settle(*stopped, stoppedBytes, QStringLiteral("stopped for ") + choice.change());
    say(choice, choice.slot.name, QStringLiteral("sending"));
    emit recalling(choice.slot.name);
    return true;
}

void Recaller::record(const Current &recall, bool whole, int bytes) {
    library::Library::Capture capture;
    capture.time = recall.time;
    capture.direction = library::Library::Direction::Sent;
    capture.port = port.outName();
    if (whole) {
        capture.dump = recall.dump;
    } else {
        capture.bytes = bytes;
        capture.sending = recall.dump;
    }
    capture.paired = port.inName();
    capture.cause = recall.choice.cause(setList_.name);
    if (!library.capture(capture))
        qWarning("the library did not record the recall: %s", qPrintable(library.error()));
}

void Recaller::end(const QString &outcome, const QString &holding) {
    const Current done = *current;
    current.reset();
    over(done, outcome, holding);
}

void Recaller::over(const Current &done, const QString &outcome, const QString &holding) {
    holds = holding;
    say(done.choice, done.choice.slot.name, outcome);
    emit recalled(done.choice.slot.name, outcome);
}

void Recaller::sendOver(bool whole, int bytes) {
    if (!current || current->sent)
        return;
    record(*current, whole, bytes);
    const QString name = current->choice.slot.name;
    if (!whole && bytes == 0) {
        // Nothing reached the box (its port is not there): it holds what it held.
        end(QStringLiteral("not sent: the port to the box is not open"), holds);
        return;
    }
    if (!whole) {
        end(QStringLiteral("broke off after %1 of %2 bytes").arg(bytes).arg(image::DumpSize),
            broken(bytes, name));
        return;
    }
    if (!verify_) {
        end(QStringLiteral("sent"), name + QStringLiteral(", not verified"));
        return;
    }
    current->sent = true;
}

void Recaller::verifyOver(std::optional<bool> held) {
    if (!current || !current->sent)
        return;
    const QString name = current->choice.slot.name;
    if (held && !library.verified(port.outName(), current->dump, *held))
        qWarning("the library did not record the verify: %s", qPrintable(library.error()));
    if (!held)
        end(QStringLiteral("sent; the box gave no answer to the verify"),
            name + QStringLiteral(", not verified"));
    else if (*held)
        end(QStringLiteral("verified"), name + QStringLiteral(", verified"));
    else
        end(QStringLiteral("verify failed: the box holds other values"),
            QStringLiteral("other values than %1 (its verify failed)").arg(name));
}

void Recaller::stop() {
    if (current)
        interrupt(QStringLiteral("stopped as the program ends"));
}

void Recaller::interrupt(const QString &why) {
    const Current stopped = *current;
    const int bytes = port.stop();
    current.reset();
    settle(stopped, bytes, why);
}

void Recaller::settle(const Current &stopped, int bytes, const QString &why) {
    const bool whole = stopped.sent || bytes >= image::DumpSize;
    if (!stopped.sent)
        record(stopped, whole, bytes);
    const QString name = stopped.choice.slot.name;
    if (whole)
        over(stopped, why + QStringLiteral("; not verified"),
             name + QStringLiteral(", not verified"));
    else
        over(stopped, why + QStringLiteral(" after %1 of %2 bytes").arg(bytes).arg(image::DumpSize),
             broken(bytes, name));
}

QString Recaller::broken(int bytes, const QString &name) {
    return QStringLiteral("a broken configuration (%1 of %2 bytes of %3 went)")
        .arg(bytes)
        .arg(image::DumpSize)
        .arg(name);
}

} // namespace vkv::recall
