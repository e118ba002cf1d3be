#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <vector>

namespace vkv::records {

// Comma-separated text split into rows of fields, by RFC 4180: a field in double quotes may hold
// commas, line ends and quotes (doubled); a field without them holds no quote. Lines end in CR LF,
// LF or CR. The text is UTF-8; a byte order mark at its start is passed over.
//
// Each row says the line it begins on, so that whoever checks its fields can say where a fault
// is. A row that breaks the quoting rules is kept as an error and the reading goes on at the next
// line, so that one reading finds every malformed line; a quote that is never closed takes the
// rest of the text with it. (libcsv, the packaged reader, stops at the first such fault and says
// neither where the row began nor on which line, which is what we must tell the user.)
class CsvReader {
public:
    struct Row {
        int line = 0; // from 1
        QStringList fields;
        QString error; // non-empty: the row is malformed, and `fields` are what came before
    };

    // Fields separated by `separator` (a comma, or a tab for the rows a spreadsheet copies).
    static std::vector<Row> read(QByteArrayView text, char16_t separator = u',');
};

} // namespace vkv::records
