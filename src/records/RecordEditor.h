#pragma once

#include "BulkEdit.h"
#include "RecordId.h"
#include "RecordSheet.h"

#include <QByteArrayView>
#include <QString>
#include <span>

namespace vkv::image {
class ImageHistory;
}

namespace vkv::records {

// The bulk edits as the editor makes them: each one step of the image's history, so that one undo
// takes it back whole, and none when it changes nothing. An edit that is refused (a series out of
// range, rows that do not parse or do not fit) changes nothing and says why. No widgets: the
// overview calls it, and so could anything else that edits the editor's configuration.
class RecordEditor {
public:
    struct Outcome {
        int changed = 0; // records whose bytes changed
        QString refused; // non-empty: nothing changed, and this is why
    };

    explicit RecordEditor(image::ImageHistory &history) : history(history) {}

    Outcome fill(std::span<const RecordId> records, const BulkEdit::Fill &fill);
    Outcome set(std::span<const RecordId> records, RecordWords::Column column, int value);
    // Rows of a sheet: into the records they name, or, where they name none, into the records
    // from `potFrom` and `buttonFrom` on; nameless rows are pots or buttons as `nameless` says.
    // `byNames` false: every row from there on, whatever it names.
    Outcome paste(QByteArrayView text, RecordSheet::Nameless nameless, int potFrom, int buttonFrom,
                  bool byNames);
    Outcome copyBank(int from, int to, bool pots, bool buttons);
    Outcome swapBanks(int a, int b, bool pots, bool buttons);
    Outcome take(const image::DumpBytes &other, std::span<const RecordId> records);

    // "Line 3: ..." for each error, at most `shown` of them, then how many more there are.
    static QString errorLines(const std::vector<SheetError> &errors, int shown = 6);

private:
    template <class Edit> Outcome step(Edit edit);

    image::ImageHistory &history;
};

} // namespace vkv::records
