#pragma once

#include "ConfigImage.h"
#include "RecordId.h"
#include "RecordSheet.h"
#include "RecordWords.h"

#include <QString>
#include <optional>
#include <span>
#include <vector>

namespace vkv::records {

// Edits of many records at once, on an image: one field over a selection, a fill with a series of
// numbers, rows of a sheet, a bank copied onto another or two swapped, records taken from another
// configuration. Each is plain work on the bytes; whoever makes it one step of the image's history
// wraps it in one change. What can be refused (a series that leaves 0..127, rows that do not fit)
// is asked first, so that a refused edit changes nothing.
//
// The status byte is set as the pages set it: a type keeps the channel and a channel the type,
// over the status the pages show, which is 0x90 for a stored status below 0x90.
class BulkEdit {
public:
    // The numbers of a fill: start, start + step, ... in the order of the records.
    struct Series {
        int start = 0;
        int step = 1;
    };
    // What a fill sets; a field left without a value keeps its own in every record. Min and max
    // are set in pots, value and mode in buttons.
    struct Fill {
        std::optional<int> type = {};    // the event type's high digit, 9..F
        std::optional<int> channel = {}; // 1..16
        std::optional<Series> numbers = {};
        std::optional<int> min = {}, max = {}, value = {}, mode = {};
    };

    // "" when the fill can be made; else why not, naming the records a series would take out of
    // 0..127 and the values they would get.
    static QString refusal(std::span<const RecordId> records, const Fill &fill);
    // Sets what `fill` says in each record, the series in the order given. Refused fills are not
    // made: ask refusal() first.
    static void fill(image::ConfigImage &image, std::span<const RecordId> records,
                     const Fill &fill);
    // One column of each record set as its control on the pages sets it: the type by its high
    // digit 9..F, the channel 1..16, any other column its byte.
    static void set(image::ConfigImage &image, std::span<const RecordId> records,
                    RecordWords::Column column, int value);

    // Each row's bytes into the record it is for.
    static void apply(image::ConfigImage &image, std::span<const SheetRow> rows);
    // Gives pasted rows their records. `byNames`: rows that all name their records keep them, and
    // rows that name none go, in their order, into the records from `potFrom` (pot rows) and
    // `buttonFrom` (button rows) on; without it every row goes there. "" when they fit; else why
    // not (rows that both name records and do not, rows that run past the last record).
    static QString place(std::vector<SheetRow> &rows, int potFrom, int buttonFrom, bool byNames);

    // The records of a bank, 1..16: its pots, then its buttons, each if asked for.
    static std::vector<RecordId> bank(int bank, bool pots, bool buttons);
    // Bank `from`'s records copied onto bank `to`'s, or the two banks' records swapped.
    static void copyBank(image::ConfigImage &image, int from, int to, bool pots, bool buttons);
    static void swapBanks(image::ConfigImage &image, int a, int b, bool pots, bool buttons);
    // The records at these places as `other` holds them.
    static void take(image::ConfigImage &image, const image::DumpBytes &other,
                     std::span<const RecordId> records);

    // How many records differ between two dumps.
    static int changedRecords(const image::DumpBytes &before, const image::DumpBytes &after);
};

} // namespace vkv::records
