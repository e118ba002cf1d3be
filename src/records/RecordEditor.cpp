#include "RecordEditor.h"

#include "ImageHistory.h"

namespace vkv::records {

template <class Edit> RecordEditor::Outcome RecordEditor::step(Edit edit) {
    const image::DumpBytes before = history.image().bytes();
    history.change(image::ImageChange::records(), [&](image::ConfigImage &image) { edit(image); });
    return {BulkEdit::changedRecords(before, history.image().bytes()), {}};
}

RecordEditor::Outcome RecordEditor::fill(std::span<const RecordId> records,
                                         const BulkEdit::Fill &fill) {
    if (QString why = BulkEdit::refusal(records, fill); !why.isEmpty())
        return {0, why};
    return step([&](image::ConfigImage &image) { BulkEdit::fill(image, records, fill); });
}

RecordEditor::Outcome RecordEditor::set(std::span<const RecordId> records,
                                        RecordWords::Column column, int value) {
    return step([&](image::ConfigImage &image) { BulkEdit::set(image, records, column, value); });
}

RecordEditor::Outcome RecordEditor::paste(QByteArrayView text, RecordSheet::Nameless nameless,
                                          int potFrom, int buttonFrom, bool byNames) {
    RecordSheet::Read sheet = RecordSheet::read(text, nameless);
    if (!sheet.ok())
        return {0, QStringLiteral("Nothing was pasted: the clipboard holds no rows of the record "
                                  "sheet as they must be.\n") +
                       errorLines(sheet.errors)};
    if (sheet.rows.empty())
        return {0, QStringLiteral("Nothing was pasted: the clipboard holds no rows of the record "
                                  "sheet.")};
    if (QString why = BulkEdit::place(sheet.rows, potFrom, buttonFrom, byNames); !why.isEmpty())
        return {0, QStringLiteral("Nothing was pasted: ") + why};
    return step([&](image::ConfigImage &image) { BulkEdit::apply(image, sheet.rows); });
}

RecordEditor::Outcome RecordEditor::copyBank(int from, int to, bool pots, bool buttons) {
    return step(
        [&](image::ConfigImage &image) { BulkEdit::copyBank(image, from, to, pots, buttons); });
}

RecordEditor::Outcome RecordEditor::swapBanks(int a, int b, bool pots, bool buttons) {
    return step(
        [&](image::ConfigImage &image) { BulkEdit::swapBanks(image, a, b, pots, buttons); });
}

RecordEditor::Outcome RecordEditor::take(const image::DumpBytes &other,
                                         std::span<const RecordId> records) {
    return step([&](image::ConfigImage &image) { BulkEdit::take(image, other, records); });
}

QString RecordEditor::errorLines(const std::vector<SheetError> &errors, int shown) {
    QStringList lines;
    for (std::size_t i = 0; i < errors.size() && static_cast<int>(i) < shown; ++i)
        lines << QStringLiteral("Line %1: %2").arg(errors[i].line).arg(errors[i].text);
    if (static_cast<int>(errors.size()) > shown)
        lines << QStringLiteral("... and %1 more").arg(static_cast<int>(errors.size()) - shown);
    return lines.join(u'\n');
}

} // namespace vkv::records
