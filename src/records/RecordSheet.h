#pragma once

#include "ConfigImage.h"
#include "RecordId.h"
#include "RecordWords.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <span>
#include <vector>

namespace vkv::records {

// A row of a sheet that was read: the record it names, if it names one, and the four bytes its
// fields give that record.
struct SheetRow {
    int line = 0; // where the row begins in the text, from 1
    std::optional<RecordId> record;
    bool pot = true; // the kind of record it is for: the named one's, else as the reader was told
    RecordWords::Bytes bytes{};
};

struct SheetError {
    int line = 0;
    QString text;
};

// The record sheet: the records as comma-separated text that a spreadsheet opens and a script
// reads, one header line "record,type,channel,number,min,max,value,mode" and one line a record in
// the words of RecordWords (the fields a record does not have left empty). Quoting is RFC 4180's,
// the text UTF-8; lines end in LF, and CR LF or CR are read too, and so are the rows a spreadsheet
// copies, with tabs between their cells. The clipboard of the overview and
// the command line read and write it alike.
//
// Reading checks every row and names each error with the line it is on, so a sheet is either
// taken whole or not at all: a malformed line (a quote left open or in the middle of a field, too
// few fields), a record that is no record or is on an earlier line too, a value out of range, a
// word that is no type or mode. The header line may be left out; blank lines and rows of empty
// fields are passed over.
class RecordSheet {
public:
    // What a row with an empty record field is for: refused, or the pots or buttons that whoever
    // pastes it chooses.
    enum class Nameless { Refused, Pots, Buttons };
    struct Read {
        std::vector<SheetRow> rows;
        std::vector<SheetError> errors;
        bool ok() const { return errors.empty(); }
    };

    // "record,type,channel,number,min,max,value,mode" and its line end.
    static QByteArray header();
    // The header, then a line for each record in the order given.
    static QByteArray write(const image::ConfigImage &image, std::span<const RecordId> records);
    // The whole configuration: the header and 384 lines, the pots first.
    static QByteArray write(const image::ConfigImage &image);
    // The line of one record, without its line end.
    static QString line(const image::ConfigImage &image, RecordId record);

    static Read read(QByteArrayView text, Nameless nameless = Nameless::Refused);
};

} // namespace vkv::records
