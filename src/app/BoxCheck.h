#pragma once

#include "BoxQuery.h"
#include "ConfigImage.h"
#include "ImageComparison.h"

#include <QObject>
#include <QString>
#include <vector>

class TMidiOut;

namespace vkv::app {

// What the main window asks the box about its configuration: whether it holds the dump just sent
// ("Verify after send"), or how it differs from the editor's ("Compare ..."). Asks through a
// BoxQuery, so the answer never reaches the editor's configuration, and says the result in the
// status line's words; differing records go to the comparison window.
class BoxCheck : public QObject {
    Q_OBJECT
public:
    explicit BoxCheck(TMidiOut &out, QObject *parent = nullptr);

    // The send of `sent` has ended: after the box has settled, ask it and compare. `note` is
    // added to what is said of the outcome (what else happened to the send). `quietly`: this
    // check says nothing and shows no differences (whoever asked says its outcome).
    void verify(const image::DumpBytes &sent, const QString &note = {}, bool quietly = false);
    // Ask the box (after `settleMs`, for a box that may still be busy) and compare its answer
    // with the editor's `editor`.
    void compareWith(const image::DumpBytes &editor, int settleMs = 0);
    // Quietly, as when a send starts again or a port is chosen again or lost.
    void cancel() { query.cancel(); }
    // While quiet, a series of checks that tells its own outcome (finding the speed the box takes)
    // runs: nothing is said, and no differences are shown; answered() still tells.
    void setQuiet(bool on) { quiet = on; }
    bool waiting() const { return query.waiting(); }
    // What asks the box: incoming SysEx that answers it goes there (see transfer::DumpRouter).
    transfer::BoxQuery &boxQuery() { return query; }

signals:
    // A line for the status line; `good` in teal, otherwise red.
    void said(const QString &text, bool good);
    // A verify is over: whether the box holds `sent` (no for other records, no answer or a
    // broken one).
    void verified(const vkv::image::DumpBytes &sent, bool holds);
    // A verify or a comparison is over: how the box answered, and how many records of its
    // answer differ.
    void answered(vkv::transfer::BoxQuery::Outcome outcome, int differing);
    // Records differ: show them, the first named `nameA`, the second `nameB`.
    void differ(const std::vector<vkv::image::RecordDifference> &differences, const QString &nameA,
                const QString &nameB);

private:
    void finished(transfer::BoxQuery::Outcome outcome, const image::DumpBytes &answer);
    // The outcome in the status line's words; differing records to the comparison window.
    void say(transfer::BoxQuery::Outcome outcome,
             const std::vector<image::RecordDifference> &differences);

    transfer::BoxQuery query;
    image::DumpBytes expected{};
    QString note;
    bool requestRefused = false;
    bool verifying = true; // else comparing with the editor
    bool quiet = false;
    bool quietOnce = false; // the check under way
};

} // namespace vkv::app
