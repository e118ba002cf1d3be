#include "RecordSheet.h"

#include "CsvReader.h"

#include <array>
#include <string_view>

namespace vkv::records {

namespace {

using Column = RecordWords::Column;

constexpr std::array<Column, RecordWords::ColumnCount> Columns{
    Column::Record, Column::Type, Column::Channel, Column::Number,
    Column::Min,    Column::Max,  Column::Value,   Column::Mode};

QString headerText() {
    QString text;
    for (const Column column : Columns)
        text += (column == Column::Record ? QString() : QStringLiteral(",")) +
                RecordWords::columnWord(column);
    return text;
}

bool isHeader(const QStringList &fields) {
    return !fields.isEmpty() && fields[0].trimmed().compare(RecordWords::columnWord(Column::Record),
                                                            Qt::CaseInsensitive) == 0;
}

// Rows copied from a spreadsheet come with tabs between their cells: a sheet whose first line
// holds a tab and no comma is read so.
char16_t separatorOf(QByteArrayView text) {
    const std::string_view all(text.data(), static_cast<std::size_t>(text.size()));
    const std::string_view first = all.substr(0, all.find('\n'));
    return first.find('\t') != first.npos && first.find(',') == first.npos ? u'\t' : u',';
}

bool allEmpty(const QStringList &fields) {
    for (const QString &field : fields)
        if (!field.trimmed().isEmpty())
            return false;
    return true;
}

// The fields of one row, each checked; every fault is said.
class RowReader {
public:
    RowReader(const CsvReader::Row &row, RecordSheet::Nameless nameless,
              std::vector<SheetError> &errors)
        : row(row), errors(errors), before(errors.size()) {
        out.line = row.line;
        const QString record = field(Column::Record).trimmed();
        if (record.isEmpty()) {
            if (nameless == RecordSheet::Nameless::Refused)
                fail(QStringLiteral("no record: give one as pot 1.1 to 16.16 or button 1.1 to "
                                    "16.8"));
            out.pot = nameless != RecordSheet::Nameless::Buttons;
        } else if ((out.record = RecordWords::readName(record))) {
            out.pot = out.record->pot;
        } else {
            // Which fields it should have is not known then.
            fail(QStringLiteral("\"%1\" is no record: give pot 1.1 to 16.16 or button 1.1 to 16.8")
                     .arg(record));
            return;
        }
        QString why;
        if (const auto status =
                RecordWords::readStatus(field(Column::Type), field(Column::Channel), &why))
            out.bytes[0] = *status;
        else
            fail(why);
        for (const Column column : Columns) {
            if (RecordWords::byteOf(column) < 1)
                continue;
            if (RecordWords::has(out.pot, column))
                readByte(column);
            else if (!field(column).trimmed().isEmpty())
                fail(QStringLiteral("a %1 has no %2 (\"%3\"): leave it empty")
                         .arg(out.pot ? QStringLiteral("pot") : QStringLiteral("button"),
                              RecordWords::columnWord(column), field(column)));
        }
    }

    // The row, unless a fault was found in it.
    std::optional<SheetRow> result() const {
        return errors.size() == before ? std::optional(out) : std::nullopt;
    }

private:
    const QString &field(Column column) const { return row.fields[static_cast<qsizetype>(column)]; }
    void fail(const QString &text) { errors.push_back({row.line, text}); }
    void readByte(Column column) {
        QString why;
        if (const auto byte = RecordWords::readByte(column, field(column), &why))
            out.bytes[static_cast<std::size_t>(RecordWords::byteOf(column))] = *byte;
        else
            fail(why);
    }

    const CsvReader::Row &row;
    std::vector<SheetError> &errors;
    const std::size_t before;
    SheetRow out;
};

} // namespace

QByteArray RecordSheet::header() {
    return headerText().toUtf8() + '\n';
}

QString RecordSheet::line(const image::ConfigImage &image, RecordId record) {
    const RecordWords::Bytes bytes = RecordWords::bytes(image, record);
    QString text;
    for (const Column column : Columns)
        text += (column == Column::Record ? QString() : QStringLiteral(",")) +
                RecordWords::text(bytes, record, column);
    return text;
}

// No word of a record holds a comma, a quote or a line end, so no field needs quotes.
QByteArray RecordSheet::write(const image::ConfigImage &image, std::span<const RecordId> records) {
    QString text = headerText() + u'\n';
    for (const RecordId record : records)
        text += line(image, record) + u'\n';
    return text.toUtf8();
}

QByteArray RecordSheet::write(const image::ConfigImage &image) {
    std::vector<RecordId> all;
    all.reserve(RecordCount);
    for (int order = 0; order < RecordCount; ++order)
        all.push_back(RecordId::fromOrder(order));
    return write(image, all);
}

RecordSheet::Read RecordSheet::read(QByteArrayView text, Nameless nameless) {
    Read sheet;
    std::array<int, RecordCount> namedOn{}; // the line that named each record, 0 for none
    bool first = true;
    for (CsvReader::Row &row : CsvReader::read(text, separatorOf(text))) {
        if (!row.error.isEmpty()) {
            sheet.errors.push_back({row.line, row.error});
            first = false;
            continue;
        }
        if (allEmpty(row.fields))
            continue;
        if (std::exchange(first, false) && isHeader(row.fields)) {
            QStringList words;
            for (const QString &field : row.fields)
                words << field.trimmed().toLower();
            while (!words.isEmpty() && words.constLast().isEmpty())
                words.removeLast();
            if (words.join(u',') != headerText())
                sheet.errors.push_back(
                    {row.line, QStringLiteral("the header must be ") + headerText()});
            continue;
        }
        const auto count = row.fields.size();
        if (count < RecordWords::ColumnCount ||
            !allEmpty(row.fields.mid(static_cast<qsizetype>(RecordWords::ColumnCount)))) {
            sheet.errors.push_back({row.line, QStringLiteral("%1 fields are needed (%2); this "
                                                             "line has %3")
                                                  .arg(RecordWords::ColumnCount)
                                                  .arg(headerText())
                                                  .arg(count)});
            continue;
        }
        const auto read = RowReader(row, nameless, sheet.errors).result();
        if (!read)
            continue;
        if (read->record) {
            int &line = namedOn[static_cast<std::size_t>(read->record->order())];
            if (line != 0) {
                sheet.errors.push_back({row.line, QStringLiteral("%1 is on line %2 already")
                                                      .arg(RecordWords::name(*read->record))
                                                      .arg(line)});
                continue;
            }
            line = row.line;
        }
        sheet.rows.push_back(*read);
    }
    return sheet;
}

} // namespace vkv::records
