// The record sheet's reader: any text, as a file for --apply-records or the clipboard for the
// overview's Paste hands it. It must name a line of the text for every error; and a sheet it
// takes, applied to an image, must be written out again as rows it reads back to the same bytes
// for the same records.
#include "BulkEdit.h"
#include "ConfigImage.h"
#include "FuzzSupport.h"
#include "RecordSheet.h"

#include <vector>

using vkv::records::BulkEdit;
using vkv::records::RecordId;
using vkv::records::RecordSheet;
using vkv::records::SheetRow;

namespace {

// The lines of the text as the reader counts them: CR LF, LF or CR end one.
int lines(const std::uint8_t *data, std::size_t size) {
    int count = 1;
    for (std::size_t i = 0; i < size; ++i)
        if (data[i] == '\n' || (data[i] == '\r' && (i + 1 == size || data[i + 1] != '\n')))
            ++count;
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArrayView text(data, static_cast<qsizetype>(size));
    const int last = lines(data, size);
    for (const auto nameless : {RecordSheet::Nameless::Refused, RecordSheet::Nameless::Buttons}) {
        RecordSheet::Read sheet = RecordSheet::read(text, nameless);
        for (const auto &error : sheet.errors)
            fuzz::check(error.line >= 1 && error.line <= last && !error.text.isEmpty(),
                        "every error names a line of the text");
        if (!sheet.ok())
            continue;
        for (const SheetRow &row : sheet.rows)
            fuzz::check(row.line >= 1 && row.line <= last, "every row says its line");
        if (!BulkEdit::place(sheet.rows, 0, 0, true).isEmpty())
            continue;
        vkv::image::ConfigImage image;
        BulkEdit::apply(image, sheet.rows);
        std::vector<RecordId> records;
        for (const SheetRow &row : sheet.rows)
            records.push_back(*row.record);
        const RecordSheet::Read again = RecordSheet::read(RecordSheet::write(image, records));
        fuzz::check(again.ok() && again.rows.size() == sheet.rows.size(),
                    "the sheet written of the rows taken reads back whole");
        for (std::size_t i = 0; i < again.rows.size(); ++i)
            fuzz::check(again.rows[i].record == sheet.rows[i].record &&
                            again.rows[i].bytes == sheet.rows[i].bytes,
                        "each record reads back to the bytes its row gave");
    }
    return 0;
}
