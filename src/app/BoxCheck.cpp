#include "BoxCheck.h"

namespace vkv::app {

using transfer::BoxQuery;

BoxCheck::BoxCheck(TMidiOut &out, QObject *parent) : QObject(parent), query(out, this) {
    connect(&query, &BoxQuery::finished, this, &BoxCheck::finished);
    // The port refused the request: no answer can come, and saying there was none would blame
    // the box.
    connect(&query, &BoxQuery::requestFailed, this, [this] { requestRefused = true; });
}

void BoxCheck::verify(const image::DumpBytes &sent, const QString &note, bool quietly) {
    quietOnce = quietly;
    expected = sent;
    this->note = note;
    requestRefused = false;
    verifying = true;
    query.start(BoxQuery::SettleMs, BoxQuery::TimeoutMs);
}

void BoxCheck::compareWith(const image::DumpBytes &editor, int settleMs) {
    quietOnce = false;
    expected = editor;
    note.clear();
    requestRefused = false;
    verifying = false;
    query.start(settleMs, BoxQuery::TimeoutMs);
}

void BoxCheck::finished(BoxQuery::Outcome outcome, const image::DumpBytes &answer) {
    const auto differences = outcome == BoxQuery::Outcome::Answered
                                 ? image::ImageComparison::compare(expected, answer)
                                 : std::vector<image::RecordDifference>{};
    if (verifying)
        emit verified(expected, outcome == BoxQuery::Outcome::Answered && differences.empty());
    if (!quiet && !quietOnce)
        say(outcome, differences);
    // Last: who is told may start the next check.
    emit answered(outcome, static_cast<int>(differences.size()));
}

void BoxCheck::say(BoxQuery::Outcome outcome,
                   const std::vector<image::RecordDifference> &differences) {
    const QString failed =
        verifying ? QStringLiteral("Verify failed: ") : QStringLiteral("Compare failed: ");
    switch (outcome) {
    case BoxQuery::Outcome::NoAnswer:
        emit said(failed +
                      (requestRefused ? QStringLiteral("the MIDI OUT port refused the request")
                                      : QStringLiteral("no answer from the box")) +
                      note,
                  false);
        return;
    case BoxQuery::Outcome::Broken:
        emit said(failed + "the answer was broken" + note, false);
        return;
    case BoxQuery::Outcome::Answered:
        break;
    }
    if (verifying && differences.empty()) {
        emit said(QStringLiteral("Verified: the box holds what was sent") + note, true);
        return;
    }
    if (verifying)
        emit said(QStringLiteral("Verify failed: %1 records differ").arg(differences.size()) + note,
                  false);
    else
        emit said(differences.empty()
                      ? QStringLiteral("The box holds the editor's configuration")
                      : QStringLiteral("The box differs from the editor in %1 records")
                            .arg(differences.size()),
                  differences.empty());
    emit differ(differences, verifying ? QStringLiteral("Sent") : QStringLiteral("Editor"),
                QStringLiteral("Box"));
}

} // namespace vkv::app
