#include "BulkEdit.h"

#include <QStringList>
#include <algorithm>

namespace vkv::records {

namespace {

using Column = RecordWords::Column;

std::uint8_t *at(image::ConfigImage &image, RecordId record) {
    return image.raw() + record.offset();
}

// The status the pages show for a stored byte: below 0x90 they show 0x90.
int shownStatus(std::uint8_t stored) {
    return std::max<int>(image::readStatus(stored), 0x90);
}

void setStatus(std::uint8_t *record, std::optional<int> type, std::optional<int> channel) {
    if (!type && !channel)
        return;
    int status = shownStatus(record[0]);
    if (type)
        status = status % 16 + 16 * *type;
    if (channel)
        status = status - status % 16 + *channel - 1;
    record[0] = image::storeStatus(status);
}

} // namespace

QString BulkEdit::refusal(std::span<const RecordId> records, const Fill &fill) {
    if (!fill.numbers)
        return {};
    QStringList out;
    int outside = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const long long number = fill.numbers->start + static_cast<long long>(fill.numbers->step) *
                                                           static_cast<long long>(i);
        if (number >= 0 && number <= 127)
            continue;
        if (++outside <= 3)
            out << QStringLiteral("%1 would get %2").arg(RecordWords::name(records[i])).arg(number);
    }
    if (outside == 0)
        return {};
    QString text =
        QStringLiteral("The numbers would leave 0 to 127: ") + out.join(QStringLiteral(", "));
    if (outside > 3)
        text += QStringLiteral(", and %1 more").arg(outside - 3);
    return text + u'.';
}

void BulkEdit::fill(image::ConfigImage &image, std::span<const RecordId> records,
                    const Fill &fill) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RecordId record = records[i];
        std::uint8_t *bytes = at(image, record);
        setStatus(bytes, fill.type, fill.channel);
        if (fill.numbers)
            bytes[1] = static_cast<std::uint8_t>(fill.numbers->start +
                                                 fill.numbers->step * static_cast<int>(i));
        const auto put = [&](int byte, std::optional<int> value) {
            if (value)
                bytes[byte] = static_cast<std::uint8_t>(*value);
        };
        put(2, record.pot ? fill.min : fill.value);
        put(3, record.pot ? fill.max : fill.mode);
    }
}

void BulkEdit::set(image::ConfigImage &image, std::span<const RecordId> records, Column column,
                   int value) {
    for (const RecordId record : records) {
        if (!RecordWords::has(record.pot, column))
            continue;
        std::uint8_t *bytes = at(image, record);
        if (column == Column::Type)
            setStatus(bytes, value, std::nullopt);
        else if (column == Column::Channel)
            setStatus(bytes, std::nullopt, value);
        else if (RecordWords::byteOf(column) > 0)
            bytes[RecordWords::byteOf(column)] = static_cast<std::uint8_t>(value);
    }
}

void BulkEdit::apply(image::ConfigImage &image, std::span<const SheetRow> rows) {
    for (const SheetRow &row : rows)
        if (row.record)
            std::copy(row.bytes.begin(), row.bytes.end(), at(image, *row.record));
}

QString BulkEdit::place(std::vector<SheetRow> &rows, int potFrom, int buttonFrom, bool byNames) {
    if (byNames) {
        const auto named = std::count_if(
            rows.begin(), rows.end(), [](const SheetRow &row) { return row.record.has_value(); });
        if (named == static_cast<long>(rows.size()))
            return {};
        if (named > 0) {
            const auto first = std::find_if(rows.begin(), rows.end(), [](const SheetRow &row) {
                return row.record.has_value();
            });
            const auto nameless = std::find_if(rows.begin(), rows.end(),
                                               [](const SheetRow &row) { return !row.record; });
            return QStringLiteral("Line %1 names %2, line %3 names no record: name every record or "
                                  "none.")
                .arg(first->line)
                .arg(RecordWords::name(*first->record))
                .arg(nameless->line);
        }
    }
    int next[2] = {buttonFrom, potFrom};
    int count[2] = {0, 0};
    for (SheetRow &row : rows) {
        row.record = RecordId{row.pot, next[row.pot]++};
        ++count[row.pot];
    }
    for (const bool pot : {true, false}) {
        const int last = pot ? image::PotCount : image::ButtonCount;
        if (next[pot] <= last)
            continue;
        const int from = pot ? potFrom : buttonFrom;
        return QStringLiteral("The %1 %2 rows from %3 on run past %4, the last %2.")
            .arg(count[pot])
            .arg(pot ? QStringLiteral("pot") : QStringLiteral("button"))
            .arg(RecordWords::name({pot, from}))
            .arg(RecordWords::name({pot, last - 1}));
    }
    return {};
}

std::vector<RecordId> BulkEdit::bank(int bank, bool pots, bool buttons) {
    std::vector<RecordId> records;
    if (pots)
        for (int n = 1; n <= image::PotsPerBank; ++n)
            records.push_back({true, image::potFromBank(bank, n)});
    if (buttons)
        for (int n = 1; n <= image::ButtonsPerBank; ++n)
            records.push_back({false, image::buttonFromBank(bank, n)});
    return records;
}

void BulkEdit::copyBank(image::ConfigImage &image, int from, int to, bool pots, bool buttons) {
    const auto source = bank(from, pots, buttons);
    const auto target = bank(to, pots, buttons);
    for (std::size_t i = 0; i < source.size(); ++i)
        std::copy_n(at(image, source[i]), image::RecordSize, at(image, target[i]));
}

void BulkEdit::swapBanks(image::ConfigImage &image, int a, int b, bool pots, bool buttons) {
    const auto first = bank(a, pots, buttons);
    const auto second = bank(b, pots, buttons);
    for (std::size_t i = 0; i < first.size(); ++i)
        std::swap_ranges(at(image, first[i]), at(image, first[i]) + image::RecordSize,
                         at(image, second[i]));
}

void BulkEdit::take(image::ConfigImage &image, const image::DumpBytes &other,
                    std::span<const RecordId> records) {
    for (const RecordId record : records)
        std::copy_n(other.begin() + record.offset(), image::RecordSize, at(image, record));
}

int BulkEdit::changedRecords(const image::DumpBytes &before, const image::DumpBytes &after) {
    int changed = 0;
    for (int order = 0; order < RecordCount; ++order) {
        const int offset = RecordId::fromOrder(order).offset();
        changed += !std::equal(before.begin() + offset, before.begin() + offset + image::RecordSize,
                               after.begin() + offset);
    }
    return changed;
}

} // namespace vkv::records
